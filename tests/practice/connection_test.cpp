// A connection to a real database on either server: an embedded Firebird file
// or a schema on the private MariaDB server.
#include <gtest/gtest.h>
#include <soci/soci.h>

#include "practice/connection.h"
#include "scratch_database.h"
#include "support/database_env.h"

namespace oxsms::practice {
namespace {

using oxsms::testing::Backend;
using oxsms::testing::FreshFirebirdFile;
using oxsms::testing::ScratchDatabase;
using oxsms::testing::TempDir;

class ConnectionTest : public ::testing::TestWithParam<Backend> {
 protected:
  void SetUp() override {
    OXSMS_REQUIRE_BACKEND(GetParam());
    // A blank in the file name on Firebird.
    db = std::make_unique<ScratchDatabase>(GetParam(), dir, "dati clinica.fdb");
  }

  TempDir dir;
  std::unique_ptr<ScratchDatabase> db;
};

TEST_P(ConnectionTest, OpensOnFirstUseAndCommittedWorkSurvivesReopening) {
  Connection c;
  db->Configure(c);
  EXPECT_FALSE(c.Connected());
  c.Session() << "create table T (ID integer not null primary key, NOME varchar(40))";
  EXPECT_TRUE(c.Connected());
  c.Commit();
  const std::string name = "Città Müller €";  // UTF-8 through the connection
  c.Session() << "insert into T (ID, NOME) values (:id, :nome)", soci::use(7), soci::use(name);
  c.Close();
  EXPECT_FALSE(c.Connected());

  c.Open();
  std::string read;
  c.Session() << "select NOME from T where ID = :id", soci::use(7), soci::into(read);
  EXPECT_EQ(read, name);
}

TEST_P(ConnectionTest, AFailedOpenNamesTheDatabaseButNotThePassword) {
  Connection c;
  db->ConfigureWithPassword(c, "wrong-secret");
  // The embedded engine takes any password: there the file is missing.
  if (GetParam() == Backend::kFirebird) c.SetParam("Database", (dir / "missing.fdb").string());
  try {
    c.Open();
    FAIL() << "opened";
  } catch (const DatabaseError& e) {
    const std::string what = e.what();
    EXPECT_NE(what.find(c.Param("Database")), std::string::npos) << what;
    EXPECT_EQ(what.find("wrong-secret"), std::string::npos) << what;
  }
  EXPECT_FALSE(c.Connected());
}

TEST_P(ConnectionTest, TwoConnectionsShareOneDatabase) {
  Connection writer, reader;
  db->Configure(writer);
  db->Configure(reader);
  writer.Session() << "create table T (ID integer)";
  writer.Commit();
  writer.Session() << "insert into T values (1)";
  writer.Commit();
  int count = -1;
  reader.Session() << "select count(*) from T", soci::into(count);
  EXPECT_EQ(count, 1);
}

using Kind = StatementParameter::Kind;

TEST_P(ConnectionTest, PreparedStatementsServeNewValuesAcrossCommitsAndReconnects) {
  Connection c;
  db->Configure(c);
  c.Session() << "create table T (ID integer, NOME varchar(20), DATA timestamp)";
  c.Commit();

  const std::string insert = "insert into T (ID, NOME, DATA) values (:id, :nome, :data)";
  const std::vector<StatementParameter> columns = {
      {"id", Kind::kInteger}, {"nome", Kind::kText}, {"data", Kind::kDateTime}};
  PreparedStatement& add = c.Prepared(insert, columns, false);
  EXPECT_EQ(&c.Prepared(insert, columns, false), &add) << "prepared once";
  for (int id : {1, 2, 3}) {
    add.SetInteger(0, id);
    add.SetText(1, "n" + std::to_string(id));
    std::tm day{};
    day.tm_year = 125;
    day.tm_mon = 4;
    day.tm_mday = 10 + id;
    add.SetDateTime(2, day);
    add.Execute();
    c.Commit();
  }

  const std::string query = "select NOME, extract(day from DATA) from T where ID = :id";
  for (int round = 0; round < 2; ++round) {
    PreparedStatement& find = c.Prepared(query, {{"id", Kind::kInteger}}, true);
    find.SetInteger(0, 2);
    ASSERT_TRUE(find.Execute());
    EXPECT_EQ(find.Row().get<std::string>(0), "n2");
    EXPECT_EQ(find.Row().get<int>(1), 12);
    find.SetInteger(0, 9);
    EXPECT_FALSE(find.Execute());
    c.Close();  // the statements go with the session; the next round prepares anew
  }
}

OXSMS_INSTANTIATE_ON_BOTH_BACKENDS(ConnectionTest);

// Firebird alone: the server prepares a statement and refuses one on a
// missing table there and then; the MySQL client prepares on its side and
// meets the missing table at each execution.
TEST(ConnectionFirebird, AStatementThatCannotBePreparedFailsAgainUntilTheSessionEnds) {
  TempDir dir;
  const auto file = FreshFirebirdFile(dir, "q.fdb");
  Connection c, other;
  for (Connection* each : {&c, &other}) {
    each->SetDriverName(kDriverFirebird);
    each->SetParam("Database", file.string());
  }
  const std::string query = "select ID from LATER";
  EXPECT_THROW(c.Prepared(query, {}, true), soci::soci_error);

  other.Session() << "create table LATER (ID integer)";
  other.Commit();
  // The verdict of this session stands: a table missing from one database
  // of a set is not asked for again.
  EXPECT_THROW(c.Prepared(query, {}, true), soci::soci_error);
  c.Close();
  EXPECT_FALSE(c.Prepared(query, {}, true).Execute());
}

}  // namespace
}  // namespace oxsms::practice
