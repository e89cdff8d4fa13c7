// The contact lookup after the appointment search: consent codes, second
// contacts and "same" lines, number cleaning, several patient databases; on
// Firebird files and on MariaDB schemas, whose surname and address columns
// are stored encrypted.
#include <gtest/gtest.h>

#include "search_world.h"

namespace oxsms::testing::search {
namespace {

using Lines = std::vector<std::string>;

class ContactLookup : public SearchTest {
 protected:
  void Prepare() override {
    world->AddAgenda("agenda1.fdb", AgendaSettings({"Agenda1=AG1"}), {"AG1"});
    world->AddPatients("pazienti.fdb", "192", /*second_contacts=*/true);
  }

  // An appointment at 10.00 of the search day for `badge`.
  void Booked(const std::string& badge) {
    Appointment a;
    a.badge = badge;
    a.data = SearchDay();
    a.ora = At(10, 0);
    world->AddAppointment("agenda1.fdb", "AG1", a);
  }

  Patient Person(const std::string& badge, int sms) {
    Patient p;
    p.badge = badge;
    p.cognome = "Rossi";
    p.nome = "Mario";
    p.sms = sms;
    return p;
  }

  void Search(bool sms, bool email) { world->NewAgImp()->RicercaAppunt(sms, email); }

  const practice::RecipientLists& batch() const { return world->host.batch; }
};

TEST_P(ContactLookup, ConsentCodeChoosesTheContacts) {
  const struct {
    const char* badge;
    int sms;
  } patients[] = {{"10", 0}, {"11", 1}, {"12", 2}, {"13", 3}, {"14", 7}};
  for (const auto& p : patients) {
    Booked(p.badge);
    Patient person = Person(p.badge, p.sms);
    person.cognome = std::string("C") + std::to_string(p.sms);
    person.telcell = "333" + std::to_string(p.sms);
    person.email = "p" + std::to_string(p.sms) + "@example.com";
    world->AddPatient("pazienti.fdb", person);
  }
  Search(true, true);
  EXPECT_EQ(batch().listCell, (Lines{"C1,Mario,3331,12/05/2025,10.00",
                                     "C2,Mario,p2@example.com,12/05/2025,10.00",
                                     "C3,Mario,3333,12/05/2025,10.00",
                                     "C3,Mario,p3@example.com,12/05/2025,10.00"}));
  EXPECT_EQ(batch().list_id_agenda.size(), 4u);
  EXPECT_EQ(batch().listCellIncassi.size(), 4u);
  EXPECT_TRUE(batch().listScartiSms.empty());  // not interactive
}

TEST_P(ContactLookup, SecondContactsOfOneAppointmentAreMarkedSame) {
  Booked("20");
  Patient p = Person("20", 3);
  p.cognome = "D'Amico";  // quoted in the statement that decrypts it on MySQL
  p.telcell = "333 12.34-56";
  p.telcell2 = "+39 (333) 1234";
  p.email = "a@example.com";
  p.email2 = "b@example.com";
  world->AddPatient("pazienti.fdb", p);

  Search(true, true);

  EXPECT_EQ(batch().listCell, (Lines{"D'Amico,Mario,333123456,12/05/2025,10.00",
                                     "D'Amico,Mario,+39(333)1234,12/05/2025,10.00",
                                     "D'Amico,Mario,a@example.com,12/05/2025,10.00",
                                     "D'Amico,Mario,b@example.com,12/05/2025,10.00"}));
  EXPECT_EQ(batch().list_id_agenda, (Lines{"Agenda1=AG1", "same", "Agenda1=AG1", "same"}));
  ASSERT_EQ(batch().listCellIncassi.size(), 4u);
  EXPECT_EQ(batch().listCellIncassi[0].idxFilePaz, 0);
  EXPECT_EQ(batch().listCellIncassi[1].idxFilePaz, 0);
}

TEST_P(ContactLookup, SecondNumberNeedsTheFirstField) {
  world->host.visual = 1;
  Booked("30");
  Patient only_second = Person("30", 1);
  only_second.telcell2 = "3339999";
  world->AddPatient("pazienti.fdb", only_second);
  Booked("31");
  Patient letters = Person("31", 1);
  letters.cognome = "Verdi";
  letters.telcell = "nessuno";
  letters.telcell2 = "3338888";
  world->AddPatient("pazienti.fdb", letters);

  Search(true, false);

  // No line for the first; the second patient's cleaned-away first number
  // leaves the real agenda line to the second number.
  EXPECT_EQ(batch().listCell, (Lines{"Verdi,Mario,3338888,12/05/2025,10.00"}));
  EXPECT_EQ(batch().list_id_agenda, (Lines{"Agenda1=AG1"}));
  ASSERT_EQ(batch().listCellIncassi.size(), 1u);
  EXPECT_EQ(batch().listCellIncassi[0].idxFilePaz, 0);  // the patient's database is known
  EXPECT_EQ(batch().listScartiSms,
            (Lines{"Rossi Mario Manca Cellulare", "Verdi Mario Manca Cellulare"}));
}

TEST_P(ContactLookup, OnlyTheSecondAddressCarriesTheRealAgendaLine) {
  Booked("40");
  Patient p = Person("40", 2);
  p.email2 = "second@example.com";
  world->AddPatient("pazienti.fdb", p);
  Search(true, true);
  EXPECT_EQ(batch().listCell, (Lines{"Rossi,Mario,second@example.com,12/05/2025,10.00"}));
  EXPECT_EQ(batch().list_id_agenda, (Lines{"Agenda1=AG1"}));
}

TEST_P(ContactLookup, InteractiveFrontEndSeesPatientsWithoutConsent) {
  world->host.visual = 1;
  Booked("50");
  Patient p = Person("50", 0);
  p.telcell = "333";
  world->AddPatient("pazienti.fdb", p);
  Search(true, true);
  EXPECT_TRUE(batch().listCell.empty());
  EXPECT_EQ(batch().listScartiSms, (Lines{"Rossi Mario Non abilitato invio"}));
}

TEST_P(ContactLookup, PatientIsServedFromTheFirstDatabaseThatHasTheBadge) {
  world->AddPatients("pazienti2.fdb", "150", /*second_contacts=*/false);
  Booked("60");
  Booked("61");
  Patient first = Person("60", 1);
  first.telcell = "3331";
  world->AddPatient("pazienti.fdb", first);
  Patient also = Person("60", 1);
  also.telcell = "3332";
  world->AddPatient("pazienti2.fdb", also);
  Patient second_only = Person("61", 1);
  second_only.cognome = "Blu";
  second_only.telcell = "3333";
  world->AddPatient("pazienti2.fdb", second_only);
  // A badge twice in one database: the lookup takes the first row and the
  // prepared statement goes on serving the next patients.
  Patient twice = Person("61", 1);
  twice.cognome = "Blu";
  twice.telcell = "3334";
  world->AddPatient("pazienti2.fdb", twice);

  Search(true, false);

  EXPECT_EQ(batch().listCell, (Lines{"Rossi,Mario,3331,12/05/2025,10.00",
                                     "Blu,Mario,3333,12/05/2025,10.00"}));
  ASSERT_EQ(batch().listCellIncassi.size(), 2u);
  EXPECT_EQ(batch().listCellIncassi[0].idxFilePaz, 0);
  EXPECT_EQ(batch().listCellIncassi[1].idxFilePaz, 1);
}

TEST_P(ContactLookup, ManyPatientsAreServedInSearchOrderChunkAfterChunk) {
  world->AddPatients("pazienti2.fdb", "150", /*second_contacts=*/false);
  Lines first_database, second_database;
  for (int i = 0; i < 45; ++i) {  // more than two statements' worth
    const std::string badge = std::to_string(100 + i);
    Booked(badge);
    Patient p = Person(badge, 1);
    p.cognome = "P" + badge;
    p.telcell = "333" + badge;
    const bool second = i % 3 == 0;
    world->AddPatient(second ? "pazienti2.fdb" : "pazienti.fdb", p);
    (second ? second_database : first_database)
        .push_back("P" + badge + ",Mario,333" + badge + ",12/05/2025,10.00");
  }
  // Stored with a trailing blank: the database's comparison finds it for "90",
  // as the lookup of that badge alone does.
  Booked("90");
  Patient blank = Person("90 ", 1);
  blank.cognome = "Spazio";
  blank.telcell = "33390";
  world->AddPatient("pazienti.fdb", blank);
  first_database.push_back("Spazio,Mario,33390,12/05/2025,10.00");

  Search(true, false);

  Lines expected = first_database;
  expected.insert(expected.end(), second_database.begin(), second_database.end());
  EXPECT_EQ(batch().listCell, expected);
  ASSERT_EQ(batch().listCellIncassi.size(), expected.size());
  EXPECT_EQ(batch().listCellIncassi.front().idxFilePaz, 0);
  EXPECT_EQ(batch().listCellIncassi.back().idxFilePaz, 1);
}

TEST_P(ContactLookup, AnUnknownPatientStaysPendingForTheNextSearchOfTheObject) {
  Booked("70");
  auto agimp = world->NewAgImp();
  agimp->RicercaAppunt(true, false);
  EXPECT_TRUE(batch().listCell.empty());
  EXPECT_EQ(agimp->listApp(), (Lines{"12/05/2025,10.00=70"}));
}

OXSMS_INSTANTIATE_ON_BOTH_BACKENDS(ContactLookup);

using ContactLookupWithoutPatients = SearchTest;

TEST_P(ContactLookupWithoutPatients, NoPatientDatabaseIsLogged) {
  world->AddAgenda("agenda1.fdb", AgendaSettings({"Agenda1=AG1"}), {"AG1"});
  Appointment a;
  a.badge = "1";
  a.data = SearchDay();
  a.ora = At(9, 0);
  world->AddAppointment("agenda1.fdb", "AG1", a);
  world->NewAgImp()->RicercaAppunt(true, false);
  EXPECT_NE(world->LogText().find("Nessun file pazienti aperto"), std::string::npos);
}

OXSMS_INSTANTIATE_ON_BOTH_BACKENDS(ContactLookupWithoutPatients);

}  // namespace
}  // namespace oxsms::testing::search
