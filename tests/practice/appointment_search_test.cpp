// The appointment search over real agenda and patient databases (embedded
// Firebird files or MariaDB schemas): one appointment per patient, excluded tables, payment data.
#include <gtest/gtest.h>

#include "search_world.h"

namespace oxsms::testing::search {
namespace {

using practice::TAgImp;

class AppointmentSearch : public SearchTest {
 protected:
  void Prepare() override {
    world->AddAgenda("agenda1.fdb", AgendaSettings({"Agenda1=AG1", "Agenda2=AG2"}), {"AG1", "AG2"});
    world->AddPatients("pazienti.fdb");
  }

  void Appointment(const std::string& table, const std::string& badge, platform::TDateTime day,
                   platform::TDateTime time, std::optional<std::string> incasso = std::nullopt,
                   const std::string& agenda = "agenda1.fdb") {
    search::Appointment a;
    a.badge = badge;
    a.data = day;
    a.ora = time;
    a.incasso = std::move(incasso);
    a.fileguid = "G-" + badge;
    a.id_linkpag = "L-" + table + "-" + badge;
    world->AddAppointment(agenda, table, a);
  }

  void PatientWithMobile(const std::string& badge, const std::string& surname,
                         const std::string& mobile, const std::string& patients = "pazienti.fdb") {
    Patient p;
    p.badge = badge;
    p.cognome = surname;
    p.nome = "Anna";
    p.telcell = mobile;
    p.sms = 1;
    world->AddPatient(patients, p);
  }

};

TEST_P(AppointmentSearch, PatientKeepsTheEarlierTimeOfTheSameDayAcrossAgendas) {
  world->host.payment_link_state = 1;
  Appointment("AG1", "7", SearchDay(), At(11, 0), "80.0000");
  Appointment("AG2", "7", SearchDay(), At(9, 30), "45.5000");
  PatientWithMobile("7", "Rossi", "333 1234567");

  auto agimp = world->NewAgImp();
  agimp->RicercaAppunt(true, false);

  const auto& batch = world->host.batch;
  ASSERT_EQ(batch.listCell, std::vector<std::string>{"Rossi,Anna,3331234567,12/05/2025,09.30"});
  ASSERT_EQ(batch.list_id_agenda, std::vector<std::string>{"Agenda2=AG2"});
  ASSERT_EQ(batch.listCellIncassi.size(), 1u);
  EXPECT_EQ(batch.listCellIncassi[0].incasso, 455000);
  EXPECT_EQ(batch.listCellIncassi[0].id_linkpag, "L-AG2-7");
  EXPECT_EQ(batch.listCellIncassi[0].fileguid, "G-7");
  EXPECT_EQ(batch.listCellIncassi[0].badge, "7");
  EXPECT_EQ(batch.listCellIncassi[0].idxFilePaz, 0);
  // The served patient's entry is emptied, the lists keep their length.
  EXPECT_EQ(agimp->listApp(), std::vector<std::string>{""});
  EXPECT_EQ(agimp->listIncassi().size(), 1u);
}

TEST_P(AppointmentSearch, OnlyTheTimeOfDayIsComparedAcrossDays) {
  const auto next_day = SearchDay() + 1;
  Appointment("AG1", "7", SearchDay(), At(10, 0));
  Appointment("AG1", "7", next_day, At(8, 0));
  // Same time in both agendas: the first returned stays.
  Appointment("AG1", "8", SearchDay(), At(9, 0));
  Appointment("AG2", "8", next_day, At(9, 0));
  PatientWithMobile("7", "Rossi", "3331");
  PatientWithMobile("8", "Bianchi", "3332");

  auto agimp = world->NewAgImp();
  agimp->DataRicerca1 = next_day;
  agimp->RicercaAppunt(true, false);

  EXPECT_EQ(world->host.batch.listCell,
            (std::vector<std::string>{"Rossi,Anna,3331,13/05/2025,08.00",
                                      "Bianchi,Anna,3332,12/05/2025,09.00"}));
  EXPECT_EQ(world->host.batch.list_id_agenda,
            (std::vector<std::string>{"Agenda1=AG1", "Agenda1=AG1"}));
}

TEST_P(AppointmentSearch, BadgesMatchWholeAndEmptyBadgesAreLeftOut) {
  Appointment("AG1", "123", SearchDay(), At(10, 0));
  Appointment("AG2", "12", SearchDay(), At(9, 0));
  Appointment("AG2", "", SearchDay(), At(8, 0));
  Appointment("AG1", "99", SearchDay() + 1, At(8, 0));  // outside the range
  PatientWithMobile("123", "Verdi", "3330");
  PatientWithMobile("12", "Neri", "3331");

  auto agimp = world->NewAgImp();
  agimp->RicercaAppunt(true, false);

  EXPECT_EQ(agimp->listApp().size(), 2u);
  EXPECT_EQ(world->host.batch.listCell,
            (std::vector<std::string>{"Verdi,Anna,3330,12/05/2025,10.00",
                                      "Neri,Anna,3331,12/05/2025,09.00"}));
}

TEST_P(AppointmentSearch, ExcludedTablesAreSkippedWithoutRegardToCase) {
  world->host.excluded_tables = "x\r\n ag2 \r\n";
  Appointment("AG1", "7", SearchDay(), At(11, 0));
  Appointment("AG2", "7", SearchDay(), At(9, 30));
  PatientWithMobile("7", "Rossi", "3331");

  auto agimp = world->NewAgImp();
  agimp->RicercaAppunt(true, false);

  EXPECT_EQ(world->host.batch.listCell,
            std::vector<std::string>{"Rossi,Anna,3331,12/05/2025,11.00"});
}

TEST_P(AppointmentSearch, ZeroFeesAreSkippedOnlyWhenThePaymentModuleIsInUse) {
  world->host.skip_zero_fees = true;
  Appointment("AG1", "1", SearchDay(), At(9, 0), std::nullopt);
  Appointment("AG1", "2", SearchDay(), At(9, 30), "0");
  Appointment("AG1", "3", SearchDay(), At(10, 0), "12.3400");
  for (const char* badge : {"1", "2", "3"}) PatientWithMobile(badge, "P" + std::string(badge), "333");

  world->host.payment_link_state = 1;
  auto with_module = world->NewAgImp();
  with_module->RicercaAppunt(true, false);
  ASSERT_EQ(world->host.batch.listCell, std::vector<std::string>{"P3,Anna,333,12/05/2025,10.00"});
  EXPECT_EQ(world->host.batch.listCellIncassi[0].incasso, 123400);

  world->host.payment_link_state = 2;
  auto without_module = world->NewAgImp();
  without_module->RicercaAppunt(true, false);
  ASSERT_EQ(world->host.batch.listCell.size(), 3u);
  for (const auto& payment : world->host.batch.listCellIncassi) {
    EXPECT_EQ(payment.incasso, 0);
    EXPECT_EQ(payment.badge, "");
    EXPECT_EQ(payment.id_linkpag, "");
  }
}

OXSMS_INSTANTIATE_ON_BOTH_BACKENDS(AppointmentSearch);

using AppointmentSearchTables = SearchTest;

TEST_P(AppointmentSearchTables, TableNameThatIsNoIdentifierIsSkippedWithALogLine) {
  world->AddAgenda("agenda1.fdb",
                  AgendaSettings({"Agenda1=AG1 where 1=1 or badge", "Agenda2=AG2;delete from AG2",
                                  "Agenda3=AG2"}),
                  {"AG1", "AG2"});
  world->AddPatients("pazienti.fdb");
  Appointment a;
  a.badge = "5";
  a.data = SearchDay();
  a.ora = At(9, 0);
  world->AddAppointment("agenda1.fdb", "AG1", a);
  world->AddAppointment("agenda1.fdb", "AG2", a);
  Patient p;
  p.badge = "5";
  p.cognome = "Gialli";
  p.telcell = "333";
  world->AddPatient("pazienti.fdb", p);

  auto agimp = world->NewAgImp();
  agimp->RicercaAppunt(true, false);

  EXPECT_EQ(world->host.batch.list_id_agenda, std::vector<std::string>{"Agenda3=AG2"});
  const std::string log = world->LogText();
  EXPECT_NE(log.find("nome non valido: \"AG1 where 1"), std::string::npos) << log;
  EXPECT_NE(log.find("nome non valido: \"AG2;delete"), std::string::npos) << log;
  // Nothing was deleted by the second name.
  auto again = world->NewAgImp();
  again->RicercaAppunt(true, false);
  EXPECT_EQ(world->host.batch.listCell.size(), 1u);
}

OXSMS_INSTANTIATE_ON_BOTH_BACKENDS(AppointmentSearchTables);

}  // namespace
}  // namespace oxsms::testing::search
