// A practice in the maker's cloud: config.ini names the configuration
// database by a cloud configuration number, which the simulated cloud
// service resolves to a schema on the private MariaDB server; the catalogue
// there describes the patient database by a cloud document. One daily send
// of the real oxsmsd reaches the patients; rejected credentials (code 17)
// and a refused account (code 18) fail the run, and the process ends as any
// failed run does.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "app/process_runner.h"
#include "app/sim_query.h"
#include "fixture/create_database.h"
#include "fixture/practice_fixture.h"
#include "maker-sim/maker_simulator.h"
#include "net/maker_rest.h"
#include "platform/base64.h"
#include "platform/ini_file.h"
#include "support/database_env.h"
#include "support/temp_dir.h"

namespace oxsms::testing {
namespace {

using nlohmann::json;

constexpr const char* kShowPath = "/configurazioni_cloud/show.json";

class OxsmsdCloudMariaDbTest : public ::testing::Test {
 protected:
  // A cloud practice on `server` in schema `schema` (and "<schema>_cfg"),
  // whose cloud service is a simulator of its own (cloud_url of config.ini)
  // that knows its account and configuration.
  void MakePractice(const MySqlServer& server, const std::string& schema) {
    sim_.Start();
    cloud_.Start();
    fixture::PracticeOptions options;
    options.home = home_.path();
    options.patients = 30;
    options.appointments = 12;
    options.days = 1;
    options.first_day = platform::EncodeDate(2026, 12, 8);
    options.rest_host = sim_.base_url();
    options.maker_url = sim_.base_url();
    options.mysql =
        fixture::MySqlTarget{server.host, server.port, server.user, server.password, schema};
    options.cloud = fixture::CloudPractice{};
    options.settings_json = R"({"user":"demo","pwd":"demo","testata":"STUDIO","time":"11.00.00",
        "cbsms":true,"cbserviziosms":true,"cbservizioemail":false,"cbcompl":false,
        "cbsmsverifica":false,"cbsmsfiniti":false,"giorniinvio":"0000000"})";
    fixture::CreatePractice(options);
    config_schema_ = {server, schema + "_cfg"};
    platform::IniFile(home_ / "config.ini")
        .WriteString("Installazione", "cloud_url", cloud_.base_url());
    SimPost(cloud_.base_url(), "/_sim/cloud", json::parse(ReadFile(home_ / "cloud_sim.json")));
  }
  void TearDown() override {
    if (config_schema_) {
      const auto& [server, name] = *config_schema_;
      fixture::DropMySqlSchema(server.host, server.port, server.user, server.password, name);
    }
  }
  int RunNow() { return RunOxsmsdOnce(OXSMSD_PATH, home_.path(), {}, "2026-12-07 11:00:00"); }

  makersim::MakerSimulator sim_;
  makersim::MakerSimulator cloud_;
  TempDir home_;
  std::optional<std::pair<MySqlServer, std::string>> config_schema_;
};

TEST_F(OxsmsdCloudMariaDbTest, RemindersGoOutWithTheDatabasesTheCloudDescribes) {
  OXSMS_REQUIRE_MYSQL(server);
  ScratchSchema patients(server, "cloudpz");
  MakePractice(server, patients.name());

  ASSERT_EQ(RunNow(), 0) << ActivityLogOf(home_.path());
  const std::string content = ActivityLogOf(home_.path());
  EXPECT_EQ(content.find("non leggibile"), std::string::npos) << content;

  const json asked = SimGet(cloud_.base_url(), std::string("/_sim/requests?path=") + kShowPath);
  ASSERT_FALSE(asked.empty()) << content;
  const json body = json::parse(asked[0]["body"].get<std::string>());
  EXPECT_EQ(body["id_configurazione"], "1");
  EXPECT_EQ(platform::DecodeBase64(body["user_cloud_b64"].get<std::string>()), "studio-cloud");
  EXPECT_EQ(platform::DecodeBase64(body["pwd_cloud_b64"].get<std::string>()), "nuvola");

  const json sms = SimGet(sim_.base_url(), "/_sim/sms");
  ASSERT_GT(sms.size(), 0u) << content;
  for (const json& m : sms) {
    EXPECT_NE(m["text"].get<std::string>().find("08/12/2026"), std::string::npos) << m["text"];
  }
  // The surnames were read from the encrypted columns of the cloud patient database.
  EXPECT_EQ(content.find("Nessun file pazienti aperto"), std::string::npos) << content;

  // The administration command finds the same databases and checks the cloud host.
  const ProgramOutput check =
      RunProgram(OXSMS_PATH, {"--home", home_.path().string(), "--json", "check"});
  EXPECT_EQ(check.status, 0) << check.out << check.err;
  EXPECT_NE(check.out.find("servizio cloud " + net::HostOf(cloud_.base_url())), std::string::npos)
      << check.out;
}

TEST_F(OxsmsdCloudMariaDbTest, RefusedCloudAccessFailsTheRunAndTheProcessEndsNormally) {
  OXSMS_REQUIRE_MYSQL(server);
  ScratchSchema patients(server, "cloudpz");
  MakePractice(server, patients.name());
  SimPost(cloud_.base_url(), "/_sim/cloud",
          {{"accounts", {{{"user", "studio-cloud"}, {"pwd", "cambiata"}}}}});

  EXPECT_EQ(RunNow(), 1);
  const std::string content = ActivityLogOf(home_.path());
  EXPECT_NE(content.find("Credenziali cloud rifiutate"), std::string::npos) << content;
  EXPECT_NE(content.find("nessun operatore presente, accesso annullato"), std::string::npos)
      << content;
  EXPECT_EQ(content.find("nuvola"), std::string::npos) << "a password reached the log";
  EXPECT_TRUE(SimGet(sim_.base_url(), "/_sim/sms").empty());

  // A refusal of another kind (code 18) fails the run the same way.
  SimPost(cloud_.base_url(), "/_sim/cloud", json::parse(ReadFile(home_ / "cloud_sim.json")));
  SimPost(cloud_.base_url(), "/_sim/faults",
          {{"path", kShowPath},
           {"kind", "reply"},
           {"message", R"({"codice":18,"response_message":"Account cloud sospeso"})"}});
  EXPECT_EQ(RunNow(), 1);
  const std::string after = ActivityLogOf(home_.path());
  EXPECT_NE(after.find("codice 18: Account cloud sospeso"), std::string::npos) << after;
  EXPECT_TRUE(SimGet(sim_.base_url(), "/_sim/sms").empty());
}

}  // namespace
}  // namespace oxsms::testing
