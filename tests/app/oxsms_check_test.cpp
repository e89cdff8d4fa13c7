// oxsms check on a real practice against the simulator: every part in order
// gives exit 0; a practice with a patient database gone, a gateway password
// that is wrong and an SMTP server that does not answer gets one failing
// line for each, naming it, and the other parts still checked.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <string>
#include <vector>

#include "app/process_runner.h"
#include "app/sim_query.h"
#include "fixture/practice_fixture.h"
#include "maker-sim/maker_simulator.h"
#include "support/temp_dir.h"

namespace oxsms::testing {
namespace {

using nlohmann::json;

// A port on this machine where nothing listens (bound, then closed).
int ClosedPort() {
  makersim::MakerSimulator probe;
  probe.Start();
  const int port = probe.port();
  probe.Stop();
  return port;
}

fixture::PracticeReport CreatePractice(const TempDir& home, const std::string& sim_url,
                                       const std::string& password,
                                       std::optional<fixture::SmtpAccount> smtp) {
  fixture::PracticeOptions options;
  options.home = home.path();
  options.patients = 20;
  options.patient_databases = 2;
  options.appointments = 6;
  options.days = 1;
  options.rest_host = sim_url;
  options.maker_url = sim_url;
  options.smtp = std::move(smtp);
  options.settings_json = std::string(R"({"user":"demo","pwd":")") + password +
                          R"(","time":"11.00.00","cbsms":true,"cbserviziosms":true,
      "cbservizioemail":)" + (options.smtp ? "true" : "false") + "}";
  return fixture::CreatePractice(options);
}

json Check(const TempDir& home, int expected_status) {
  const ProgramOutput run =
      RunProgram(OXSMS_PATH, {"--home", home.path().string(), "--json", "check"});
  EXPECT_EQ(run.status, expected_status) << run.out << run.err;
  return json::parse(run.out);
}

// The checks whose name contains `what`.
std::vector<json> Lines(const json& answer, const std::string& what) {
  std::vector<json> found;
  for (const json& line : answer.at("checks")) {
    if (line.at("check").get<std::string>().find(what) != std::string::npos) found.push_back(line);
  }
  return found;
}

TEST(OxsmsCheckTest, APracticeInOrderPassesEveryCheck) {
  makersim::MakerSimulator sim;
  sim.Start();
  TempDir home;
  CreatePractice(home, sim.base_url(), "demo", std::nullopt);

  const json answer = Check(home, 0);
  EXPECT_EQ(answer.at("ok"), true);
  for (const json& line : answer.at("checks")) EXPECT_EQ(line.at("ok"), true) << line.dump();
  ASSERT_EQ(Lines(answer, "archivio pazienti").size(), 2u);
  EXPECT_GE(Lines(answer, "tabella agenda").size(), 1u);
  const auto account = Lines(answer, "account del gateway SMS");
  ASSERT_EQ(account.size(), 1u);
  EXPECT_NE(account[0].at("detail").get<std::string>().find("SMS disponibili"), std::string::npos);
  EXPECT_EQ(Lines(answer, "gateway SMS 127.0.0.1:").size(), 1u);

  const ProgramOutput text = RunProgram(OXSMS_PATH, {"--home", home.path().string(), "check"});
  EXPECT_EQ(text.status, 0);
  EXPECT_EQ(text.out.find("ERRORE"), std::string::npos) << text.out;
}

TEST(OxsmsCheckTest, EachBrokenPartIsNamedWithItsRemedy) {
  makersim::MakerSimulator sim;
  sim.Start();
  TempDir home;
  const int smtp_port = ClosedPort();
  fixture::SmtpAccount smtp;
  smtp.host = "127.0.0.1";
  smtp.port = smtp_port;
  smtp.user = "studio";
  smtp.password = "segreta";
  smtp.from_email = "studio@example.com";
  const auto report = CreatePractice(home, sim.base_url(), "sbagliata", smtp);
  std::string removed;
  for (const auto& db : report.databases) {
    if (db.role == "pazienti") removed = db.location;  // the last one
  }
  ASSERT_FALSE(removed.empty());
  std::filesystem::remove(removed);

  const json answer = Check(home, 1);
  EXPECT_EQ(answer.at("ok"), false);
  std::vector<std::string> failed;
  for (const json& line : answer.at("checks")) {
    if (line.at("ok") == false) {
      failed.push_back(line.at("check"));
      EXPECT_FALSE(line.at("fix").get<std::string>().empty()) << line.dump();
    }
  }
  ASSERT_EQ(failed.size(), 3u) << answer.dump(1);
  EXPECT_NE(failed[0].find("archivio pazienti"), std::string::npos);
  EXPECT_NE(failed[0].find(std::filesystem::path(removed).filename().string()), std::string::npos);
  EXPECT_EQ(failed[1], "account del gateway SMS");
  EXPECT_EQ(failed[2], "server SMTP 127.0.0.1:" + std::to_string(smtp_port));
  const auto account = Lines(answer, "account del gateway SMS");
  EXPECT_NE(account[0].at("detail").get<std::string>().find("autenticazione"), std::string::npos);
  EXPECT_NE(account[0].at("fix").get<std::string>().find("pwd="), std::string::npos);
  // The rest was checked all the same.
  EXPECT_EQ(Lines(answer, "archivio pazienti").size(), 2u);
  for (const json& line : Lines(answer, "tabella agenda")) EXPECT_EQ(line.at("ok"), true);
  // No secret in the answer.
  EXPECT_EQ(answer.dump().find("sbagliata"), std::string::npos);
  EXPECT_EQ(answer.dump().find("segreta"), std::string::npos);
}

// send-test: one SMS through the gateway, as the service sends one; a number
// that cannot be dialled goes nowhere and says so.
TEST(OxsmsSendTestTest, OneSmsReachesTheGatewayAndABadNumberIsRefused) {
  makersim::MakerSimulator sim;
  sim.Start();
  TempDir home;
  CreatePractice(home, sim.base_url(), "demo", std::nullopt);

  const ProgramOutput sent = RunProgram(
      OXSMS_PATH, {"--home", home.path().string(), "--json", "send-test", "+39 347 1234567"});
  ASSERT_EQ(sent.status, 0) << sent.out << sent.err;
  EXPECT_EQ(json::parse(sent.out).at("accepted"), true);
  const json sms = SimGet(sim.base_url(), "/_sim/sms");
  ASSERT_EQ(sms.size(), 1u) << sms.dump();
  EXPECT_NE(sms[0].dump().find("393471234567"), std::string::npos) << sms.dump();
  EXPECT_NE(sms[0].dump().find("Messaggio di prova"), std::string::npos) << sms.dump();

  const ProgramOutput bad =
      RunProgram(OXSMS_PATH, {"--home", home.path().string(), "send-test", "12"});
  EXPECT_EQ(bad.status, 1);
  EXPECT_NE(bad.out.find("Numero non valido"), std::string::npos) << bad.out << bad.err;
  EXPECT_EQ(SimGet(sim.base_url(), "/_sim/sms").size(), 1u);
}

}  // namespace
}  // namespace oxsms::testing
