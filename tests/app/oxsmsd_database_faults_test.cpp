// Practices whose databases are not as the service's own fixture makes them
// by default: CHAR text columns, a WIN1252 character set, a dropped agenda
// table, a missing patient file, an appointment row locked at the desk. Each
// runs one daily send of the real service against the simulator.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <soci/soci.h>

#include <chrono>
#include <set>

#include "app/process_runner.h"
#include "app/sim_query.h"
#include "fixture/practice_fixture.h"
#include "fixture/sessions.h"
#include "maker-sim/maker_simulator.h"
#include "platform/ini_file.h"
#include "support/temp_dir.h"

namespace oxsms::testing {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;

constexpr const char* kDbPassword = "qentoravi";

// Reminders by SMS of tomorrow (2026-12-08) with the patient's names and,
// with `link`, a confirmation link written back into the agenda row.
fixture::PracticeOptions Practice(const TempDir& home, const makersim::MakerSimulator& sim,
                                  bool link = false) {
  fixture::PracticeOptions options;
  options.home = home.path();
  options.patients = 30;
  options.appointments = 12;
  options.days = 1;
  options.first_day = platform::EncodeDate(2026, 12, 8);
  options.rest_host = sim.base_url();
  options.maker_url = sim.base_url();
  options.settings_json = std::string(R"({"user":"demo","pwd":"demo","testata":"STUDIO",
      "time":"11.00.00","cbsms":true,"cbserviziosms":true,"cbservizioemail":false,
      "cbcompl":false,"cbsmsverifica":false,"cbsmsfiniti":false,"giorniinvio":"0000000",
      "testoinvio":"<Cognome> <Nome>, appuntamento il <Data> alle <Ora>)") +
                          (link ? " <link_conferma>" : "") + "\"}";
  return options;
}

std::string DatabaseOf(const fixture::PracticeReport& report, const std::string& role) {
  for (const auto& db : report.databases) {
    if (db.role == role) return db.location;
  }
  ADD_FAILURE() << "no " << role << " database";
  return {};
}

// One send at once; the exit status, or -1 when it did not end in time.
int RunNow(const TempDir& home, std::chrono::seconds limit = 120s) {
  return RunOxsmsdOnce(OXSMSD_PATH, home.path(), {}, "2026-12-07 11:00:00", limit);
}

json Sms(const makersim::MakerSimulator& sim) { return SimGet(sim.base_url(), "/_sim/sms"); }

std::set<std::string> RecipientsOnce(const json& sms) {
  std::set<std::string> recipients;
  for (const json& m : sms) {
    EXPECT_TRUE(recipients.insert(m["recipient"].get<std::string>()).second)
        << "reminded twice: " << m["recipient"];
  }
  return recipients;
}

TEST(OxsmsdDatabaseFaultsTest, CharTextColumnsAreReadWithoutTheirPadding) {
  makersim::MakerSimulator sim;
  sim.Start();
  TempDir home;
  fixture::PracticeOptions options = Practice(home, sim);
  // The catalogue's account, the patients' names and the badges of the first
  // agenda table are CHAR; the second agenda table keeps VARCHAR badges, and
  // one patient has an appointment in each.
  options.char_columns.config = true;
  options.char_columns.first_agenda = true;
  options.char_columns.patients = true;
  fixture::CreatePractice(options);

  ASSERT_EQ(RunNow(home), 0) << ReadFile(home / "sms.log");
  const json sms = Sms(sim);
  ASSERT_GT(sms.size(), 0u) << ReadFile(home / "sms.log");
  RecipientsOnce(sms);
  for (const json& m : sms) {
    const std::string text = m["text"].get<std::string>();
    EXPECT_EQ(text.find("  "), std::string::npos) << text;
    EXPECT_NE(text.find(" appuntamento il 08/12/2026"), std::string::npos) << text;
  }
}

class OxsmsdCharsetTest : public ::testing::TestWithParam<const char*> {};

TEST_P(OxsmsdCharsetTest, AccentedNamesReachThePatientsIntact) {
  makersim::MakerSimulator sim;
  sim.Start();
  TempDir home;
  fixture::PracticeOptions options = Practice(home, sim);
  options.charset = GetParam();
  const auto report = fixture::CreatePractice(options);
  {
    auto patients = fixture::OpenFirebird(DatabaseOf(report, "pazienti"), kDbPassword);
    *patients << "update ANAGRAFICA set NOME = 'Niccolò', COGNOME = 'Cantù'";
    patients->commit();
  }

  ASSERT_EQ(RunNow(home), 0) << ReadFile(home / "sms.log");
  const json sms = Sms(sim);
  ASSERT_GT(sms.size(), 0u) << ReadFile(home / "sms.log");
  for (const json& m : sms) {
    EXPECT_EQ(m["text"].get<std::string>().rfind("Cantù Niccolò, appuntamento", 0), 0u)
        << m["text"];
  }
}

INSTANTIATE_TEST_SUITE_P(Charsets, OxsmsdCharsetTest, ::testing::Values("UTF8", "WIN1252"));

TEST(OxsmsdDatabaseFaultsTest, MissingTableOrPatientFileCostsOnlyItselfWithItsCause) {
  makersim::MakerSimulator sim;
  sim.Start();
  TempDir home;
  fixture::PracticeOptions options = Practice(home, sim);
  options.patient_databases = 2;
  const auto report = fixture::CreatePractice(options);
  {
    auto agenda = fixture::OpenFirebird(DatabaseOf(report, "agenda"), kDbPassword);
    *agenda << "drop table AGENDA_1";
    agenda->commit();
  }
  std::filesystem::path second_patients;
  for (const auto& db : report.databases) {
    if (db.role == "pazienti") second_patients = db.location;
  }
  std::filesystem::rename(second_patients, second_patients.string() + ".spostato");

  // What could be read goes; the run says that some could not.
  ASSERT_EQ(RunNow(home), 1) << ReadFile(home / "sms.log");
  const std::string log = ReadFile(home / "sms.log");
  EXPECT_NE(log.find("Tabella agenda \"AGENDA_1\" non letta: "), std::string::npos) << log;
  EXPECT_NE(log.find("Ricerca incompleta (promemoria)"), std::string::npos) << log;
  EXPECT_NE(log.find("Archivio pazienti non aperto: "), std::string::npos) << log;
  EXPECT_NE(log.find(second_patients.filename().string()), std::string::npos) << log;
  // The patients of AGENDA_2 in the first patient database are reminded.
  EXPECT_GT(Sms(sim).size(), 0u) << log;
}

TEST(OxsmsdDatabaseFaultsTest, RowLockedAtTheDeskCostsOnlyItsLinkAfterTheLockTimeout) {
  makersim::MakerSimulator sim;
  sim.Start();
  TempDir home;
  const auto report = fixture::CreatePractice(Practice(home, sim, /*link=*/true));
  platform::IniFile(home / "config.ini").WriteString("Installazione", "lock_timeout", "1");

  const std::string agenda_file = DatabaseOf(report, "agenda");
  const auto codes_in = [&](const char* table) {
    auto agenda = fixture::OpenFirebird(agenda_file, kDbPassword);
    int count = -1;
    *agenda << "select count(*) from " + std::string(table) +
                   " where DATA = '2026-12-08' and ID_WEB is not null",
        soci::into(count);
    return count;
  };
  const int locked_codes_before = codes_in("AGENDA_1");
  const int free_codes_before = codes_in("AGENDA_2");

  // The desk edits tomorrow's appointments of AGENDA_1 and does not commit.
  auto desk = fixture::OpenFirebird(agenda_file, kDbPassword);
  *desk << "update AGENDA_1 set APPUNT = APPUNT where DATA = '2026-12-08'";

  const auto started = std::chrono::steady_clock::now();
  ASSERT_EQ(RunNow(home, 60s), 0) << ReadFile(home / "sms.log");
  EXPECT_LT(std::chrono::steady_clock::now() - started, 45s);
  desk->rollback();
  desk.reset();

  const std::string log = ReadFile(home / "sms.log");
  EXPECT_NE(log.find("SalvaLinkBreve: agenda non aggiornata (tabella AGENDA_1)"),
            std::string::npos)
      << log;
  const json sms = Sms(sim);
  ASSERT_GT(sms.size(), 0u) << log;
  for (const json& m : sms) {
    EXPECT_NE(m["text"].get<std::string>().find("/c/"), std::string::npos) << m["text"];
  }
  EXPECT_EQ(codes_in("AGENDA_1"), locked_codes_before) << "the locked rows are left alone";
  EXPECT_GT(codes_in("AGENDA_2"), free_codes_before) << "the rows not locked get their codes";
}

}  // namespace
}  // namespace oxsms::testing
