// A connection to the private MariaDB server of the tests.
#include <gtest/gtest.h>
#include <soci/soci.h>

#include "practice/connection.h"
#include "support/database_env.h"

namespace oxsms::practice {
namespace {

using oxsms::testing::ScratchSchema;

TEST(ConnectionMariaDb, ReadsAndWritesUtf8Text) {
  OXSMS_REQUIRE_MYSQL(server);
  ScratchSchema schema(server, "oxsms_conn");
  Connection c;
  c.SetDriverName(kDriverMySQL);
  c.SetParam("Server", server.host);
  c.SetParam("Port", std::to_string(server.port));
  c.SetParam("User_Name", server.user);
  c.SetParam("Password", server.password);
  c.SetParam("Database", schema.name());
  c.Session() << "create table t (id int primary key, nome varchar(40))";
  const std::string name = "Müller €";
  c.Session() << "insert into t values (:id, :nome)", soci::use(1), soci::use(name);
  c.Close();
  std::string read;
  c.Session() << "select nome from t where id = 1", soci::into(read);
  EXPECT_EQ(read, name);
}

TEST(ConnectionMariaDb, AWrongPasswordIsADatabaseErrorWithoutThePassword) {
  OXSMS_REQUIRE_MYSQL(server);
  Connection c;
  c.SetDriverName(kDriverMySQL);
  c.SetParam("Server", server.host);
  c.SetParam("Port", std::to_string(server.port));
  c.SetParam("User_Name", server.user);
  c.SetParam("Password", "wrong-" + server.password);
  c.SetParam("Database", "mysql");
  try {
    c.Open();
    FAIL() << "logged in with a wrong password";
  } catch (const DatabaseError& e) {
    const std::string what = e.what();
    EXPECT_NE(what.find("mysql@" + server.host), std::string::npos) << what;
    EXPECT_EQ(what.find("wrong-"), std::string::npos) << what;
  }
}

}  // namespace
}  // namespace oxsms::practice
