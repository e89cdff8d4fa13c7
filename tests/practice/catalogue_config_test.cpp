// Connections configured from database descriptions and from config.ini,
// checked by their parameters (nothing is opened here).
#include <gtest/gtest.h>

#include "catalogue_fixture.h"
#include "platform/base64.h"
#include "practice/credential_protection.h"
#include "practice/database_catalogue.h"
#include "practice/database_error.h"

namespace oxsms::practice {
namespace {

const std::string kPound = "\xC2\xA3";

class CreaConnessioneTest : public ::testing::Test, protected CatalogueFixture {};

TEST_F(CreaConnessioneTest, MySqlDefaultsToPort3306AndPrefersSchemaDb) {
  TRecDatabase rec;
  rec.protoc = 3;
  rec.host = "db.studio.it";
  rec.fgdb = "clinica";
  rec.user = "svc";
  rec.pwd = "pw";
  auto c = CreaConnessione(rec, false, 3, ctx);
  EXPECT_TRUE(c->IsMySQL());
  EXPECT_EQ(c->Param("Port"), "3306");
  EXPECT_EQ(c->Param("Database"), "clinica");
  EXPECT_EQ(c->Param("Server"), "db.studio.it");
  EXPECT_EQ(c->Param("User_Name"), "svc");
  EXPECT_EQ(rec.descrizione_db, "db.studio.it clinica");

  rec.schema_db = "clinica_2";
  rec.role = "3310";
  CreaConnessione(rec, true, 3, *c, ctx);
  EXPECT_EQ(c->Param("Database"), "clinica_2");
  EXPECT_EQ(c->Param("Port"), "3310");
  EXPECT_EQ(rec.descrizione_db, "db.studio.it clinica");  // a set description stays
}

TEST_F(CreaConnessioneTest, MySqlShortDescriptionIsTheSchemaField) {
  TRecDatabase rec;
  rec.protoc = 4;
  rec.fgdb = "clinica";
  CreaConnessione(rec, true, 3, ctx);
  EXPECT_EQ(rec.descrizione_db, "clinica");
}

TEST_F(CreaConnessioneTest, FirebirdFillsTheDefaultAccountInTheRecordToo) {
  TRecDatabase rec;
  rec.fgdb = "agenda.fdb";
  auto c = CreaConnessione(rec, false, 3, ctx);
  EXPECT_TRUE(c->IsFirebird());
  EXPECT_EQ(rec.user, "SYSDBA");
  EXPECT_EQ(rec.pwd, "pw-of-install");
  EXPECT_EQ(c->Param("Password"), "pw-of-install");
  EXPECT_EQ(c->Param("SQLDialect"), "3");
  EXPECT_EQ(c->Param("Database"), HomeText() + "database\\agenda.fdb");
  EXPECT_EQ(c->Param("Server"), "");
  EXPECT_EQ(rec.descrizione_db, HomeText() + "database\\agenda.fdb");
  EXPECT_EQ(c->tag, rec.descrizione_db);
  EXPECT_FALSE(c->login_prompt);
  EXPECT_TRUE(c->auto_reconnect);
}

TEST_F(CreaConnessioneTest, FirebirdOnAServerKeepsThePathForTheServer) {
  TRecDatabase rec;
  rec.protoc = 1;
  rec.host = "srv";
  rec.role = "3051";
  rec.fgdb = "D:\\Dati\\agenda.fdb";
  rec.user = "mario";
  rec.pwd = "pw";
  auto c = CreaConnessione(rec, false, 1, ctx);
  EXPECT_EQ(c->Param("Database"), "D:\\Dati\\agenda.fdb");
  EXPECT_EQ(c->Param("Server"), "srv");
  EXPECT_EQ(c->Param("Protocol"), "TCPIP");
  EXPECT_EQ(c->Param("Port"), "3051");
  EXPECT_EQ(c->Param("SQLDialect"), "1");
  EXPECT_EQ(c->Param("User_Name"), "mario");  // a given account is kept
  EXPECT_EQ(rec.descrizione_db, "\\\\srv\\D:\\Dati\\agenda.fdb");
  CreaConnessione(rec, true, 1, *c, ctx);
  EXPECT_EQ(rec.descrizione_db, "agenda.fdb");
}

TEST_F(CreaConnessioneTest, NoDateMapRulesDropsOnlyTheTimestampRule) {
  TRecDatabase rec;
  rec.fgdb = "/x.fdb";
  auto c = CreaConnessione(rec, false, 3, ctx);
  ASSERT_EQ(c->MapRules().size(), 5u);
  EXPECT_EQ(c->MapRules().front(), kMapTimestampToDateTime);
  EXPECT_EQ(c->MapRules().back(), kMapByteStringToWide);
  rec.NO_DATEMAPRULES = "1";
  CreaConnessione(rec, false, 3, *c, ctx);
  ASSERT_EQ(c->MapRules().size(), 4u);
  EXPECT_EQ(c->MapRules().front(), kMapBcdToDouble);
}

TEST_F(CreaConnessioneTest, ReconfiguringDropsParametersOfTheOldDatabase) {
  TRecDatabase remote;
  remote.host = "srv";
  remote.fgdb = "C:\\a.fdb";
  auto c = CreaConnessione(remote, false, 3, ctx);
  TRecDatabase local;
  local.fgdb = "/data/b.fdb";
  CreaConnessione(local, false, 3, *c, ctx);
  EXPECT_EQ(c->Param("Server"), "");
  EXPECT_EQ(c->Param("Protocol"), "");
}

class ConfigIniTest : public ::testing::Test, protected CatalogueFixture {
 protected:
  std::string CloudKeys(const std::string& location, const std::string& account_json) {
    return "cloud=" + platform::EncodeBase64Mime(location) +
           "\ncloud_param=" + CriptaHex(cipher, account_json) + "\n";
  }
};

TEST_F(ConfigIniTest, MissingConfigGivesTheDefaults) {
  TRecDatabase rec;
  Connection c;
  LeggiDatabaseIni(rec, c, "Database", ctx);
  EXPECT_EQ(rec.fgdb, HomeText() + "database\\CONFIG.GDB");
  EXPECT_EQ(rec.user, "SYSDBA");
  EXPECT_EQ(rec.pwd, "pw-of-install");
  EXPECT_EQ(c.Param("SQLDialect"), "1");
  LeggiDatabaseIni(rec, c, "Database Ag", ctx);
  EXPECT_EQ(c.Param("SQLDialect"), "3");
}

TEST_F(ConfigIniTest, MySqlSectionUsesRuoloAsPort) {
  WriteConfigIni(
      "[Database Ag]\nprotocollo=3\nFile=clinica\nhost=10.0.0.5\nruolo=3307\nUser=svc\npwd=pw\n");
  TRecDatabase rec;
  Connection c;
  LeggiDatabaseIni(rec, c, "Database Ag", ctx);
  EXPECT_EQ(rec.fgdb, "clinica");
  EXPECT_TRUE(c.IsMySQL());
  EXPECT_EQ(c.Param("Port"), "3307");
  EXPECT_EQ(c.Param("Server"), "10.0.0.5");
  EXPECT_EQ(c.Param("Password"), "pw");
}

TEST_F(ConfigIniTest, CloudSectionReadsTheAccountOnlyOnce) {
  WriteConfigIni(
      "[Database]\nprotocollo=4\n" +
      CloudKeys("cloud.example.it" + kPound + "studio#u=p", R"({"user":"anna","pwd":"pw1"})"));
  TRecDatabase rec;
  Connection c;
  LeggiDatabaseIni(rec, c, "Database", ctx);
  EXPECT_EQ(cloud.user, "anna");
  EXPECT_EQ(cloud.password, "pw1");
  EXPECT_EQ(c.Param("Server"), "cloud.example.it");
  EXPECT_EQ(c.Param("Database"), "studio");
  EXPECT_EQ(c.Param("User_Name"), "u");

  WriteConfigIni("[Database]\nprotocollo=4\n" +
                 CloudKeys("h" + kPound + "s", R"({"user":"other","pwd":"pw2"})"));
  LeggiDatabaseIni(rec, c, "Database", ctx);
  EXPECT_EQ(cloud.user, "anna");
  EXPECT_EQ(cloud.password, "pw1");
}

TEST_F(ConfigIniTest, UnreadableCloudAccountIsAnErrorWithoutItsText) {
  WriteConfigIni("[Database]\nprotocollo=4\ncloud_param=" +
                 CriptaHex(cipher, "{\"user\":\"anna\",\"pwd\":\"sec") + "\n");
  TRecDatabase rec;
  Connection c;
  try {
    LeggiDatabaseIni(rec, c, "Database", ctx);
    FAIL() << "a broken cloud_param was accepted";
  } catch (const DatabaseError& e) {
    EXPECT_EQ(std::string(e.what()).find("sec"), std::string::npos) << e.what();
  }
  EXPECT_EQ(cloud.user, "");
}

TEST_F(ConfigIniTest, ConfigConnectionOnFirebirdServer) {
  WriteConfigIni("[Database]\nFile=C:\\Suite\\CONFIG.GDB\nhost=srv\nAdminVelk=1\nUser=mario\n");
  Connection c;
  c.SetParam("Port", "9999");  // left over from an earlier configuration
  PreparaConnessioneConfig(c, "Database", ctx);
  EXPECT_TRUE(cloud.administrator);
  EXPECT_TRUE(c.IsFirebird());
  EXPECT_EQ(c.Param("Database"), "C:\\Suite\\CONFIG.GDB");
  EXPECT_EQ(c.Param("Server"), "srv");
  EXPECT_EQ(c.Param("Protocol"), "TCPIP");
  EXPECT_EQ(c.Param("User_Name"), "mario");
  EXPECT_EQ(c.Param("Password"), "pw-of-install");
  EXPECT_EQ(c.Param("SQLDialect"), "1");
  EXPECT_EQ(c.Param("Port"), "");
}

TEST_F(ConfigIniTest, ConfigConnectionOnMySql) {
  WriteConfigIni(
      "[Database]\nprotocollo=3\nFile=config\nhost=h\nruolo=3311\nUser=u\npwd=p\nAdminVelk=2\n");
  cloud.administrator = true;
  Connection c;
  PreparaConnessioneConfig(c, "Database", ctx);
  EXPECT_FALSE(cloud.administrator);
  EXPECT_TRUE(c.IsMySQL());
  EXPECT_EQ(c.Param("Database"), "config");
  EXPECT_EQ(c.Param("Port"), "3311");
  EXPECT_EQ(c.Param("User_Name"), "u");
}

TEST_F(ConfigIniTest, ConfigConnectionFromCloudTakesTheRememberFlagAndClearsReading) {
  WriteConfigIni("[Database]\nprotocollo=4\n" +
                 CloudKeys("c.example.it" + kPound + "cfg#u=p/p3306/m",
                           R"({"user":"anna","pwd":"x","login":true})"));
  Connection c;
  PreparaConnessioneConfig(c, "Database", ctx);
  EXPECT_TRUE(cloud.remember);
  EXPECT_FALSE(cloud.reading_configuration);
  EXPECT_EQ(c.Param("Database"), "cfg");
  EXPECT_EQ(c.MapRules().size(), 4u);

  // A failure on the way leaves the flag cleared as well.
  cloud.user.clear();
  WriteConfigIni("[Database]\nprotocollo=4\ncloud_param=00\n");
  EXPECT_THROW(PreparaConnessioneConfig(c, "Database", ctx), DatabaseError);
  EXPECT_FALSE(cloud.reading_configuration);
}

TEST_F(ConfigIniTest, FolderLayoutFilesAndTheirServer) {
  WriteConfigIni("[Database]\nFile=C:\\Suite\\\nhost=srv\n");
  Connection c;
  PreparaConnessioneFileLocale(c, "config.fdb", true, ctx);
  EXPECT_EQ(c.Param("Database"), "C:\\Suite\\database\\config.fdb");
  EXPECT_EQ(c.Param("Server"), "srv");
  EXPECT_EQ(c.Param("SQLDialect"), "1");
  EXPECT_EQ(c.Param("User_Name"), "SYSDBA");

  WriteConfigIni("[Database]\nFile=C:\\Suite\n");
  PreparaConnessioneFileLocale(c, "file.fdb", false, ctx);
  EXPECT_EQ(c.Param("Database"), "C:\\Suite\\file.fdb");
  EXPECT_EQ(c.Param("Server"), "");  // nothing of the earlier server remains

  WriteConfigIni("");
  PreparaConnessioneFileLocale(c, "file.fdb", false, ctx);
  EXPECT_EQ(c.Param("Database"), HomeText() + "file.fdb");
}

}  // namespace
}  // namespace oxsms::practice
