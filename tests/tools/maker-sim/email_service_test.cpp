// The simulated REST email service: the key, decoding of subject, body and
// numbered attachments, refused recipients, what /_sim/emails shows.
#include "maker-sim/sim_core.h"
#include "platform/base64.h"
#include "tools/maker-sim/sim_fixture.h"

namespace oxsms::testing {
namespace {

using nlohmann::json;

constexpr const char* kPath = "/invio_email/invia_messaggio_email.json";

class EmailServiceTest : public SimFixture {
 protected:
  json Send(const json& request, const std::string& key = makersim::SimCore::kDefaultApiKey,
            long* status = nullptr) {
    net::HttpResponse response =
        Post(kPath, request.dump(-1, ' ', true), {{"Authorization", key}, {"Content-Type", "application/json"}});
    if (status != nullptr) *status = response.status;
    return json::parse(response.body, nullptr, false);
  }
  static json Request() {
    return {{"email_mittente", "studio@rossi.it"},
            {"nominativo_mittente", "Studio Rossi"},
            {"oggetto", platform::EncodeBase64Mime("Promemoria di luned\xC3\xAC")},
            {"body", platform::EncodeBase64Mime("<p>Ciao</p>")},
            {"email_destinatario", "mario@example.it;anna@example.it"},
            {"nominativo_destinatario", "Mario;Mario"},
            {"email_bcc", ""},
            {"file_allegati", ""}};
  }
};

TEST_F(EmailServiceTest, RecordsDecodedTextsAndNumberedAttachments) {
  json request = Request();
  request["file_allegati_base64"] = platform::EncodeBase64Mime("uno");
  request["file_allegati_nome_base64"] = "a.txt";
  request["file_allegati_base64_1"] = platform::EncodeBase64Mime(std::string("\0\xFF", 2));
  request["file_allegati_nome_base64_1"] = "b.bin";
  request["file_allegati_base64_3"] = platform::EncodeBase64Mime("orfano");  // after a gap: not read
  json reply = Send(request);
  EXPECT_EQ(reply["codice"], 1);

  const json emails = Control("GET", "/_sim/emails");
  ASSERT_EQ(emails.size(), 1u);
  EXPECT_EQ(emails[0]["oggetto"], "Promemoria di luned\xC3\xAC");
  EXPECT_EQ(emails[0]["body"], "<p>Ciao</p>");
  EXPECT_EQ(emails[0]["email_destinatario"], "mario@example.it;anna@example.it");
  ASSERT_EQ(emails[0]["allegati"].size(), 2u);
  EXPECT_EQ(emails[0]["allegati"][0]["contenuto"], "uno");
  EXPECT_EQ(emails[0]["allegati"][1]["nome"], "b.bin");
  EXPECT_EQ(emails[0]["allegati"][1]["size"], 2);
}

TEST_F(EmailServiceTest, RefusesAWrongKeyBadBase64AndRefusedRecipients) {
  long status = 0;
  EXPECT_EQ(Send(Request(), "chiave-sbagliata", &status)["codice"], 0);
  EXPECT_EQ(status, 401);

  json bad = Request();
  bad["oggetto"] = "non base64!";
  EXPECT_EQ(Send(bad, makersim::SimCore::kDefaultApiKey, &status)["codice"], 0);
  EXPECT_EQ(status, 400);

  Control("POST", "/_sim/state", {{"email", {{"refused_recipients", {"mario@example.it"}}}}});
  json reply = Send(Request(), makersim::SimCore::kDefaultApiKey, &status);
  EXPECT_EQ(status, 200);
  EXPECT_EQ(reply["codice"], 11);
  EXPECT_TRUE(Control("GET", "/_sim/emails").empty());
  EXPECT_EQ(Control("GET", "/_sim/state")["email"]["refused_recipients"][0], "mario@example.it");

  Control("POST", "/_sim/reset");
  EXPECT_EQ(Send(Request())["codice"], 1);
}

}  // namespace
}  // namespace oxsms::testing
