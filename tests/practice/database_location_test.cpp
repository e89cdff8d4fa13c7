// Location texts: splitting, reading into a database description, and
// composing Firebird database names.
#include "practice/database_location.h"

#include <gtest/gtest.h>

#include "catalogue_fixture.h"
#include "practice/credential_protection.h"
#include "practice/database_error.h"
#include "practice/local_config.h"

namespace oxsms::practice {
namespace {

const std::string kPound = "\xC2\xA3";

TEST(ScomponiNomeDB, TellsLocalPathsFromServerForms) {
  struct Case {
    std::string text, host, role, file;
    int kind;
  };
  const Case cases[] = {
      {"C:\\Dati\\agenda.fdb", "", "", "C:\\Dati\\agenda.fdb", kLocationLocal},
      {"/srv/dati/agenda.fdb", "", "", "/srv/dati/agenda.fdb", kLocationLocal},
      {"server:C:\\Dati\\agenda.fdb", "server", "", "C:\\Dati\\agenda.fdb", kLocationColon},
      {"server/3051:C:\\x.fdb", "server", "3051", "C:\\x.fdb", kLocationColon},
      {"\\\\server\\share\\agenda.fdb", "server", "", "share\\agenda.fdb", kLocationUnc},
      {"\\\\server", "", "", "", kLocationUnc},
      {"server@C:\\x.fdb", "server", "", "C:\\x.fdb", kLocationAt},
      {"db.example.it/3307" + kPound + "clinica", "db.example.it", "3307", "clinica",
       kLocationPound},
      // A pound sign at the very start is no separator: the "@" form is used.
      {kPound + "x@y", kPound + "x", "", "y", kLocationAt},
  };
  for (const auto& c : cases) {
    const LocationParts parts = ScomponiNomeDB(c.text);
    EXPECT_EQ(parts.host, c.host) << c.text;
    EXPECT_EQ(parts.role, c.role) << c.text;
    EXPECT_EQ(parts.file, c.file) << c.text;
    EXPECT_EQ(parts.kind, c.kind) << c.text;
  }
}

class LeggiPosizioneDBTest : public ::testing::Test, protected CatalogueFixture {};

TEST_F(LeggiPosizioneDBTest, LocalFileIsFirebirdWithTheDefaultAccount) {
  TRecDatabase rec;
  rec.user = "mario";
  rec.pwd = "segreto";
  LeggiPosizioneDB("C:\\Dati\\agenda.fdb", rec, ctx);
  EXPECT_EQ(rec.fgdb, "C:\\Dati\\agenda.fdb");
  EXPECT_EQ(rec.host, "");
  EXPECT_EQ(rec.protoc, 0);
  EXPECT_TRUE(rec.local);
  // Whatever the caller set, a Firebird location uses SYSDBA and the
  // installation's password.
  EXPECT_EQ(rec.user, "SYSDBA");
  EXPECT_EQ(rec.pwd, "pw-of-install");
}

TEST_F(LeggiPosizioneDBTest, ServerFormsGiveTheirProtocolCodes) {
  TRecDatabase rec;
  LeggiPosizioneDB("\\\\server\\share\\agenda.fdb", rec, ctx);
  EXPECT_EQ(rec.protoc, 1);
  EXPECT_EQ(rec.host, "server");
  EXPECT_EQ(rec.fgdb, "share\\agenda.fdb");
  EXPECT_FALSE(rec.local);
  LeggiPosizioneDB("server@C:\\x.fdb", rec, ctx);
  EXPECT_EQ(rec.protoc, 2);
  LeggiPosizioneDB("server/3051:C:\\x.fdb", rec, ctx);
  EXPECT_EQ(rec.protoc, 0);
  EXPECT_EQ(rec.role, "3051");
  EXPECT_EQ(rec.user, "SYSDBA");
}

TEST_F(LeggiPosizioneDBTest, MySqlLocationCarriesAccountPortAndNoDateMapping) {
  TRecDatabase rec;
  LeggiPosizioneDB("db.studio.it" + kPound + "clinica#mario=pa=ss/p3307/m", rec, ctx);
  EXPECT_EQ(rec.protoc, 3);
  EXPECT_EQ(rec.host, "db.studio.it");
  EXPECT_EQ(rec.fgdb, "clinica");
  EXPECT_EQ(rec.schema_db, "clinica");
  EXPECT_EQ(rec.user, "mario");
  EXPECT_EQ(rec.pwd, "pa=ss");  // split at the first "=" only
  EXPECT_EQ(rec.role, "3307");
  EXPECT_EQ(rec.NO_DATEMAPRULES, "1");
  EXPECT_TRUE(rec.IsMySQL());
}

TEST_F(LeggiPosizioneDBTest, MySqlLocationWithoutAccountKeepsTheCallers) {
  TRecDatabase rec;
  rec.user = "svc";
  rec.pwd = "from-caller";
  LeggiPosizioneDB("db/3308" + kPound + "clinica", rec, ctx);
  EXPECT_EQ(rec.user, "svc");
  EXPECT_EQ(rec.pwd, "from-caller");
  EXPECT_EQ(rec.role, "3308");  // the port of "host/port" survives
  EXPECT_EQ(rec.schema_db, "clinica");
  EXPECT_EQ(rec.NO_DATEMAPRULES, "");
}

TEST_F(LeggiPosizioneDBTest, EncryptedCloudLocationIsReadInPlace) {
  TRecDatabase rec;
  const std::string hidden = CriptaHex(cipher, "cloud.example.it" + kPound + "studio7#u7=p7");
  LeggiPosizioneDB("Studio Rossi id=7 param=" + hidden, rec, ctx);
  EXPECT_EQ(rec.protoc, 3);
  EXPECT_EQ(rec.host, "cloud.example.it");
  EXPECT_EQ(rec.schema_db, "studio7");
  EXPECT_EQ(rec.user, "u7");
  EXPECT_EQ(rec.pwd, "p7");
  EXPECT_EQ(rec.descrizione_db, "Studio Rossi");

  TRecDatabase described;
  described.descrizione_db = "Sede";
  LeggiPosizioneDB("Studio Rossi id=7 param=" + hidden, described, ctx);
  EXPECT_EQ(described.descrizione_db, "Sede");
}

TEST_F(LeggiPosizioneDBTest, CloudConfigurationByNumberGoesToTheResolver) {
  TRecDatabase rec;
  ctx.resolver = nullptr;
  EXPECT_THROW(LeggiPosizioneDB("Studio id=42", rec, ctx), DatabaseError);

  ctx.resolver = &cloud;
  LeggiPosizioneDB("Studio id=42", rec, ctx);
  EXPECT_EQ(cloud.asked, "42");
  EXPECT_EQ(cloud.asked_location, "Studio id=42");
  EXPECT_EQ(rec.protoc, 4);
  EXPECT_EQ(rec.schema_db, "cfg42");
  EXPECT_EQ(rec.user, "cloud-user");  // not replaced by the Firebird account

  // The number is what follows the last "=", empty included.
  LeggiPosizioneDB("conf id=", rec, ctx);
  EXPECT_EQ(cloud.asked, "");
}

class ComponiNomeDBTest : public ::testing::Test, protected CatalogueFixture {};

TEST_F(ComponiNomeDBTest, ComposesEachProtocolsForm) {
  EXPECT_EQ(ComponiNomeDB(home, "", "agenda.fdb", 0), HomeText() + "database\\agenda.fdb");
  EXPECT_EQ(ComponiNomeDB(home, "", "C:\\x.fdb", 1), "C:\\x.fdb");
  EXPECT_EQ(ComponiNomeDB(home, "srv", "D:\\x.fdb", 1), "\\\\srv\\D:\\x.fdb");
  EXPECT_EQ(ComponiNomeDB(home, "srv", "D:\\x.fdb", 0), "srv:D:\\x.fdb");
  EXPECT_EQ(ComponiNomeDB(home, "srv", "/data/x.fdb", 2), "srv@/data/x.fdb");
  EXPECT_EQ(ComponiNomeDB(home, "srv", "clinica", 3), "srv-clinica");
  EXPECT_EQ(ComponiNomeDB(home, "srv", "x.fdb", 0), "srv:" + HomeText() + "database\\x.fdb");
}

TEST_F(ComponiNomeDBTest, LocaleVariantHonoursUseLocalhostAndTheFolderFlag) {
  EXPECT_EQ(ComponiNomeDBLocale(home, "", "config.fdb", 0, true),
            HomeText() + "database\\config.fdb");
  EXPECT_EQ(ComponiNomeDBLocale(home, "", "file.fdb", 0, false), HomeText() + "file.fdb");
  WriteConfigIni("[Database]\nuselocalhost=1\n");
  EXPECT_EQ(ComponiNomeDBLocale(home, "", "C:\\S\\file.fdb", 2, false),
            "localhost:C:\\S\\file.fdb");
  // A given host is kept as it is.
  EXPECT_EQ(ComponiNomeDBLocale(home, "srv", "C:\\f.fdb", 1, false), "\\\\srv\\C:\\f.fdb");
}

}  // namespace
}  // namespace oxsms::practice
