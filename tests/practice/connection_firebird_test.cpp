// A connection to a real embedded Firebird file.
#include <gtest/gtest.h>
#include <soci/soci.h>

#include "practice/connection.h"
#include "support/database_env.h"

namespace oxsms::practice {
namespace {

using oxsms::testing::FreshFirebirdFile;
using oxsms::testing::TempDir;

void ConfigureEmbedded(Connection& c, const std::string& file) {
  c.SetDriverName(kDriverFirebird);
  c.SetParam("Database", file);
  c.SetParam("User_Name", "SYSDBA");
  c.SetParam("Password", "qentoravi");
}

TEST(ConnectionFirebird, OpensOnFirstUseAndCommittedWorkSurvivesReopening) {
  TempDir dir;
  const auto file = FreshFirebirdFile(dir, "dati clinica.fdb");  // blank in the name
  Connection c;
  ConfigureEmbedded(c, file.string());
  EXPECT_FALSE(c.Connected());
  c.Session() << "create table T (ID integer not null primary key, NOME varchar(40))";
  EXPECT_TRUE(c.Connected());
  c.Commit();
  const std::string name = "Città";  // UTF-8 through the UTF8 connection
  c.Session() << "insert into T (ID, NOME) values (:id, :nome)", soci::use(7), soci::use(name);
  c.Close();
  EXPECT_FALSE(c.Connected());

  c.Open();
  std::string read;
  c.Session() << "select NOME from T where ID = :id", soci::use(7), soci::into(read);
  EXPECT_EQ(read, name);
}

TEST(ConnectionFirebird, OpeningAMissingFileNamesTheFileButNotThePassword) {
  TempDir dir;
  Connection c;
  ConfigureEmbedded(c, (dir / "missing.fdb").string());
  try {
    c.Open();
    FAIL() << "opened a missing file";
  } catch (const DatabaseError& e) {
    const std::string what = e.what();
    EXPECT_NE(what.find("missing.fdb"), std::string::npos) << what;
    EXPECT_EQ(what.find("qentoravi"), std::string::npos) << what;
  }
  EXPECT_FALSE(c.Connected());
}

TEST(ConnectionFirebird, TwoConnectionsShareOneFile) {
  TempDir dir;
  const auto file = FreshFirebirdFile(dir, "a.fdb");
  Connection writer, reader;
  ConfigureEmbedded(writer, file.string());
  ConfigureEmbedded(reader, file.string());
  writer.Session() << "create table T (ID integer)";
  writer.Commit();
  writer.Session() << "insert into T values (1)";
  writer.Commit();
  int count = -1;
  reader.Session() << "select count(*) from T", soci::into(count);
  EXPECT_EQ(count, 1);
}

}  // namespace
}  // namespace oxsms::practice
