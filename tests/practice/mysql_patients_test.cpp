// A patient schema on MySQL beside Firebird agenda and configuration files:
// what only the MySQL server does (its collation, its statements' errors).
// The searches themselves run on both servers in the suites of
// contact_lookup_test.cpp and patient_search_test.cpp.
#include <gtest/gtest.h>

#include "search_world.h"

namespace oxsms::testing::search {
namespace {

using Lines = std::vector<std::string>;

class PatientsMariaDb : public ::testing::Test {
 protected:
  // A catalogue row for the schema, and an agenda with one appointment for
  // badge "M1" at 09.00 of the search day.
  void Prepare(const MySqlServer& server, const std::string& schema) {
    CatalogueRow row;
    row.protocollo = 3;
    row.host = server.host;
    row.filedb = schema;
    row.uid = server.user;
    row.pwd = server.password;
    row.ruolo = std::to_string(server.port);
    world.AddCatalogueRow(row);
    world.AddAgenda("agenda1.fdb", AgendaSettings({"Agenda1=AG1"}), {"AG1"});
    Appointment a;
    a.badge = "M1";
    a.data = SearchDay();
    a.ora = At(9, 0);
    world.AddAppointment("agenda1.fdb", "AG1", a);
  }

  Patient Bianca() {
    Patient p;
    p.badge = "M1";
    p.cognome = "Bianchi D'Amico";
    p.nome = "Bianca";
    p.telcell = "333 7";
    p.email = "prima@example.com";
    p.email2 = "seconda@example.com";
    p.sms = 3;
    p.nascita = platform::EncodeDate(1985, 5, 12);
    return p;
  }

  SearchWorld world;
};

TEST_F(PatientsMariaDb, BadgesAreComparedAsTheDatabaseComparesThem) {
  OXSMS_REQUIRE_MYSQL(server);
  ScratchSchema schema(server, "oxsms_search");
  auto s = OpenMySql(server, schema.name());
  CreateMySqlPatientTables(*s, "150", false);
  Patient lower = Bianca();
  lower.badge = "m1";  // the appointment says "M1": equal for the schema's collation
  lower.email.reset();
  lower.email2.reset();
  AddMySqlPatient(*s, lower, false, world.installation.column_key);
  Patient other = Bianca();
  other.badge = "M2";
  other.cognome = "Verdi";
  other.telcell = "333 8";
  AddMySqlPatient(*s, other, false, world.installation.column_key);
  Prepare(server, schema.name());
  Appointment a;
  a.badge = "M2";
  a.data = SearchDay();
  a.ora = At(10, 0);
  world.AddAppointment("agenda1.fdb", "AG1", a);

  world.NewAgImp()->RicercaAppunt(true, false);

  EXPECT_EQ(world.host.batch.listCell, (Lines{"Bianchi D'Amico,Bianca,3337,12/05/2025,09.00",
                                              "Verdi,Bianca,3338,12/05/2025,10.00"}))
      << world.LogText();
}

TEST_F(PatientsMariaDb, AFailingStatementIsLoggedWithoutTheColumnKey) {
  OXSMS_REQUIRE_MYSQL(server);
  ScratchSchema schema(server, "oxsms_search");
  auto s = OpenMySql(server, schema.name());
  // Version 192 promises the second contact columns, which are missing.
  CreateMySqlPatientTables(*s, "192", false);
  AddMySqlPatient(*s, Bianca(), false, world.installation.column_key);
  Prepare(server, schema.name());

  world.NewAgImp()->RicercaAppunt(true, true);

  const std::string log = world.LogText();
  EXPECT_NE(log.find("TELCELL2"), std::string::npos) << log;
  EXPECT_EQ(log.find(world.installation.column_key), std::string::npos) << log;
  EXPECT_EQ(log.find("AES_DECRYPT"), std::string::npos) << log;
  EXPECT_TRUE(world.host.batch.listCell.empty());
}

}  // namespace
}  // namespace oxsms::testing::search
