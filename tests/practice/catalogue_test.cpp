// Connections configured by the catalogue operations, opened on real
// databases: embedded Firebird files and schemas on the private MariaDB server.
#include <gtest/gtest.h>
#include <soci/soci.h>

#include <filesystem>

#include "catalogue_fixture.h"
#include "practice/database_catalogue.h"
#include "practice/database_error.h"
#include "practice/database_location.h"
#include "scratch_database.h"
#include "support/database_env.h"

namespace oxsms::practice {
namespace {

using oxsms::testing::FreshFirebirdFile;
using oxsms::testing::ScratchDatabase;

// The folder as the suite writes it in config.ini and the catalogue: with
// "\" separators, which the connection converts when it opens the file.
std::string SuiteText(const std::filesystem::path& folder) {
  std::string text = folder.string();
  for (char& ch : text) {
    if (ch == '/') ch = '\\';
  }
  return text;
}

int CountRows(Connection& c, const std::string& table) {
  int n = -1;
  c.Session() << "select count(*) from " + table, soci::into(n);
  return n;
}

class CatalogueFirebirdTest : public ::testing::Test, protected CatalogueFixture {};

// The catalogue operations on either server: a Firebird file of the database
// folder or named by config.ini, a MySQL schema named by a location text or
// by config.ini's protocol 3.
class CatalogueTest : public ::testing::TestWithParam<oxsms::testing::Backend>,
                      protected CatalogueFixture {
 protected:
  void SetUp() override { OXSMS_REQUIRE_BACKEND(GetParam()); }
  bool OnFirebird() const { return GetParam() == oxsms::testing::Backend::kFirebird; }
};

TEST_P(CatalogueTest, CreaConnessioneReachesTheDatabaseOfARecord) {
  TRecDatabase rec;
  std::unique_ptr<ScratchDatabase> db;
  std::string description;
  if (OnFirebird()) {
    std::filesystem::create_directory(dir / "database");
    FreshFirebirdFile(dir, "database/agenda.fdb");
    rec.fgdb = "agenda.fdb";  // a bare name lies in the database folder
    description = HomeText() + "database\\agenda.fdb";
  } else {
    db = std::make_unique<ScratchDatabase>(GetParam(), dir, "cat");
    LeggiPosizioneDB(db->LocationText(), rec, ctx);
    description = db->Server().host + " " + db->Name();
  }
  auto c = CreaConnessione(rec, false, kDialectAgenda, ctx);
  c->Session() << "create table AGENDA (ID integer, DATA timestamp, NOTE varchar(200))";
  c->Commit();
  const std::string note = "Controllo perché è l'ora";
  c->Session() << "insert into AGENDA (ID, NOTE) values (:id, :note)", soci::use(1),
      soci::use(note);
  c->Commit();
  c->Close();
  std::string read;
  c->Session() << "select NOTE from AGENDA where ID = 1", soci::into(read);
  EXPECT_EQ(read, note);
  EXPECT_EQ(rec.descrizione_db, description);
}

TEST_P(CatalogueTest, ConfigIniNamesTheDatabasesThatOpen) {
  const ScratchDatabase config(GetParam(), dir, "conf.fdb", 1);
  const ScratchDatabase agenda(GetParam(), dir, "ag.fdb", 3);
  WriteConfigIni("[Database]\r\n" + config.IniKeys() + "[Database Ag]\r\n" + agenda.IniKeys());
  Connection c;
  PreparaConnessioneConfig(c, "Database", ctx);
  c.Session() << "create table IMP_CLINICA (ID integer)";
  c.Commit();

  TRecDatabase rec;
  Connection ag;
  LeggiDatabaseIni(rec, ag, "Database Ag", ctx);
  ag.Session() << "create table IMPOSTAZIONI (ID integer)";
  ag.Commit();
  EXPECT_EQ(rec.fgdb, agenda.Name());
  EXPECT_EQ(ag.Param("Database"), agenda.Name());

  // Each reached its own database.
  int n = -1;
  c.Session() << "select count(*) from IMP_CLINICA", soci::into(n);
  EXPECT_EQ(n, 0);
  EXPECT_THROW((c.Session() << "select count(*) from IMPOSTAZIONI", soci::into(n)),
               soci::soci_error);
  if (!OnFirebird()) return;
  // The configuration database is read in dialect 1, the agenda in dialect 3.
  int dialect = 0;
  c.Session() << "select MON$SQL_DIALECT from MON$DATABASE", soci::into(dialect);
  EXPECT_EQ(dialect, 1);
  ag.Session() << "select MON$SQL_DIALECT from MON$DATABASE", soci::into(dialect);
  EXPECT_EQ(dialect, 3);
}

OXSMS_INSTANTIATE_ON_BOTH_BACKENDS(CatalogueTest);

// The suite's folder layout exists on Firebird files only.
class FolderLayoutTest : public CatalogueFirebirdTest {
 protected:
  void SetUp() override {
    const auto file = FreshFirebirdFile(dir, "file.fdb", 1);
    catalogue.SetDriverName(kDriverFirebird);
    catalogue.SetParam("Database", file.string());
    catalogue.Session()
        << "create table DB (FILEDB varchar(255), FINACTIVE integer, IDORDER integer,"
           " PROTOCOLLO integer, UID varchar(30), PWD varchar(30), HOST varchar(80))";
    catalogue.Commit();
  }
  Connection catalogue;
};

TEST_F(FolderLayoutTest, CatalogueRowGivesTheFolderOfThePatientFile) {
  std::filesystem::create_directory(dir / "dati");
  FreshFirebirdFile(dir, "dati/pazienti.fdb", 1);
  const std::string folder = SuiteText(dir / "dati") + "\\";
  catalogue.Session() << "insert into DB (FILEDB, IDORDER) values (:f, 0)", soci::use(folder);
  catalogue.Commit();

  Connection c;
  PreparaConnessioneDaCatalogo(c, catalogue, 0, ctx);
  EXPECT_EQ(c.Param("Database"), SuiteText(dir / "dati") + "\\pazienti.fdb");
  EXPECT_EQ(c.Param("SQLDialect"), "1");
  EXPECT_EQ(c.Param("Password"), "pw-of-install");
  c.Open();  // the file opens through the converted separators
  EXPECT_EQ(CountRows(catalogue, "DB"), 1);
}

TEST_F(FolderLayoutTest, MissingRowIsAppendedAndCommitted) {
  Connection c;
  PreparaConnessioneDaCatalogo(c, catalogue, 2, ctx);
  EXPECT_EQ(c.Param("Database"), "agenda.fdb");
  EXPECT_EQ(c.Param("SQLDialect"), "3");

  Connection other;  // sees the row: it was committed
  other.SetDriverName(kDriverFirebird);
  other.SetParam("Database", catalogue.Param("Database"));
  int order = -1;
  other.Session() << "select IDORDER from DB", soci::into(order);
  EXPECT_EQ(order, 2);

  PreparaConnessioneDaCatalogo(c, catalogue, 2, ctx);  // found now: no second row
  EXPECT_EQ(CountRows(catalogue, "DB"), 1);
}

TEST_F(FolderLayoutTest, OrderThreeIsTheConfigurationDatabaseAndOthersAreRefused) {
  WriteConfigIni("[Database]\nFile=C:\\Suite\n");
  Connection c;
  PreparaConnessioneDaCatalogo(c, catalogue, 3, ctx);
  EXPECT_EQ(c.Param("Database"), "C:\\Suite\\database\\config.fdb");
  EXPECT_THROW(PreparaConnessioneDaCatalogo(c, catalogue, 7, ctx), DatabaseError);
  EXPECT_EQ(CountRows(catalogue, "DB"), 0);
}

}  // namespace
}  // namespace oxsms::practice
