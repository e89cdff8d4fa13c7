// The patient database set and the birthday search over real patient
// databases: embedded Firebird files (dialect 1) and MariaDB schemas.
#include <gtest/gtest.h>

#include "search_world.h"

namespace oxsms::testing::search {
namespace {

using Lines = std::vector<std::string>;
using platform::EncodeDate;

std::string DatabaseOf(const practice::TAgImp& agimp, std::size_t k) {
  return agimp.listDB().at(k).connection->Param("Database");
}

using PatientSets = SearchTest;

TEST_P(PatientSets, SettingsVersionTagsTheSecondContactColumns) {
  world->AddPatients("v192.fdb", "192");
  world->AddPatients("v250.fdb", " 250 ");
  world->AddPatients("v191.fdb", "191", false);
  world->AddPatients("empty.fdb", "", false);
  world->AddPatients("text.fdb", "1.9.2", false);
  world->AddPatients("norow.fdb", std::nullopt, false);
  // An old database without the column: the query fails, the tag is 0.
  Exec(world->SessionOf("old.fdb", 1), "create table IMPOSTAZIONI (ID integer)");
  world->AddCatalogueRow(world->RowFor("old.fdb"));
  auto agimp = world->NewAgImp();
  agimp->ApriFilePazienti();

  ASSERT_EQ(agimp->listDB().size(), 7u);
  std::vector<int> tags;
  for (const auto& db : agimp->listDB()) tags.push_back(db.tag);
  EXPECT_EQ(tags, (std::vector<int>{1, 1, 0, 0, 0, 0, 0}));
  EXPECT_EQ(DatabaseOf(*agimp, 0), world->Location("v192.fdb"));
  EXPECT_EQ(DatabaseOf(*agimp, 6), world->Location("old.fdb"));
}

TEST_P(PatientSets, InactiveProtocolTwoAndUnreachableRowsAreLeftOut) {
  world->AddPatients("first.fdb");
  CatalogueRow inactive = world->RowFor("first.fdb");
  inactive.finactive = "1";
  world->AddCatalogueRow(inactive);
  CatalogueRow at_form = world->RowFor("first.fdb");
  at_form.protocollo = 2;
  world->AddCatalogueRow(at_form);
  CatalogueRow missing = world->RowFor("first.fdb");
  missing.filedb = world->OnFirebird() ? world->Path("missing.fdb").string()
                                       : world->Location("first.fdb") + "_missing";
  world->AddCatalogueRow(missing);
  CatalogueRow agenda = world->RowFor("first.fdb");
  agenda.vista = "3";
  world->AddCatalogueRow(agenda);
  world->AddPatients("second.fdb");

  auto agimp = world->NewAgImp();
  agimp->ApriFilePazienti();

  ASSERT_EQ(agimp->listDB().size(), 2u);
  EXPECT_EQ(DatabaseOf(*agimp, 0), world->Location("first.fdb"));
  EXPECT_EQ(DatabaseOf(*agimp, 1), world->Location("second.fdb"));
  // Left out; the log names the database that did not open and why.
  EXPECT_NE(world->LogText().find("Archivio pazienti non aperto: "), std::string::npos);
  EXPECT_NE(world->LogText().find(missing.filedb), std::string::npos) << world->LogText();
}

OXSMS_INSTANTIATE_ON_BOTH_BACKENDS(PatientSets);

// Further patient files of the settings are Firebird files ("@" form).
TEST(PatientSetsFirebird, ExtraFilesOfTheSettingsFollowTheCatalogue) {
  SearchWorld world;
  world.AddPatients("first.fdb");
  OpenFirebird(world.Path("extra.fdb"), 1);
  world.host.extra_patient_files =
      world.Path("extra.fdb").string() + "\r\n\r\n" + world.Path("gone.fdb").string() + "\r\n";

  auto agimp = world.NewAgImp();
  agimp->ApriFilePazienti();

  ASSERT_EQ(agimp->listDB().size(), 2u);
  EXPECT_EQ(DatabaseOf(*agimp, 1), world.Path("extra.fdb").string());
  EXPECT_EQ(agimp->listDB()[1].connection->Param("User_Name"), "sysdba");
  EXPECT_EQ(agimp->listDB()[1].tag, 0);
  EXPECT_TRUE(agimp->listDB()[1].connection->Connected());

  world.host.extra_patient_files.clear();
  agimp->ApriFilePazienti();  // already open: nothing changes
  EXPECT_EQ(agimp->listDB().size(), 2u);
}

class BirthdaySearch : public SearchTest {
 protected:
  void Prepare() override { world->AddPatients("pazienti.fdb", "192"); }

  void Born(const std::string& surname, platform::TDateTime birth, int sms = 1,
            std::optional<std::string> mobile = "333 111",
            std::optional<std::string> email = std::nullopt) {
    Patient p;
    p.badge = surname;
    p.cognome = surname;
    p.nome = "N";
    p.sms = sms;
    p.telcell = std::move(mobile);
    p.email = std::move(email);
    p.nascita = birth;
    world->AddPatient("pazienti.fdb", p);
  }

  Lines Search(platform::TDateTime start, platform::TDateTime end, bool sms = true,
               bool email = false) {
    world->host.batch.Clear();
    auto agimp = world->NewAgImp();
    agimp->DataRicerca = start;
    agimp->DataRicerca1 = end;
    agimp->RicercaCompleanni(sms, email);
    return world->host.batch.listCell;
  }
};

TEST_P(BirthdaySearch, RangeWithinOneMonth) {
  Born("Maggio4", EncodeDate(1980, 5, 4));
  Born("Maggio6", EncodeDate(1980, 5, 6));
  Born("Marzo4", EncodeDate(1980, 3, 4));
  EXPECT_EQ(Search(EncodeDate(2025, 5, 3), EncodeDate(2025, 5, 5)),
            (Lines{"Maggio4,N,333111,04/05/1980"}));
}

TEST_P(BirthdaySearch, RangeAcrossMonthsAndTheTurnOfTheYear) {
  Born("Maggio1", EncodeDate(1990, 5, 1));
  Born("Aprile30", EncodeDate(1990, 4, 30));
  Born("Gennaio1", EncodeDate(1990, 1, 1));
  Born("Dicembre31", EncodeDate(1990, 12, 31));
  EXPECT_EQ(Search(EncodeDate(2025, 4, 30), EncodeDate(2025, 5, 2)),
            (Lines{"Maggio1,N,333111,01/05/1990", "Aprile30,N,333111,30/04/1990"}));
  // The birthday is moved into the year of the start: 1 January is missed.
  EXPECT_EQ(Search(EncodeDate(2025, 12, 30), EncodeDate(2026, 1, 2)),
            (Lines{"Dicembre31,N,333111,31/12/1990"}));
  EXPECT_TRUE(Search(EncodeDate(2025, 5, 5), EncodeDate(2025, 5, 3)).empty());
}

TEST_P(BirthdaySearch, TwentyNinthOfFebruary) {
  Born("Bisesto", EncodeDate(1988, 2, 29));
  EXPECT_TRUE(Search(EncodeDate(2025, 2, 28), EncodeDate(2025, 3, 1)).empty());
  EXPECT_EQ(Search(EncodeDate(2024, 2, 29), EncodeDate(2024, 2, 29)),
            (Lines{"Bisesto,N,333111,29/02/1988"}));
}

TEST_P(BirthdaySearch, EachUsableContactGivesALineWithoutAgendaEntry) {
  world->host.visual = 1;
  const auto day = EncodeDate(1970, 6, 10);
  Born("Tutti", day, 3, "347-1", "t@example.com");
  Born("Lettere", day, 1, "nessuno");
  Born("SenzaMail", day, 2, std::nullopt, std::nullopt);
  Born("Negato", day, 0, "3470", std::nullopt);
  world->host.batch.listCellIncassi.resize(1);

  auto agimp = world->NewAgImp();
  agimp->DataRicerca = agimp->DataRicerca1 = EncodeDate(2025, 6, 10);
  agimp->RicercaCompleanni(true, true);
  agimp->RicercaCompleanni(true, true);  // a second marked day: the lines accumulate

  const Lines once = {"Tutti,N,3471,10/06/1970", "Tutti,N,t@example.com,10/06/1970",
                      "Lettere,N,,10/06/1970"};
  Lines twice = once;
  twice.insert(twice.end(), once.begin(), once.end());
  EXPECT_EQ(world->host.batch.listCell, twice);
  EXPECT_EQ(world->host.batch.list_id_agenda, Lines(6, ""));
  EXPECT_EQ(world->host.batch.listCellIncassi.size(), 1u);
  EXPECT_EQ(world->host.batch.listScartiSms,
            (Lines{"SenzaMail N Manca Email", "Negato N Non abilitato invio",
                   "SenzaMail N Manca Email", "Negato N Non abilitato invio"}));
}

OXSMS_INSTANTIATE_ON_BOTH_BACKENDS(BirthdaySearch);

using BirthdaySearchWithoutPatients = SearchTest;

TEST_P(BirthdaySearchWithoutPatients, RaisesNoPatientDatabase) {
  auto agimp = world->NewAgImp();
  try {
    agimp->RicercaCompleanni(true, false);
    FAIL() << "no error";
  } catch (const practice::DatabaseError& e) {
    EXPECT_STREQ(e.what(), "Nessun file pazienti aperto");
  }
}

OXSMS_INSTANTIATE_ON_BOTH_BACKENDS(BirthdaySearchWithoutPatients);

}  // namespace
}  // namespace oxsms::testing::search
