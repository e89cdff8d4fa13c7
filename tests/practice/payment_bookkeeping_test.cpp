// The payment-due scan and the bookkeeping of payment links, on agenda and
// patient databases of either server (embedded Firebird files, MariaDB
// schemas whose CONTAB key is AUTO_INCREMENT).
#include <gtest/gtest.h>

#include "links_world.h"
#include "practice/agimp.h"

namespace oxsms::testing::links {
namespace {

using practice::TPazRec;

class PaymentBookkeeping : public ::testing::TestWithParam<Backend> {
 protected:
  void SetUp() override {
    OXSMS_REQUIRE_BACKEND(GetParam());
    w = std::make_unique<LinksWorld>(GetParam());
    w->world.host.payment_link_state = 1;
  }

  // A fee of badge "7" at 09.30 in agenda2's AG1, recorded for patient code
  // 70 of pazienti2 (fileguid "G-2") with an active record 700.
  TPazRec SecondDatabaseFee(const std::string& id_linkpag, practice::Currency incasso = 502500) {
    w->Fee("agenda2.fdb", "AG1", "7", At(9, 30), "50.2500", "G-2");
    w->AddPatient("pazienti2.fdb", "7", 70);
    w->AddRecord("pazienti2.fdb", 700, 70, "0", 1, platform::EncodeDate(2020, 1, 1));
    TPazRec fee;
    fee.badge = "7";
    fee.incasso = incasso;
    fee.fileguid = "G-2";
    fee.idxFilePaz = 1;
    fee.id_linkpag = id_linkpag;
    fee.link_pag = "https://pagamenti.example.it/s/" + id_linkpag;
    return fee;
  }

  std::unique_ptr<LinksWorld> w;
};

TEST_P(PaymentBookkeeping, CercaIncassoLooksInEveryAgendaDatabaseInOrder) {
  // AG1 exists in both databases, the first has no row at 10.00; AG3 exists
  // only in the second, so the first database fails the query.
  w->Fee("agenda1.fdb", "AG1", "1", At(9, 0), "10.0000");
  w->Fee("agenda2.fdb", "AG1", "2", At(10, 0), "50.2500", "G-2");
  w->Fee("agenda2.fdb", "AG3", "3", At(11, 0), "0.0001", "G-1");
  auto agimp = w->world.NewAgImp();

  EXPECT_TRUE(agimp->CercaIncasso(RecAt("Agenda1=AG1", "10.00")));
  EXPECT_TRUE(agimp->CercaIncasso(RecAt("Agenda3=AG3", "11:00")));
  EXPECT_FALSE(agimp->CercaIncasso(RecAt("Agenda1=AG1", "12.00")));
  EXPECT_FALSE(agimp->CercaIncasso(RecAt("", "10.00")));

  const auto& found = w->world.host.batch.listCellIncassi;
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0].badge, "2");
  EXPECT_EQ(found[0].incasso, 502500);
  EXPECT_EQ(found[0].fileguid, "G-2");
  EXPECT_EQ(found[0].idxFilePaz, 100);
  EXPECT_EQ(found[1].badge, "3");
  EXPECT_EQ(found[1].incasso, 1);
}

TEST_P(PaymentBookkeeping, AnalizzaIncassiGivesEveryLineItsEntryAndPatientDatabase) {
  w->Fee("agenda1.fdb", "AG1", "B2", At(8, 0), "80.0000", "G-2");    // due; both files know B2
  w->Fee("agenda1.fdb", "AG1", "N", At(8, 30), std::nullopt);         // nothing to collect
  w->Fee("agenda2.fdb", "AG1", "L", At(9, 0), "20.0000", "G-1", "X-5");  // already linked
  w->Fee("agenda2.fdb", "AG3", "U", At(9, 30), "15.0000", "G-9");    // no such patient file
  w->AddPatient("pazienti1.fdb", "B2", 1);
  w->AddPatient("pazienti2.fdb", "B2", 2);
  auto& batch = w->world.host.batch;
  batch.listCell = {LineAt("08.00"), LineAt("08.30"), LineAt("09.00"), LineAt("09.30"),
                    LineAt("08.00")};
  // The last line has no agenda line; a leftover entry must not shift the rest.
  batch.list_id_agenda = {"Agenda1=AG1", "Agenda1=AG1", "Agenda1=AG1", "Agenda3=AG3"};
  batch.listCellIncassi = {TPazRec{}};

  auto agimp = w->world.NewAgImp();
  agimp->AnalizzaIncassi(ParseTestLine);

  const auto& entries = batch.listCellIncassi;
  ASSERT_EQ(entries.size(), 5u);
  EXPECT_EQ(entries[0].badge, "B2");
  EXPECT_EQ(entries[0].incasso, 800000);
  EXPECT_EQ(entries[0].idxFilePaz, 1) << "the fileguid names the second patient file";
  for (std::size_t i : {1u, 2u, 4u}) {
    EXPECT_TRUE(entries[i].badge.empty()) << i;
    EXPECT_EQ(entries[i].incasso, 0) << i;
    EXPECT_EQ(entries[i].idxFilePaz, 100) << i;
  }
  EXPECT_EQ(entries[3].badge, "U");
  EXPECT_EQ(entries[3].incasso, 150000);
  EXPECT_EQ(entries[3].idxFilePaz, 100);
}

TEST_P(PaymentBookkeeping, SalvaLinkPagTwiceWritesTheLinkOnceAndOneExactEntry) {
  TPazRec fee = SecondDatabaseFee("A7-12", 1234567891);  // 123456.7891
  w->SetGenerator("pazienti2.fdb", 500);
  auto agimp = w->world.NewAgImp();

  agimp->SalvaLinkPag(RecAt("Agenda1=AG1", "09:30"), fee);
  agimp->SalvaLinkPag(RecAt("Agenda1=AG1", "09.30"), fee);
  agimp->CommitBookkeeping();

  EXPECT_EQ(w->AgendaColumn("agenda2.fdb", "AG1", "7", "ID_LINKPAG"), "A7-12");
  const auto rows = w->Contab("pazienti2.fdb");
  ASSERT_EQ(rows.size(), 1u) << w->world.LogText();
  EXPECT_EQ(rows[0].autoid, 501);
  EXPECT_EQ(rows[0].codice_cliente, 70);
  EXPECT_EQ(rows[0].numero_cartella, 700);
  EXPECT_EQ(rows[0].tipo, 14);
  EXPECT_EQ(rows[0].data, SearchDay());
  EXPECT_EQ(rows[0].importo, 1234567891);
  EXPECT_EQ(rows[0].pagato, "0");
  EXPECT_EQ(rows[0].inscadenza, "0");
  EXPECT_EQ(rows[0].descrizione, "Link pagamento da agenda");
  EXPECT_EQ(rows[0].pec, "A7-12");
  EXPECT_EQ(rows[0].scandoc, "https://pagamenti.example.it/s/A7-12");
  EXPECT_TRUE(w->Contab("pazienti1.fdb").empty());

  // A later link for the same appointment leaves the recorded one in place.
  TPazRec later = fee;
  later.id_linkpag = "B-22";
  agimp->SalvaLinkPag(RecAt("Agenda1=AG1", "09.30"), later);
  agimp->CommitBookkeeping();
  EXPECT_EQ(w->AgendaColumn("agenda2.fdb", "AG1", "7", "ID_LINKPAG"), "A7-12");
}

TEST_P(PaymentBookkeeping, PlaceholderAndEmptyIdentifiersRecordNothing) {
  TPazRec fee = SecondDatabaseFee("A7-1");
  auto agimp = w->world.NewAgImp();

  agimp->SalvaLinkPag(RecAt("Agenda1=AG1", "09.30"), fee);
  fee.id_linkpag.clear();
  agimp->SalvaLinkPag(RecAt("Agenda1=AG1", "09.30"), fee);
  agimp->CommitBookkeeping();
  EXPECT_EQ(w->AgendaColumn("agenda2.fdb", "AG1", "7", "ID_LINKPAG"), std::nullopt);
  EXPECT_TRUE(w->Contab("pazienti2.fdb").empty());

  fee.id_linkpag = "A7-12";
  agimp->SalvaLinkPag(RecAt("Agenda1=AG1", "09.30"), fee);
  agimp->CommitBookkeeping();
  EXPECT_EQ(w->AgendaColumn("agenda2.fdb", "AG1", "7", "ID_LINKPAG"), "A7-12");
  EXPECT_EQ(w->Contab("pazienti2.fdb").size(), 1u);
}

TEST_P(PaymentBookkeeping, WithoutPatientDatabaseOnlyTheAgendaRowIsWritten) {
  TPazRec fee = SecondDatabaseFee("A7-12");
  fee.idxFilePaz = 100;
  auto agimp = w->world.NewAgImp();

  agimp->SalvaLinkPag(RecAt("Agenda1=AG1", "09.30"), fee);
  agimp->CommitBookkeeping();

  EXPECT_EQ(w->AgendaColumn("agenda2.fdb", "AG1", "7", "ID_LINKPAG"), "A7-12");
  EXPECT_TRUE(w->Contab("pazienti1.fdb").empty());
  EXPECT_TRUE(w->Contab("pazienti2.fdb").empty());
}

TEST_P(PaymentBookkeeping, EntryGoesToThePatientFileOfTheFileguidOrNowhere) {
  TPazRec fee = SecondDatabaseFee("A7-12");
  w->AddPatient("pazienti1.fdb", "7", 10);  // the same badge, another practice's patient
  w->AddRecord("pazienti1.fdb", 100, 10, "0", 1, platform::EncodeDate(2020, 1, 1));
  fee.idxFilePaz = 0;  // points at the wrong file
  auto agimp = w->world.NewAgImp();

  agimp->SalvaLinkPag(RecAt("Agenda1=AG1", "09.30"), fee);
  agimp->CommitBookkeeping();
  EXPECT_TRUE(w->Contab("pazienti1.fdb").empty());
  ASSERT_EQ(w->Contab("pazienti2.fdb").size(), 1u);
  EXPECT_EQ(w->Contab("pazienti2.fdb")[0].codice_cliente, 70);

  fee.fileguid = "G-9";
  fee.id_linkpag = "A7-13";
  agimp->SalvaLinkPag(RecAt("Agenda1=AG1", "09.30"), fee);
  agimp->CommitBookkeeping();
  EXPECT_TRUE(w->Contab("pazienti1.fdb").empty());
  EXPECT_EQ(w->Contab("pazienti2.fdb").size(), 1u);
}

TEST_P(PaymentBookkeeping, EntryGoesToTheFirstRecordActiveOrNot) {
  // Patient 80: inactive records only; the first by View_order, then the most
  // recently opened. Patient 90: an active record wins over earlier inactive ones.
  w->AddPatient("pazienti1.fdb", "8", 80);
  w->AddRecord("pazienti1.fdb", 801, 80, "1", 2, platform::EncodeDate(2024, 1, 1));
  w->AddRecord("pazienti1.fdb", 802, 80, "1", 1, platform::EncodeDate(2010, 1, 1));
  w->AddRecord("pazienti1.fdb", 803, 80, "1", 1, platform::EncodeDate(2015, 1, 1));
  w->AddPatient("pazienti1.fdb", "9", 90);
  w->AddRecord("pazienti1.fdb", 901, 90, "1", 0, platform::EncodeDate(2024, 1, 1));
  w->AddRecord("pazienti1.fdb", 902, 90, "0", 5, platform::EncodeDate(2000, 1, 1));
  w->AddPatient("pazienti1.fdb", "5", 50);  // no record at all
  auto agimp = w->world.NewAgImp();

  for (const std::string badge : {"8", "9", "5"}) {
    TPazRec fee;
    fee.badge = badge;
    fee.incasso = 10000;
    fee.fileguid = "G-1";
    fee.idxFilePaz = 0;
    fee.id_linkpag = "P-" + badge;
    agimp->SalvaLinkPag(RecAt("Agenda1=AG1", "09.30"), fee);
  }

  agimp->CommitBookkeeping();
  const auto rows = w->Contab("pazienti1.fdb");
  ASSERT_EQ(rows.size(), 2u) << w->world.LogText();
  EXPECT_EQ(rows[0].numero_cartella, 803);
  EXPECT_EQ(rows[1].numero_cartella, 902);
}

TEST_P(PaymentBookkeeping, ARecordedLinkIsWrittenBeforeTheAgendaIsReadAgain) {
  // Not committed and not yet written when the scan asks: the scan must not
  // offer the appointment for a second link.
  TPazRec fee = SecondDatabaseFee("A7-12");
  auto agimp = w->world.NewAgImp();
  ASSERT_TRUE(agimp->CercaIncasso(RecAt("Agenda1=AG1", "09.30")));

  agimp->SalvaLinkPag(RecAt("Agenda1=AG1", "09.30"), fee);
  EXPECT_FALSE(agimp->CercaIncasso(RecAt("Agenda1=AG1", "09.30")));
  EXPECT_EQ(w->world.host.batch.listCellIncassi.size(), 1u);
}

TEST_P(PaymentBookkeeping, FailedWritesAreLoggedNotRaised) {
  TPazRec fee = SecondDatabaseFee("A7-12");
  fee.idxFilePaz = 5;  // no such patient file
  auto agimp = w->world.NewAgImp();

  EXPECT_NO_THROW(agimp->SalvaLinkPag(RecAt("Agenda9=AG9", "09.30"), fee));
  agimp->CommitBookkeeping();  // the queued writes run here

  const std::string log = w->world.LogText();
  EXPECT_NE(log.find("SalvaLinkPag: agenda non aggiornata (tabella AG9)"), std::string::npos)
      << log;
  EXPECT_NE(log.find("SalvaLinkPag: movimento contabile non registrato"), std::string::npos)
      << log;
  EXPECT_EQ(log.find("qentoravi"), std::string::npos);

  // A record that failed is tried (and reported) again, not taken as done.
  agimp->SalvaLinkPag(RecAt("Agenda9=AG9", "09.30"), fee);
  agimp->CommitBookkeeping();
  const std::string again = w->world.LogText().substr(log.size());
  EXPECT_NE(again.find("SalvaLinkPag: agenda non aggiornata (tabella AG9)"), std::string::npos)
      << again;
}

OXSMS_INSTANTIATE_ON_BOTH_BACKENDS(PaymentBookkeeping);

}  // namespace
}  // namespace oxsms::testing::links
