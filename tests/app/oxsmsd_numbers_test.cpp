// Patients' numbers as the desk types them, and names the log must not
// break: a daily run on a real practice whose tomorrow's patients have
// numbers that cannot reach a telephone, numbers written with "00", brackets
// and notes, and a name with line breaks.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <soci/soci.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "app/process_runner.h"
#include "app/sim_query.h"
#include "fixture/practice_fixture.h"
#include "fixture/sessions.h"
#include "maker-sim/maker_simulator.h"
#include "net/curl_http_client.h"
#include "support/temp_dir.h"

namespace oxsms::testing {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;

struct Patient {
  std::string cognome;
  std::string nome;
  std::string telcell;
};

constexpr const char* kControlNumber = "+39 333 0000000";

// A practice with tomorrow's appointments, whose patients get the given
// names and numbers (mobile only, SMS consent); the other patients with an
// appointment tomorrow get no number at all.
void CreatePracticeWith(const TempDir& home, const std::string& base_url, bool whatsapp,
                        const std::vector<Patient>& patients) {
  fixture::PracticeOptions options;
  options.home = home.path();
  options.patients = 60;
  options.appointments = 24;
  options.days = 1;
  options.share_second_number = 0;
  options.first_day = platform::EncodeDate(2026, 12, 8);
  options.rest_host = base_url;
  options.maker_url = base_url;
  options.settings_json = std::string(R"({"user":"demo","pwd":"demo","testata":"STUDIO",
      "time":"11.00.00","cbsms":true,"cbserviziosms":true,"cbservizioemail":false,
      "cbcompl":false,"cbsmsverifica":true,"cellverifica1":")") + kControlNumber +
      R"(","cbsmsfiniti":false,"giorniinvio":"0000000","testoinvio":"<Nome>, a domani",
      "CellWhts":"+39 02 5550100","SiglaGeneraleAppWhts":"PROMEMORIA",
      "variabiliAppWhts":"nome","CBServizioWhatsapp":)" + (whatsapp ? "true" : "false") + "}";
  const fixture::PracticeReport report = fixture::CreatePractice(options);

  std::set<int> badges;
  for (const auto& db : report.databases) {
    if (db.role != "agenda") continue;
    auto sql = fixture::OpenFirebird(db.location, options.db_password);
    for (const auto& table : db.tables) {
      if (table.table == "IMPOSTAZIONI") continue;
      soci::rowset<std::string> rows =
          (sql->prepare << "select BADGE from " + table.table +
                               " where BADGE is not null and BADGE <> ''");
      for (const std::string& badge : rows) {
        const int n = std::stoi(badge);
        if (n >= 1 && n <= options.patients) badges.insert(n);
      }
    }
  }
  ASSERT_GE(badges.size(), patients.size()) << "too few patients with an appointment";

  for (const auto& db : report.databases) {
    if (db.role != "pazienti") continue;
    auto sql = fixture::OpenFirebird(db.location, options.db_password);
    sql->begin();
    std::size_t i = 0;
    for (int badge : badges) {
      const std::string code = std::to_string(badge);
      if (i < patients.size()) {
        const Patient& p = patients[i++];
        *sql << "update ANAGRAFICA set COGNOME = :c, NOME = :n, TELCELL = :t, TELCELL2 = NULL, "
                "EMAIL = NULL, EMAIL2 = NULL, SMS = 1 where BADGE = :b",
            soci::use(p.cognome), soci::use(p.nome), soci::use(p.telcell), soci::use(code);
      } else {
        *sql << "update ANAGRAFICA set TELCELL = NULL, TELCELL2 = NULL, SMS = 1 where BADGE = :b",
            soci::use(code);
      }
    }
    sql->commit();
  }
}

int RunNow(const TempDir& home) {
  ChildProcess run(OXSMSD_PATH, {"--home", home.path().string(), "--run-now", "--fake-now",
                                 "2026-12-07 11:00:00"});
  return run.Wait(120s);
}

std::multiset<std::string> BatchRecipients(const json& sms) {
  std::multiset<std::string> recipients;
  for (const json& m : sms) {
    if (m["kind"] == "batch") recipients.insert(m["recipient"].get<std::string>());
  }
  return recipients;
}

std::string ControlText(const json& sms) {
  for (const json& m : sms) {
    if (m["kind"] == "single" && m["recipient"] == "+393330000000") return m["text"];
  }
  return {};
}

const std::vector<Patient> kWrittenNumbers = {
    {"Zero", "Ada", "0"},
    {"Corto", "Bice", "333"},
    {"Lungo", "Carlo", "333123456789012345678"},  // 21 digits
    {"Estero", "Dora", "0039 337 5218764"},
    {"Parentesi", "Elio", "+39 (338) 015-9840"},
    {"Nota", "Fede", "333 1234567 (mamma)"},
    {"Rossi", "Gino", "347 1112223"},
    {"Bianchi", "Ines", "+41 79 123 45 67"},
};

TEST(OxsmsdNumbersTest, BadNumbersCostOnlyTheirOwnLinesAndWrittenNumbersGoOutCleaned) {
  makersim::MakerSimulator sim;
  sim.Start();
  TempDir home;
  CreatePracticeWith(home, sim.base_url(), /*whatsapp=*/true, kWrittenNumbers);

  EXPECT_EQ(RunNow(home), 1) << "some messages did not go out";
  const std::string log = ReadFile(home / "sms.log");

  const std::multiset<std::string> expected = {"+393375218764", "+393380159840", "+393331234567",
                                               "+393471112223", "+41791234567"};
  const json sms = SimGet(sim.base_url(), "/_sim/sms");
  EXPECT_EQ(BatchRecipients(sms), expected) << log;
  std::multiset<std::string> whatsapp;
  for (const json& m : SimGet(sim.base_url(), "/_sim/whatsapp")) {
    if (m["variabili"].value("nome", "") != "") whatsapp.insert(m["destinatario"].get<std::string>());
  }
  EXPECT_EQ(whatsapp, expected) << log;

  for (const char* who : {"Zero Ada (+390)", "Corto Bice (+39333)",
                          "Lungo Carlo (+39333123456789012345678)"}) {
    EXPECT_NE(log.find(std::string("Numero non valido, SMS non inviato: ") + who), std::string::npos)
        << who << "\n" << log;
    EXPECT_NE(log.find(std::string("Numero non valido, WhatsApp non inviato: ") + who),
              std::string::npos)
        << who << "\n" << log;
  }
  // Both channels: five messages each went out, three each did not.
  const std::string control = ControlText(sms);
  EXPECT_NE(control.find("Invio Msg Appuntamenti 10 Msg."), std::string::npos) << control;
  EXPECT_NE(control.find("Non inviati Msg Appuntamenti 6 Msg."), std::string::npos) << control;
}

TEST(OxsmsdNumbersTest, ABatchTheGatewayRefusesForOneLineGoesAgainWithoutIt) {
  makersim::MakerSimulator sim;
  sim.Start();
  SimPost(sim.base_url(), "/_sim/sms/refused_numbers", {{"numbers", {"+393471112223"}}});
  TempDir home;
  CreatePracticeWith(home, sim.base_url(), /*whatsapp=*/true,
                     {{"Rossi", "Gino", "347 1112223"},
                      {"Verdi", "Anna", "333 5550001"},
                      {"Neri", "Luca", "333 5550002"}});

  EXPECT_EQ(RunNow(home), 1);
  const std::string log = ReadFile(home / "sms.log");
  const std::multiset<std::string> expected = {"+393335550001", "+393335550002"};
  const json sms = SimGet(sim.base_url(), "/_sim/sms");
  EXPECT_EQ(BatchRecipients(sms), expected) << log;
  EXPECT_EQ(SimGet(sim.base_url(), "/_sim/requests?path=/smsox/filesmstoserver.json").size(), 2u);
  EXPECT_NE(log.find("Numero rifiutato dal gateway, SMS non inviato: Rossi Gino (+393471112223)"),
            std::string::npos)
      << log;
  // The WhatsApp service refuses the request for the same number: it goes
  // again without that recipient.
  std::multiset<std::string> whatsapp;
  for (const json& m : SimGet(sim.base_url(), "/_sim/whatsapp")) {
    if (m["variabili"].value("nome", "") != "") whatsapp.insert(m["destinatario"].get<std::string>());
  }
  EXPECT_EQ(whatsapp, expected) << log;
  EXPECT_NE(log.find("Numero rifiutato dal servizio, WhatsApp non inviato: Rossi Gino (+393471112223)"),
            std::string::npos)
      << log;
  const std::string control = ControlText(sms);
  EXPECT_NE(control.find("Invio Msg Appuntamenti 4 Msg."), std::string::npos) << control;
  EXPECT_NE(control.find("Non inviati Msg Appuntamenti 2 Msg."), std::string::npos) << control;
}

TEST(OxsmsdNumbersTest, LineBreaksInANameNeitherForgeLogLinesNorBreakTheRecipientLine) {
  makersim::MakerSimulator sim;
  sim.Start();
  TempDir home;
  CreatePracticeWith(home, sim.base_url(), /*whatsapp=*/false,
                     {{"Rossi\r\n01/01/2026 00.00.00 FALSO", "Gino\nFALSO2", "347 1112223"},
                      {"Verdi", "Anna", "333 5550001"}});

  EXPECT_EQ(RunNow(home), 0) << ReadFile(home / "sms.log");
  const std::string log = ReadFile(home / "sms.log");
  std::size_t start = 0;
  while (start < log.size()) {
    std::size_t end = log.find('\n', start);
    if (end == std::string::npos) end = log.size();
    const std::string line = log.substr(start, end - start);
    EXPECT_FALSE(line.starts_with("01/01/2026") || line.starts_with("FALSO")) << line;
    start = end + 1;
  }
  EXPECT_NE(log.find("Rossi  01/01/2026 00.00.00 FALSO,Gino FALSO2,3471112223"), std::string::npos)
      << log;
  const json sms = SimGet(sim.base_url(), "/_sim/sms");
  EXPECT_EQ(BatchRecipients(sms), (std::multiset<std::string>{"+393471112223", "+393335550001"}));
}

}  // namespace
}  // namespace oxsms::testing
