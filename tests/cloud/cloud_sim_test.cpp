// The cloud client against the simulated cloud service over real HTTP: the
// account checks, the configurations each account may read, the security
// step and the faults a real service shows.
#include <gtest/gtest.h>

#include "cloud/cloud_configurations.h"
#include "cloud/cloud_error.h"
#include "cloud_test_world.h"
#include "maker-sim/sim_core.h"
#include "practice/database_error.h"
#include "tools/maker-sim/sim_fixture.h"

namespace oxsms::cloud {
namespace {

using nlohmann::json;

const json kState = {
    {"cloud",
     {{"accounts",
       {{{"user", "anna"}, {"pwd", "pw"}},
        {{"user", "carlo"}, {"pwd", "pw"}},
        {{"user", "bea"}, {"pwd", "pw"}, {"security", 41}, {"protezioni", {{"sms", true}}}}}},
      {"configurations",
       {{{"id", "5"},
         {"users", {"anna", "bea"}},
         {"configurazione", {{"server_db", "127.0.0.1"}, {"schema_name_db", "pz"}}}}}}}}};

class CloudSimTest : public testing::SimFixture, protected CloudWorld {
 protected:
  CloudSimTest() : SimFixture(kState) {}

  json Show(const std::string& user, const std::string& number = "5") {
    RememberedAccount(user, "pw");
    endpoint.base_address = sim_.base_url();
    CloudRestClient client(client_, session, prompts, store, log, endpoint,
                           [](const std::string&, std::chrono::milliseconds) { return true; });
    json request = {{"id_configurazione", number}};
    json reply = "untouched";
    client.ChiamataRestCloud(kConfigurationPath, request, true, reply, false);
    return reply;
  }
};

TEST_F(CloudSimTest, AccountsReadTheConfigurationsTheyMay) {
  endpoint.api_key = makersim::SimCore::kDefaultApiKey;
  const json found = Show("anna");
  EXPECT_EQ(found.at("codice"), 1);
  EXPECT_EQ(found["dati"]["ConfigurazioniCloud"]["schema_name_db"], "pz");
  EXPECT_EQ(found["dati"]["AccountCloud"]["user"], "anna");
  EXPECT_EQ(Show("carlo").at("codice"), 11);
  EXPECT_EQ(Show("anna", "6").at("codice"), 12);
  EXPECT_EQ(Show("bea").at("codice"), 41);  // nobody verifies the device
  EXPECT_TRUE(Show("nessuno").is_null());   // 17: cleared
  EXPECT_EQ(session.failures, 1);

  const json requests = Control("GET", "/_sim/requests?path=/configurazioni_cloud/show.json");
  ASSERT_FALSE(requests.empty());
  const json body = json::parse(requests[0]["body"].get<std::string>());
  EXPECT_EQ(Decoded(body, "user_cloud_b64"), "anna");
  EXPECT_EQ(body["identifier"], "");
}

TEST_F(CloudSimTest, AWrongKeyAndFaultsReachTheCallerAsErrors) {
  endpoint.api_key = "wrong";
  EXPECT_EQ(Show("anna").at("codice"), 0);
  EXPECT_NE(Log().find("Chiave API non valida"), std::string::npos);

  endpoint.api_key = makersim::SimCore::kDefaultApiKey;
  Control("POST", "/_sim/faults",
          {{"path", "/configurazioni_cloud/show.json"}, {"kind", "empty"}, {"times", 1}});
  EXPECT_THROW(Show("anna"), CloudError);
  Control("POST", "/_sim/faults",
          {{"path", "/configurazioni_cloud/show.json"}, {"kind", "http500"}, {"times", 1}});
  EXPECT_THROW(Show("anna"), CloudError);
  Control("POST", "/_sim/faults",
          {{"path", "/configurazioni_cloud/show.json"}, {"kind", "refuse"}, {"times", 1}});
  EXPECT_THROW(Show("anna"), net::HttpError);
  EXPECT_EQ(Show("anna").at("codice"), 1);
}

TEST_F(CloudSimTest, TheStateIsReplacedThroughTheControlCall) {
  Control("POST", "/_sim/cloud", {{"accounts", {{{"user", "x"}, {"pwd", "y"}}}}});
  EXPECT_EQ(Control("GET", "/_sim/state")["cloud"]["accounts"].size(), 1u);
  EXPECT_EQ(Control("POST", "/_sim/cloud", {{"accounts", 3}}).count("error"), 1u);
}

}  // namespace
}  // namespace oxsms::cloud
