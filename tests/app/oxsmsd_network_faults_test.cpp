// Faults of the network and of the settings met by a whole run of the
// service on a real practice: a failure of one send costs only that send, a
// redirect never carries a request to another host, and an oversized setting
// ends in a clear log line instead of a crash or a bloated log.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sstream>
#include <string>

#include "app/process_runner.h"
#include "app/sim_query.h"
#include "fixture/practice_fixture.h"
#include "maker-sim/maker_simulator.h"
#include "platform/ini_file.h"
#include "support/temp_dir.h"

namespace oxsms::testing {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;

constexpr const char* kControlNumber = "+39 02 5550199";

// Reminders of Wednesday 9 December 2026 by SMS and WhatsApp template, sent
// on Monday (and again on Tuesday), with the control SMS of the run.
void CreateWednesdayPractice(const TempDir& home, const std::string& sim_url) {
  fixture::PracticeOptions options;
  options.home = home.path();
  options.patients = 40;
  options.appointments = 12;
  options.days = 1;
  options.first_day = platform::EncodeDate(2026, 12, 9);
  options.rest_host = sim_url;
  options.maker_url = sim_url;
  options.settings_json = R"({"user":"demo","pwd":"demo","testata":"STUDIO","time":"11.00.00",
      "cbsms":true,"cbserviziosms":true,"CBServizioWhatsapp":true,"cbservizioemail":false,
      "cbcompl":false,"cbsmsverifica":true,"cellverifica1":"+39 02 5550199",
      "cbsmsfiniti":false,"giorniinvio":"1000000",
      "testoinvio":"<Nome>, appuntamento il <Data> alle <Ora>",
      "CellWhts":"+39 02 5550100","SiglaGeneraleAppWhts":"PROMEMORIA","linkConfermaAppWhts":"0",
      "variabiliAppWhts":"nome,data,ora"})";
  fixture::CreatePractice(options);
}

// One run of the day; the exit status of a process that ended by itself
// (128 + the signal when a signal ended it).
int RunNow(const TempDir& home, const std::string& now) {
  ChildProcess run(OXSMSD_PATH, {"--home", home.path().string(), "--run-now", "--fake-now", now});
  return run.Wait(120s);
}

// The SMS the gateway accepted for the practice's own control number.
size_t ControlMessages(const json& sms) {
  size_t n = 0;
  for (const json& m : sms) {
    if (m["recipient"].get<std::string>().find("25550199") != std::string::npos) ++n;
  }
  return n;
}

TEST(OxsmsdNetworkFaultsTest, ABrokenConnectionCostsOnlyTheSendItHappenedIn) {
  makersim::MakerSimulator sim;
  sim.Start();
  TempDir home;
  CreateWednesdayPractice(home, sim.base_url());
  // The alias check of the reminder batch loses its connection once.
  ArmFault(sim.base_url(),
           {{"path", "/home/verifica_alias.json"}, {"kind", "refuse"}, {"times", 1}});

  const int code = RunNow(home, "2026-12-07 11:00:00");
  const std::string log = ReadFile(home / "sms.log");
  ASSERT_GE(code, 0);
  ASSERT_LT(code, 128) << log;

  const json sms = SimGet(sim.base_url(), "/_sim/sms");
  EXPECT_EQ(ControlMessages(sms), 1u) << "the control SMS is a later send\n" << log;
  EXPECT_EQ(sms.size(), 1u) << "the reminders' send failed\n" << log;
  EXPECT_NE(log.find("Connessione interrotta"), std::string::npos) << log;
}

TEST(OxsmsdNetworkFaultsTest, AFailedAliasCheckCostsTheSmsBatchButNotTheWhatsAppOne) {
  makersim::MakerSimulator sim;
  sim.Start();
  TempDir home;
  CreateWednesdayPractice(home, sim.base_url());
  ArmFault(sim.base_url(),
           {{"path", "/home/verifica_alias.json"}, {"kind", "http500"}, {"times", 1}});

  RunNow(home, "2026-12-07 11:00:00");
  std::string log = ReadFile(home / "sms.log");
  const size_t reminders = SimGet(sim.base_url(), "/_sim/whatsapp").size();
  EXPECT_GT(reminders, 0u) << log;
  const json sms = SimGet(sim.base_url(), "/_sim/sms");
  EXPECT_EQ(ControlMessages(sms), 1u) << log;
  EXPECT_EQ(sms.size(), 1u) << log;
  EXPECT_NE(log.find("stato HTTP 500"), std::string::npos) << log;

  // An empty reply of the WhatsApp service is reported in plain Italian.
  ArmFault(sim.base_url(), {{"path", "/whatsapp/invia_template.json"}, {"kind", "empty"}});
  RunNow(home, "2026-12-08 11:00:00");
  log = ReadFile(home / "sms.log");
  EXPECT_NE(log.find("Errore del server durante l'invio"), std::string::npos) << log;
  EXPECT_EQ(SimGet(sim.base_url(), "/_sim/whatsapp").size(), reminders);
}

TEST(OxsmsdNetworkFaultsTest, ARedirectNeverTakesARequestToAnotherHost) {
  makersim::MakerSimulator sim;
  makersim::MakerSimulator elsewhere;
  sim.Start();
  elsewhere.Start();
  TempDir home;
  CreateWednesdayPractice(home, sim.base_url());
  // Every service of the maker answers 307 to a host that is not theirs.
  ArmFault(sim.base_url(), {{"path", "*"},
                            {"kind", "redirect"},
                            {"status", 307},
                            {"location", elsewhere.base_url() + "/raccolta"}});

  const int code = RunNow(home, "2026-12-07 11:00:00");
  const std::string log = ReadFile(home / "sms.log");
  ASSERT_GE(code, 0);
  ASSERT_LT(code, 128) << log;

  EXPECT_TRUE(SimGet(elsewhere.base_url(), "/_sim/requests").empty())
      << SimGet(elsewhere.base_url(), "/_sim/requests").dump();
  EXPECT_FALSE(SimGet(sim.base_url(), "/_sim/requests").empty()) << log;
  EXPECT_TRUE(SimGet(sim.base_url(), "/_sim/sms").empty());
  EXPECT_NE(log.find("Reindirizzamento non seguito"), std::string::npos) << log;
  EXPECT_EQ(log.find("pwd"), std::string::npos) << log;
}

TEST(OxsmsdNetworkFaultsTest, AnOversizedDatabasePasswordEndsTheRunWithAClearLine) {
  makersim::MakerSimulator sim;
  sim.Start();
  TempDir home;
  CreateWednesdayPractice(home, sim.base_url());
  {
    platform::IniFile ini(home / "config.ini");
    ini.WriteString("Database", "pwd", std::string(100000, 'p'));
  }

  const int code = RunNow(home, "2026-12-07 11:00:00");
  const std::string log = ReadFile(home / "sms.log");
  ASSERT_GE(code, 0) << "the run did not end";
  EXPECT_LT(code, 128) << "ended by a signal\n" << log.substr(0, 2000);
  EXPECT_NE(log.find("Parametro di connessione \"Password\" troppo lungo: 100000 caratteri"),
            std::string::npos)
      << log.substr(0, 2000);
  EXPECT_EQ(log.find("pppppppp"), std::string::npos) << "the password itself is never logged";
  EXPECT_TRUE(SimGet(sim.base_url(), "/_sim/sms").empty());
}

TEST(OxsmsdNetworkFaultsTest, AnOversizedGatewayAddressDoesNotBloatTheLog) {
  makersim::MakerSimulator sim;
  sim.Start();
  TempDir home;
  CreateWednesdayPractice(home, sim.base_url());
  {
    platform::IniFile ini(home / "config.ini");
    ini.WriteString("sms", "rest_host", "http://" + std::string(1 << 20, 'a') + ".invalid");
  }

  const int code = RunNow(home, "2026-12-07 11:00:00");
  const std::string log = ReadFile(home / "sms.log");
  ASSERT_GE(code, 0);
  ASSERT_LT(code, 128);

  std::istringstream lines(log);
  std::string line;
  int cut = 0;
  size_t longest = 0;
  while (std::getline(lines, line)) {
    longest = std::max(longest, line.size());
    if (line.find("(testo troncato: ") != std::string::npos) ++cut;
  }
  EXPECT_LE(longest, 4096u + 128u);
  EXPECT_GT(cut, 0) << "a cut line says so";
}

}  // namespace
}  // namespace oxsms::testing
