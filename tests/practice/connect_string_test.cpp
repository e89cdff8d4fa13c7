// The connect strings a connection hands to the drivers, and the errors it
// raises before any driver is involved.
#include <gtest/gtest.h>

#include "practice/connection.h"

namespace oxsms::practice {
namespace {

class ConnectStringTest : public ::testing::Test {
 protected:
  void Firebird(const std::string& database) {
    c.SetDriverName(kDriverFirebird);
    c.SetParam("Database", database);
    c.SetParam("User_Name", "SYSDBA");
    c.SetParam("Password", "qentoravi");
  }
  Connection c;
};

TEST_F(ConnectStringTest, FirebirdLocalFileOpensEmbeddedWithNativeSeparators) {
  Firebird("C:\\Dati\\agenda.fdb");
  EXPECT_EQ(c.ConnectString(),
            "service=C:/Dati/agenda.fdb user=SYSDBA password=qentoravi charset=UTF8");
}

TEST_F(ConnectStringTest, FirebirdServerKeepsTheServersOwnPath) {
  Firebird("C:\\Dati\\agenda.fdb");
  c.AddParam("Protocol=TCPIP");
  c.AddParam("Server=srv");
  EXPECT_EQ(c.ConnectString(true),
            "service=srv:C:\\Dati\\agenda.fdb user=SYSDBA password=*** charset=UTF8");
  c.SetParam("Port", "3051");
  EXPECT_EQ(c.ConnectString(true),
            "service=srv/3051:C:\\Dati\\agenda.fdb user=SYSDBA password=*** charset=UTF8");
  EXPECT_EQ(c.DatabaseName(), "srv/3051:C:\\Dati\\agenda.fdb");
}

TEST_F(ConnectStringTest, FirebirdValuesWithBlanksAreQuotedAndUnwritableOnesRefused) {
  Firebird("/home/studio/dati clinica/agenda.fdb");
  c.SetParam("Password", "a b");
  EXPECT_EQ(
      c.ConnectString(),
      "service=\"/home/studio/dati clinica/agenda.fdb\" user=SYSDBA password=\"a b\" charset=UTF8");
  c.SetParam("Password", "a \"b");
  EXPECT_THROW(c.ConnectString(), DatabaseError);
  // Without a blank a quote inside the value needs no quoting.
  c.SetParam("Password", "a\"b");
  EXPECT_NE(c.ConnectString().find("password=a\"b "), std::string::npos);
}

TEST_F(ConnectStringTest, MySqlQuotesEveryValueAndDefaultsThePort) {
  c.SetDriverName(kDriverMySQL);
  c.SetParam("Database", "clinica");
  c.SetParam("User_Name", "svc");
  c.SetParam("Password", "it's \\ secret");
  c.SetParam("Server", "10.0.0.5");
  const std::string cs = c.ConnectString();
  EXPECT_NE(
      cs.find("db='clinica' user='svc' password='it\\'s \\\\ secret' host='10.0.0.5' port=3306 "
              "charset=utf8mb4"),
      std::string::npos)
      << cs;
  EXPECT_EQ(c.ConnectString(true).find("secret"), std::string::npos);
  c.SetParam("Port", "3307");
  EXPECT_NE(c.ConnectString().find(" port=3307 "), std::string::npos);
  EXPECT_EQ(c.DatabaseName(), "clinica@10.0.0.5/3307");
}

TEST_F(ConnectStringTest, BadSettingsRaiseBeforeReachingTheDriver) {
  EXPECT_THROW(c.ConnectString(), DatabaseError);  // nothing configured
  c.SetParam("Database", "x");
  c.SetDriverName("ODBC");
  EXPECT_THROW(c.ConnectString(), DatabaseError);
  c.SetDriverName(kDriverMySQL);
  for (const char* port : {"33a6", "0", "70000", "-1", "99999999999"}) {
    c.SetParam("Port", port);
    EXPECT_THROW(c.ConnectString(), DatabaseError) << port;
  }
}

TEST_F(ConnectStringTest, ErrorsNameTheDatabaseAndNeverThePassword) {
  Firebird("/data/agenda.fdb");
  c.SetParam("Password", "s3cret");
  const DatabaseError e = c.Error("login refused for s3cret\n");
  EXPECT_STREQ(e.what(), "login refused for *** (database /data/agenda.fdb)");
}

TEST_F(ConnectStringTest, ClearingParametersKeepsNothingOfTheOldDatabase) {
  Firebird("/data/agenda.fdb");
  c.AddParam("Server=srv");
  c.ClearParams();
  EXPECT_TRUE(c.Params().empty());
  EXPECT_EQ(c.Param("Server"), "");
  EXPECT_FALSE(c.Connected());
}

}  // namespace
}  // namespace oxsms::practice
