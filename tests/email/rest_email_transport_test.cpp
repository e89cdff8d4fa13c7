// The REST email transport against the simulated email service over HTTP:
// the request members, the second address, attachments, refusals, and the
// choice of the endpoint.
#include "email/rest_email_transport.h"

#include <gtest/gtest.h>

#include <map>

#include "email/email_error.h"
#include "net/maker_rest.h"
#include "net/reachability.h"
#include "platform/base64.h"
#include "support/temp_dir.h"
#include "tools/maker-sim/sim_fixture.h"

namespace oxsms::email {
namespace {

using nlohmann::json;

constexpr const char* kPath = "/invio_email/invia_messaggio_email.json";
// Nothing listens on port 1 of the loopback: a connection is refused at once.
const std::string kClosed = "127.0.0.1:1";

class RestEmailTransportTest : public testing::SimFixture {
 protected:
  RestEmailEndpoints Endpoints() {
    return {sim_.base_url(), net::HostOf(sim_.base_url()), "http://" + kClosed,
            makersim::MakerSimulator::DefaultState()["api_key"].get<std::string>()};
  }
  // The real probe, counting the hosts it was asked about.
  ReachabilityProbe CountingProbe() {
    return [this](const std::string& host) {
      ++probed_[host];
      return net::CanConnect(host, std::chrono::milliseconds(500));
    };
  }
  RestEmailTransport Transport(RestEmailEndpoints endpoints) {
    return RestEmailTransport(client_, std::move(endpoints), CountingProbe());
  }
  static EmailSettings Settings() {
    EmailSettings settings;
    settings.DaEmail = "studio@rossi.it";
    settings.DaNome = "Studio Rossi";
    settings.Firma = "Dott. Rossi\r\nVia Roma 1";
    settings.EmailBCC = "archivio@rossi.it";
    return settings;
  }
  static EmailMessage Message() {
    EmailMessage message;
    message.subject = "Promemoria di luned\xC3\xAC";
    message.html_body = "Gentile Mario,<br>a domani.";
    message.to = {{"mario@example.it", "Mario Bianchi"}};
    return message;
  }
  json Requests() { return Control("GET", "/_sim/requests?path=" + std::string(kPath)); }
  json Emails() { return Control("GET", "/_sim/emails"); }

  std::map<std::string, int> probed_;
};

TEST_F(RestEmailTransportTest, SendsTheMembersOfTheServiceWithTheKey) {
  EmailMessage message = Message();
  message.cc = {{"anna@example.it", "Anna"}};
  message.to.push_back({"luca@example.it", "Luca Verdi"});
  Transport(Endpoints()).Deliver(message, Settings());

  const json requests = Requests();
  ASSERT_EQ(requests.size(), 2u);
  json first = json::parse(requests[0]["body"].get<std::string>());
  EXPECT_EQ(first["email_mittente"], "studio@rossi.it");
  EXPECT_EQ(first["nominativo_mittente"], "Studio Rossi");
  EXPECT_EQ(first["email_destinatario"], "mario@example.it;anna@example.it");
  EXPECT_EQ(first["nominativo_destinatario"], "Mario Bianchi;Mario Bianchi");
  EXPECT_EQ(first["email_bcc"], "archivio@rossi.it");
  EXPECT_EQ(first["file_allegati"], "");
  EXPECT_EQ(first["oggetto"], platform::EncodeBase64Mime("Promemoria di luned\xC3\xAC"));
  EXPECT_EQ(platform::DecodeBase64(first["body"].get<std::string>()),
            "Gentile Mario,<br>a domani.<p>Dott. Rossi<br>Via Roma 1</p>");
  json second = json::parse(requests[1]["body"].get<std::string>());
  EXPECT_EQ(second["email_destinatario"], "luca@example.it");
  EXPECT_EQ(second["nominativo_destinatario"], "Luca Verdi");
  EXPECT_EQ(requests[0]["headers"].value("Authorization", ""), Endpoints().api_key);
  ASSERT_EQ(Emails().size(), 2u);
  EXPECT_EQ(Emails()[0]["oggetto"], "Promemoria di luned\xC3\xAC");
}

TEST_F(RestEmailTransportTest, AttachmentsAreNumberedFromTheSecondAndStopAtAnUnreadableOne) {
  testing::TempDir dir;
  testing::WriteFile(dir / "a.txt", "primo");
  testing::WriteFile(dir / "b.bin", std::string("\0\xFF", 2));
  testing::WriteFile(dir / "c.txt", "terzo");
  EmailMessage message = Message();
  message.attachments = {(dir / "a.txt").string(), (dir / "b.bin").string(), (dir / "c.txt").string()};
  auto transport = Transport(Endpoints());
  transport.Deliver(message, Settings());

  json body = json::parse(Requests()[0]["body"].get<std::string>());
  EXPECT_EQ(body["file_allegati_nome_base64"], "a.txt");
  EXPECT_EQ(body["file_allegati_nome_base64_1"], "b.bin");
  EXPECT_EQ(body["file_allegati_nome_base64_2"], "c.txt");
  EXPECT_EQ(platform::DecodeBase64(body["file_allegati_base64_1"].get<std::string>()), std::string("\0\xFF", 2));
  EXPECT_EQ(body["file_allegati"], (dir / "a.txt").string() + "\r\n" + (dir / "b.bin").string() + "\r\n" +
                                       (dir / "c.txt").string());
  const json files = Emails()[0]["allegati"];
  ASSERT_EQ(files.size(), 3u);
  EXPECT_EQ(files[2]["contenuto"], "terzo");

  message.attachments = {(dir / "a.txt").string(), (dir / "missing.txt").string(), (dir / "c.txt").string()};
  transport.Deliver(message, Settings());
  body = json::parse(Requests()[1]["body"].get<std::string>());
  EXPECT_TRUE(body.contains("file_allegati_base64"));
  EXPECT_FALSE(body.contains("file_allegati_base64_1"));
  EXPECT_FALSE(body.contains("file_allegati_base64_2"));
}

TEST_F(RestEmailTransportTest, RefusalsAndBrokenRepliesAreFailures) {
  auto transport = Transport(Endpoints());
  Control("POST", "/_sim/faults", {{"path", kPath}, {"kind", "reply"}, {"times", 1},
                                   {"message", R"({"codice":11,"response_message":"Casella inesistente"})"}});
  try {
    transport.Deliver(Message(), Settings());
    FAIL() << "codice 11 taken as sent";
  } catch (const EmailDeliveryError& e) {
    EXPECT_FALSE(e.transient());
    EXPECT_NE(std::string(e.what()).find("Casella inesistente"), std::string::npos) << e.what();
  }
  Control("POST", "/_sim/faults", {{"path", kPath}, {"kind", "reply"}, {"times", 1},
                                   {"message", R"({"codice":10})"}});
  EXPECT_NO_THROW(transport.Deliver(Message(), Settings()));
  for (const char* kind : {"http500", "nonjson", "refuse"}) {
    Control("POST", "/_sim/faults", {{"path", kPath}, {"kind", kind}, {"times", 1}});
    try {
      transport.Deliver(Message(), Settings());
      ADD_FAILURE() << kind << " taken as sent";
    } catch (const EmailDeliveryError& e) {
      EXPECT_TRUE(e.transient()) << kind << ": " << e.what();
    }
  }
  EXPECT_TRUE(Emails().empty());
}

TEST_F(RestEmailTransportTest, TheFallbackIsChosenOnceAndKept) {
  RestEmailEndpoints endpoints = Endpoints();
  endpoints.fallback_url = endpoints.primary_url;
  endpoints.primary_url = "http://" + kClosed;
  endpoints.primary_probe_host = kClosed;
  auto transport = Transport(endpoints);
  transport.Deliver(Message(), Settings());
  transport.Deliver(Message(), Settings());

  EXPECT_EQ(Emails().size(), 2u);
  EXPECT_EQ(transport.current_url(), sim_.base_url());
  EXPECT_EQ(probed_[kClosed], 1);
  EXPECT_EQ(probed_[net::HostOf(sim_.base_url())], 2);
}

TEST_F(RestEmailTransportTest, NoEndpointAnsweringIsATransientFailureNamingTheHost) {
  RestEmailEndpoints endpoints = Endpoints();
  endpoints.primary_url = "http://" + kClosed;
  endpoints.primary_probe_host = kClosed;
  endpoints.fallback_url = "http://127.0.0.1:2";
  try {
    Transport(endpoints).Deliver(Message(), Settings());
    FAIL() << "delivered with no endpoint";
  } catch (const EmailDeliveryError& e) {
    EXPECT_TRUE(e.transient());
    EXPECT_STREQ(e.what(), "Server velk 127.0.0.1:2 non raggiungibile");
  }
  EXPECT_TRUE(Requests().empty());
}

TEST_F(RestEmailTransportTest, AMissingSenderSendsNothing) {
  EmailSettings settings = Settings();
  settings.DaEmail.clear();
  try {
    Transport(Endpoints()).Deliver(Message(), settings);
    FAIL();
  } catch (const EmailDeliveryError& e) {
    FAIL() << "not a delivery failure: " << e.what();
  } catch (const EmailError& e) {
    EXPECT_NE(std::string(e.what()).find("mittente"), std::string::npos);
  }
  EXPECT_TRUE(Requests().empty());
}

}  // namespace
}  // namespace oxsms::email
