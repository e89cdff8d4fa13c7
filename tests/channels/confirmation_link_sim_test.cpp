// OttieniLink against the simulated link service, over real HTTP on a local
// port: what reaches the service, what the line holds afterwards, what a
// failing service does to the caller and to the log.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "channels/channel_error.h"
#include "channels/confirmation_link.h"
#include "maker-sim/maker_simulator.h"
#include "net/curl_http_client.h"
#include "platform/activity_log.h"
#include "platform/base64.h"
#include "support/manual_clock.h"
#include "support/temp_dir.h"

namespace oxsms::channels {
namespace {

using nlohmann::json;

constexpr const char* kApiKey = "QKvaTm0wR7pLs2NdY9eUa4Zc6HbJi-3GfWoXn8E";
constexpr const char* kPassword = "Segreta!7";
constexpr const char* kCreate = "/conferma_appuntamenti/crea.json";

json SimState() {
  return {
      {"api_key", kApiKey},
      {"sms",
       {{"accounts",
         json::array({{{"user", "studio"}, {"pwd", kPassword}, {"idcliente", 7}, {"credit", 0}}})},
        {"aliases", json::array()}}}};
}

practice::TLineRec Line(const std::string& data = "17/05/2025", const std::string& ora = "09.30",
                        const std::string& id_agenda = "A=AGENDA1=3") {
  practice::TLineRec rec;
  rec.Cognome = "Rossi";
  rec.Nome = "Mario";
  rec.Cellulare = "3331234567";
  rec.Data = data;
  rec.Ora = ora;
  rec.id_agenda = id_agenda;
  return rec;
}

class ConfirmationLinkSimTest : public ::testing::Test {
 protected:
  ConfirmationLinkSimTest() : sim_(SimState()), log_(dir_ / "sms.log", clock_) {}

  void SetUp() override {
    sim_.Start();
    config.account = {"studio", kPassword, 0.75};
    config.link_service = {sim_.base_url(), kApiKey};
  }

  ConfirmationLinks& Links(StoredLinkLookup lookup = {}) {
    links_ = std::make_unique<ConfirmationLinks>(config, http_, log_, std::move(lookup));
    return *links_;
  }

  json Control(const std::string& method, const std::string& path, const json& body = nullptr) {
    net::HttpRequest request;
    request.method = method;
    request.url = sim_.base_url() + path;
    if (!body.is_null()) {
      request.headers = {{"Content-Type", "application/json"}};
      request.body = body.dump();
    }
    return json::parse(control_.Send(request).body);
  }
  void ArmFault(const std::string& kind, const std::string& message = "") {
    json fault = {{"path", kCreate}, {"kind", kind}};
    if (!message.empty()) fault["message"] = message;
    Control("POST", "/_sim/faults", fault);
  }
  json Requests() { return Control("GET", std::string("/_sim/requests?path=") + kCreate); }
  json Created() { return Control("GET", "/_sim/links"); }
  // The exact bytes of a recorded request's body.
  static std::string BodyBytes(const json& record) {
    return platform::DecodeBase64(record.at("body_base64").get<std::string>());
  }
  static std::string Header(const json& record, const std::string& name) {
    return record.at("headers").value(name, "<absent>");
  }
  std::string LogText() const { return oxsms::testing::ReadFile(dir_ / "sms.log"); }

  makersim::MakerSimulator sim_;  // declared first: outlives the clients' connections
  oxsms::testing::TempDir dir_;
  oxsms::testing::ManualClock clock_{45000.5};
  platform::ActivityLog log_;
  net::CurlHttpClient http_;
  net::CurlHttpClient control_;
  ConfirmationLinkConfig config;
  std::unique_ptr<ConfirmationLinks> links_;
};

// --- a new link -----------------------------------------------------------

TEST_F(ConfirmationLinkSimTest, NewLinkCarriesTheAppointmentAndTheHoursLeftToCancel) {
  auto rec = Line("17/05/2025", "09.30");
  rec.link_exist = true;  // left over from an earlier line
  const std::string url = Links().OttieniLink(rec);

  EXPECT_EQ(url, sim_.base_url() + "/c/C1001");
  EXPECT_EQ(rec.id_web, "C1001");
  EXPECT_EQ(rec.link_conferma, url);
  EXPECT_FALSE(rec.link_exist);

  const json requests = Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].at("method"), "POST");
  EXPECT_EQ(Header(requests[0], "Authorization"), kApiKey);
  EXPECT_EQ(Header(requests[0], "Content-Type"), "application/json");
  EXPECT_EQ(json::parse(BodyBytes(requests[0])), (json{{"user", "studio"},
                                                       {"pwd", kPassword},
                                                       {"data_appuntamento", "2025-05-17 09:30:00"},
                                                       {"id_agenda", "A=AGENDA1=3"},
                                                       {"ore_disdetta", 15}}));

  // The address given to the patient opens the appointment's page.
  net::HttpRequest page;
  page.method = "GET";
  page.url = url;
  const auto response = control_.Send(page);
  EXPECT_EQ(response.status, 200);
  EXPECT_NE(response.body.find("2025-05-17 09:30:00"), std::string::npos);
}

TEST_F(ConfirmationLinkSimTest, NoDeadlineSettingSendsNoOreDisdetta) {
  config.account.ore_disdetta = 0;
  auto rec = Line();
  EXPECT_FALSE(Links().OttieniLink(rec).empty());
  const json sent = json::parse(BodyBytes(Requests().at(0)));
  EXPECT_FALSE(sent.contains("ore_disdetta"));
  EXPECT_TRUE(Created().at(0).at("ore_disdetta").is_null());
}

TEST_F(ConfirmationLinkSimTest, ColonAndDotTimesReachTheServiceAlikeAndBadTimesAskNothing) {
  auto colon = Line("17/05/2025", "09:30");
  auto dot = Line("17/05/2025", "09.30");
  Links().OttieniLink(colon);
  links_->OttieniLink(dot);
  EXPECT_EQ(colon.Ora, "09.30");
  const json created = Created();
  ASSERT_EQ(created.size(), 2u);
  EXPECT_EQ(created[0].at("data_appuntamento"), "2025-05-17 09:30:00");
  EXPECT_EQ(created[1].at("data_appuntamento"), "2025-05-17 09:30:00");

  auto bad = Line("17/05/2025", "nove e mezza");
  EXPECT_THROW(links_->OttieniLink(bad), ChannelError);
  EXPECT_TRUE(bad.id_web.empty());
  EXPECT_EQ(Requests().size(), 2u);
}

TEST_F(ConfirmationLinkSimTest, NonAsciiAgendaReferenceTravelsAsEscapes) {
  const std::string id = "A=CITT\xC3\x80=3";  // CITTÀ
  auto rec = Line("17/05/2025", "09.30", id);
  EXPECT_FALSE(Links().OttieniLink(rec).empty());

  const std::string body = BodyBytes(Requests().at(0));
  EXPECT_TRUE(std::all_of(body.begin(), body.end(),
                          [](char c) { return static_cast<unsigned char>(c) < 0x80; }));
  EXPECT_NE(body.find("\\u00c0"), std::string::npos);
  EXPECT_EQ(Created().at(0).at("id_agenda"), id);
}

// --- no request at all ----------------------------------------------------

TEST_F(ConfirmationLinkSimTest, StoredLinkIsReusedInsteadOfRequestedAgain) {
  std::vector<std::string> looked_up;
  auto& links = Links([&](practice::TLineRec& rec) {
    looked_up.push_back(rec.id_agenda);
    if (rec.id_agenda != "A=AGENDA1=3") return;
    rec.id_web = "X77";
    rec.link_conferma = "https://link.example/c/X77";
    rec.link_exist = true;
  });
  auto stored = Line();
  EXPECT_EQ(links.OttieniLink(stored), "https://link.example/c/X77");
  EXPECT_TRUE(stored.link_exist);
  EXPECT_TRUE(Requests().empty());

  // Nothing stored for this one: the lookup runs and then the service is asked.
  auto other = Line("17/05/2025", "10.00", "A=AGENDA1=4");
  EXPECT_EQ(links.OttieniLink(other), sim_.base_url() + "/c/C1001");
  EXPECT_FALSE(other.link_exist);
  EXPECT_EQ(looked_up, (std::vector<std::string>{"A=AGENDA1=3", "A=AGENDA1=4"}));
  EXPECT_EQ(Requests().size(), 1u);
}

TEST_F(ConfirmationLinkSimTest, SameLinesReuseTheLinkOfTheLineBefore) {
  int lookups = 0;
  auto& links = Links([&](practice::TLineRec&) { ++lookups; });
  auto first = Line();
  auto same = Line("17/05/2025", "09.30", "same");
  same.link_conferma = links.OttieniLink(first);
  EXPECT_EQ(links.OttieniLink(same), first.link_conferma);

  // Even when the line before got no link.
  auto orphan = Line("17/05/2025", "09.30", "same");
  EXPECT_EQ(links.OttieniLink(orphan), "");
  EXPECT_EQ(lookups, 1);
  EXPECT_EQ(Requests().size(), 1u);
}

TEST_F(ConfirmationLinkSimTest, LinesWithoutDateTimeOrAgendaGetNoLinkAndLoseStaleOnes) {
  int lookups = 0;
  auto& links = Links([&](practice::TLineRec&) { ++lookups; });
  for (auto rec : {Line("", "09.30"), Line("17/05/2025", ""), Line("17/05/2025", "09.30", "")}) {
    rec.id_web = "OLD";
    rec.link_conferma = "https://link.example/c/OLD";
    EXPECT_EQ(links.OttieniLink(rec), "");
    EXPECT_EQ(rec.id_web, "");
    EXPECT_EQ(rec.link_conferma, "");
  }
  EXPECT_EQ(lookups, 0);
  EXPECT_TRUE(Requests().empty());
}

// --- refusals and failures ------------------------------------------------

TEST_F(ConfirmationLinkSimTest, RefusedRequestGivesNoLinkAndNoError) {
  config.account.pwd = "sbagliata";
  auto wrong_password = Line();
  EXPECT_EQ(Links().OttieniLink(wrong_password), "");
  EXPECT_TRUE(wrong_password.id_web.empty());

  config.account.pwd = kPassword;
  config.link_service.api_key = "chiave-sbagliata";
  auto wrong_key = Line();
  EXPECT_EQ(Links().OttieniLink(wrong_key), "");
  EXPECT_TRUE(Created().empty());
}

TEST_F(ConfirmationLinkSimTest, ServiceDownIsAnErrorForTheCallerAndALogLine) {
  const std::string expected = "Errore del server 127.0.0.1:" + std::to_string(sim_.port());
  for (const std::string kind : {"http500", "nonjson", "empty", "refuse"}) {
    Control("DELETE", "/_sim/faults");
    ArmFault(kind);
    auto rec = Line();
    try {
      Links().OttieniLink(rec);
      ADD_FAILURE() << kind << ": no error";
    } catch (const GatewayReplyError& e) {
      EXPECT_EQ(std::string(e.what()), expected) << kind;
    }
    EXPECT_TRUE(rec.id_web.empty()) << kind;
    EXPECT_TRUE(rec.link_conferma.empty()) << kind;
  }

  config.link_service.base_url = "http://127.0.0.1:1";  // nothing listens there
  auto unreachable = Line();
  EXPECT_THROW(Links().OttieniLink(unreachable), GatewayReplyError);

  const std::string log = LogText();
  EXPECT_NE(log.find("Servizio link di conferma: risposta non leggibile (HTTP 500)"),
            std::string::npos);
  EXPECT_NE(log.find("Servizio link di conferma: risposta vuota (HTTP 200)"), std::string::npos);
  EXPECT_NE(log.find("127.0.0.1:1"), std::string::npos);
  EXPECT_EQ(log.find(kPassword), std::string::npos);
  EXPECT_EQ(log.find(kApiKey), std::string::npos);
}

TEST_F(ConfirmationLinkSimTest, AcceptedReplyWithoutTheLinkIsAnError) {
  ArmFault("http500", R"({"codice":1,"dati":{"ConfermaAppuntamenti":{"url":"https://x/c/"}}})");
  auto rec = Line();
  EXPECT_THROW(Links().OttieniLink(rec), GatewayReplyError);
  EXPECT_TRUE(rec.id_web.empty());
  EXPECT_TRUE(rec.link_conferma.empty());
}

// --- the simulated service itself -------------------------------------------

TEST_F(ConfirmationLinkSimTest, SimulatedServiceRefusesWhatTheRealOneWould) {
  auto post = [&](const std::string& body) {
    net::HttpRequest request;
    request.url = sim_.base_url() + kCreate;
    request.headers = {{"Authorization", kApiKey}, {"Content-Type", "application/json"}};
    request.body = body;
    const auto response = control_.Send(request);
    return std::make_pair(static_cast<int>(response.status),
                          json::parse(response.body).at("codice").get<int>());
  };
  json good = {{"user", "studio"},
               {"pwd", kPassword},
               {"data_appuntamento", "2025-05-17 09:30:00"},
               {"id_agenda", "A=AGENDA1=3"}};
  auto with = [&](const json& patch) {
    json changed = good;
    changed.update(patch);
    return changed.dump();  // accented letters stay raw UTF-8
  };
  EXPECT_EQ(post(good.dump()), std::make_pair(200, 1));
  EXPECT_EQ(post(with({{"id_agenda", "CITT\xC3\x80"}})), std::make_pair(400, 0));
  EXPECT_EQ(post(with({{"user", "nessuno"}})), std::make_pair(200, 2));
  EXPECT_EQ(post(with({{"data_appuntamento", "17/05/2025 09.30"}})), std::make_pair(200, 0));
  EXPECT_EQ(post(with({{"ore_disdetta", "15"}})), std::make_pair(400, 0));

  net::HttpRequest page;
  page.method = "GET";
  page.url = sim_.base_url() + "/c/NESSUNO";
  EXPECT_EQ(control_.Send(page).status, 404);
}

}  // namespace
}  // namespace oxsms::channels
