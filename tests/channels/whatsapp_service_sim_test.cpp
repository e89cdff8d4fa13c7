// The simulated WhatsApp template service itself: what it refuses before
// looking at the account, and templates added through its control API.
#include <gtest/gtest.h>

#include "channels/channel_error.h"
#include "whatsapp_harness.h"

namespace oxsms::channels {
namespace {

using nlohmann::json;
using testing::kApiKey;
using testing::WhatsAppHarness;

class WhatsAppServiceTest : public ::testing::Test, protected WhatsAppHarness {
 protected:
  net::HttpResponse Post(const std::string& path, const std::string& body,
                         const std::string& key = kApiKey) {
    net::HttpRequest request;
    request.url = sim_.base_url() + path;
    request.headers = {{"Authorization", key}, {"Content-Type", "application/json"}};
    request.body = body;
    return raw_.Send(request);
  }
  static std::string Request(const std::string& destinatario) {
    return json{{"sigla_template", "PROMEMORIA"},
                {"mittente", testing::kSender},
                {"count_msg", 1},
                {"bool_conferma_invio", true},
                {"variabili_globali", {{"dati_studio", ""}, {"indirizzo_studio", ""}}},
                {"variabili", json::array({{{"destinatario", destinatario}, {"testo_libero", ""}}})},
                {"user", "demo"},
                {"pwd", "demo"}}
        .dump();
  }

  net::CurlHttpClient raw_;
};

TEST_F(WhatsAppServiceTest, RefusesWrongKeyNonAsciiBodyAndMalformedRequests) {
  const auto no_key = Post(kInviaTemplatePath, Request("+393331234567"), "altra-chiave");
  EXPECT_EQ(no_key.status, 401);
  EXPECT_EQ(json::parse(no_key.body)["codice"], 0);

  // "città" written as UTF-8 bytes instead of a \u escape.
  std::string accented = Request("+393331234567");
  accented.replace(accented.find("PROMEMORIA"), 10, "citt\xC3\xA0");
  EXPECT_EQ(Post(kInviaTemplatePath, accented).status, 400);

  json no_text = json::parse(Request("+393331234567"));
  no_text["variabili"][0].erase("testo_libero");
  EXPECT_EQ(Post(kInviaTemplatePath, no_text.dump()).status, 400);

  const auto bad_number = Post(kInviaTemplatePath, Request("333-abc"));
  EXPECT_EQ(bad_number.status, 200);
  EXPECT_EQ(json::parse(bad_number.body)["message"], "Destinatario non valido: 333-abc");

  EXPECT_TRUE(Messages().empty());
  EXPECT_EQ(SimCredit(), 1000);
}

TEST_F(WhatsAppServiceTest, TemplatesAddedThroughControlBelongToTheirAccount) {
  SimPost("/_sim/accounts", {{"user", "altro"}, {"pwd", "altro"}, {"idcliente", 2002}, {"credit", 10}});
  SimPost("/_sim/whatsapp/templates",
          {{"user", "altro"}, {"sigla", "RICHIAMO"}, {"variabili", {"nome"}}});

  host.account = SmsAccount{"altro", "altro", "", 0};
  wa_host.settings.TemplaTeInvioWhts = "RICHIAMO";
  host.lists.listCell = {"Rossi,Mario,3331234567"};
  Client().MultiSendWhtsB(host.lists.listCell);
  EXPECT_EQ(Messages().at(0)["sigla_template"], "RICHIAMO");
  EXPECT_EQ(SimCredit("altro"), 9);

  // The demo account does not have it.
  host.account = SmsAccount{"demo", "demo", "", 0};
  EXPECT_EQ(testing::ErrorOf<ChannelError>([&] { Client().MultiSendWhtsB(host.lists.listCell); }),
            "Errore di invio template Template sconosciuto: RICHIAMO");
}

}  // namespace
}  // namespace oxsms::channels
