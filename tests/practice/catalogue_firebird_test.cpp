// Connections configured by the catalogue operations, opened on real
// embedded Firebird files.
#include <gtest/gtest.h>
#include <soci/soci.h>

#include <filesystem>

#include "catalogue_fixture.h"
#include "practice/database_catalogue.h"
#include "practice/database_error.h"
#include "support/database_env.h"

namespace oxsms::practice {
namespace {

using oxsms::testing::FreshFirebirdFile;

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

TEST_F(CatalogueFirebirdTest, CreaConnessioneReachesAFileOfTheDatabaseFolder) {
  std::filesystem::create_directory(dir / "database");
  FreshFirebirdFile(dir, "database/agenda.fdb");
  TRecDatabase rec;
  rec.fgdb = "agenda.fdb";
  auto c = CreaConnessione(rec, true, kDialectAgenda, ctx);
  c->Session() << "create table AGENDA (ID integer, DATA timestamp, NOTE varchar(200))";
  c->Commit();
  const std::string note = "Controllo perché è l'ora";
  c->Session() << "insert into AGENDA (ID, NOTE) values (:id, :note)", soci::use(1),
      soci::use(note);
  c->Commit();
  std::string read;
  c->Session() << "select NOTE from AGENDA where ID = 1", soci::into(read);
  EXPECT_EQ(read, note);
  EXPECT_EQ(rec.descrizione_db, "agenda.fdb");
}

TEST_F(CatalogueFirebirdTest, ConfigIniNamesTheFilesThatOpen) {
  const auto config = FreshFirebirdFile(dir, "conf.fdb", 1);
  const auto agenda = FreshFirebirdFile(dir, "ag.fdb", 3);
  WriteConfigIni("[Database]\nFile=" + SuiteText(config) +
                 "\n[Database Ag]\nFile=" + SuiteText(agenda) + "\n");
  Connection c;
  PreparaConnessioneConfig(c, "Database", ctx);
  c.Open();
  int dialect = 0;
  c.Session() << "select MON$SQL_DIALECT from MON$DATABASE", soci::into(dialect);
  EXPECT_EQ(dialect, 1);

  TRecDatabase rec;
  Connection ag;
  LeggiDatabaseIni(rec, ag, "Database Ag", ctx);
  ag.Session() << "select MON$SQL_DIALECT from MON$DATABASE", soci::into(dialect);
  EXPECT_EQ(dialect, 3);
  EXPECT_EQ(rec.fgdb, SuiteText(agenda));
}

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
