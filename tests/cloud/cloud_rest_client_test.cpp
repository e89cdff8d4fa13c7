// The cloud REST client: which credentials a call carries, where it goes,
// and what each reply code does to the reply, the session and the process.
#include <gtest/gtest.h>

#include "cloud/cloud_error.h"
#include "cloud_test_world.h"
#include "platform/ini_file.h"
#include "practice/credential_protection.h"

namespace oxsms::cloud {
namespace {

using nlohmann::json;

class CloudRestClientTest : public ::testing::Test, protected CloudWorld {
 protected:
  json Call(const std::string& path = "x.json", bool authenticate = true) {
    json request = {{"a", 1}};
    json reply = "untouched";
    Client().ChiamataRestCloud(path, request, authenticate, reply, false);
    return reply;
  }
};

TEST_F(CloudRestClientTest, CredentialsComeFromTheRememberedAccountOrProvaNube) {
  // "prova_nube" goes without a prompt, with the stored password as it is,
  // remembered or not.
  session.user = "prova_nube";
  session.password = "p\xC3\xA0ss";
  http.Queue({{"codice", 1}});
  EXPECT_EQ(Call(), json({{"codice", 1}}));
  EXPECT_EQ(prompts.logins_asked, 0);
  EXPECT_EQ(Decoded(http.Body(0), "user_cloud_b64"), "prova_nube");
  EXPECT_EQ(Decoded(http.Body(0), "pwd_cloud_b64"), "p\xC3\xA0ss");

  RememberedAccount("anna", "pw");
  http.Queue({{"codice", 1}});
  Call();
  EXPECT_EQ(prompts.logins_asked, 0);
  EXPECT_EQ(Decoded(http.Body(1), "user_cloud_b64"), "anna");

  // A call without authentication carries no credentials.
  http.Queue({{"codice", 1}});
  Call("x.json", false);
  EXPECT_FALSE(http.Body(2).contains("user_cloud_b64"));
}

TEST_F(CloudRestClientTest, AnAccountNotRememberedNeedsALoginThatNobodyGives) {
  session.user = "anna";
  session.password = "pw";
  EXPECT_EQ(Call(), "untouched");
  EXPECT_TRUE(http.sent.empty());
  EXPECT_EQ(prompts.logins_asked, 1);

  // A login given is used, and the account kept for config.ini.
  testing::WriteFile(dir / "config.ini", "[Database]\nprotocollo=4\n");
  prompts.logins.push_back({"bruno", "pw2", true});
  http.Queue({{"codice", 1}});
  Call();
  ASSERT_EQ(http.sent.size(), 1u);
  EXPECT_EQ(Decoded(http.Body(0), "user_cloud_b64"), "bruno");
  const platform::IniFile ini(dir / "config.ini");
  const json stored =
      json::parse(practice::DecriptaHex(cipher, ini.ReadString("Database", "cloud_param", "")));
  EXPECT_EQ(stored, json({{"user", "bruno"}, {"pwd", "pw2"}, {"login", true}}));
}

TEST_F(CloudRestClientTest, HeadlessPromptsCancelAndSayWhy) {
  HeadlessCloudPrompts headless(log);
  EXPECT_FALSE(headless.AskCredentials({"anna", "configurazioni_cloud/show.json", false, true}));
  EXPECT_FALSE(headless.VerifySecurity({"anna", "p", false, false}, "{\"sms\":true}"));
  EXPECT_FALSE(headless.SetUpSecurity({"anna", "p", false, false}));
  const std::string text = Log();
  EXPECT_NE(text.find("Credenziali cloud richieste (lettura della configurazione, "
                      "configurazioni_cloud/show.json) per l'account anna: nessun operatore "
                      "presente, accesso annullato"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("verifica annullata"), std::string::npos);
  EXPECT_NE(text.find("impostazione annullata"), std::string::npos);
}

TEST_F(CloudRestClientTest, AddressesHeadersAndIdentifier) {
  RememberedAccount("anna", "pw");
  http.Queue({{"codice", 1}});
  http.Queue({{"codice", 1}});
  Call("configurazioni_cloud/show.json");
  Call("http://other.example.it:8080/abs.json");
  EXPECT_EQ(http.sent[0].url, "https://cloud.example.it/configurazioni_cloud/show.json");
  EXPECT_EQ(http.sent[1].url, "http://other.example.it:8080/abs.json");
  EXPECT_EQ(probed.front(), "cloud.example.it:443");
  const auto& headers = http.sent[0].headers;
  EXPECT_NE(std::find(headers.begin(), headers.end(),
                      std::pair<std::string, std::string>{"Authorization", "the-key"}),
            headers.end());
  EXPECT_NE(std::find(headers.begin(), headers.end(),
                      std::pair<std::string, std::string>{"Content-Type", "application/json"}),
            headers.end());
  EXPECT_EQ(http.Body(0).at("a"), 1);
  // The device has no identifier of its own; an administrator sends none.
  EXPECT_EQ(http.Body(0).at("identifier"), "");
  session.administrator = true;
  http.Queue({{"codice", 1}});
  Call();
  EXPECT_FALSE(http.Body(2).contains("identifier"));
}

TEST_F(CloudRestClientTest, ProbeHostsAndBaseUrls) {
  EXPECT_EQ(CloudProbeHost("https://cloud.example.it"), "cloud.example.it:443");
  EXPECT_EQ(CloudProbeHost("http://127.0.0.1:8123/"), "127.0.0.1:8123");
  EXPECT_EQ(CloudProbeHost("http://h"), "h:80");
  EXPECT_EQ(CloudProbeHost("https://[::1]"), "[::1]:443");
  EXPECT_EQ(CloudProbeHost(""), "");
  EXPECT_EQ(CloudBaseUrl("http://h:1//"), "http://h:1/");
  EXPECT_EQ(CloudBaseUrl(""), "");
}

TEST_F(CloudRestClientTest, NoCallWhenTheCloudIsUnreachableOrNotConfigured) {
  RememberedAccount("anna", "pw");
  reachable = false;
  EXPECT_EQ(Call(), "untouched");
  EXPECT_TRUE(http.sent.empty());
  EXPECT_NE(Log().find("Servizio cloud cloud.example.it:443 non raggiungibile"), std::string::npos);

  CloudWorld unconfigured;
  unconfigured.endpoint.base_address = "";
  json request = json::object(), reply = "untouched";
  unconfigured.Client().ChiamataRestCloud("x.json", request, false, reply, false);
  EXPECT_EQ(reply, "untouched");
  EXPECT_TRUE(unconfigured.probed.empty());
}

TEST_F(CloudRestClientTest, EmptyOrUnparsableRepliesRaise) {
  RememberedAccount("anna", "pw");
  http.replies.push_back("");
  try {
    Call();
    FAIL() << "an empty reply was accepted";
  } catch (const CloudError& e) {
    EXPECT_STREQ(e.what(), "errore del server Cloud");
  }
  http.replies.push_back("<html>down</html>");
  EXPECT_THROW(Call(), CloudError);
}

TEST_F(CloudRestClientTest, ErrorCodesAreLoggedWithoutSecretsAnd18ClearsTheReply) {
  RememberedAccount("anna", "pw");
  http.Queue({{"codice", 18}, {"response_message", "Account sospeso"}, {"pwd_db", "s3cr3t"}});
  EXPECT_TRUE(Call().is_null());
  http.Queue({{"codice", 12}, {"response_message", "Altro"}});
  EXPECT_EQ(Call().at("codice"), 12);  // kept for the caller
  http.Queue({{"codice", 0}, {"dati", {{"user_db", "u"}, {"pwd_db", "s3cr3t"}}}});
  EXPECT_EQ(Call().at("codice"), 0);
  http.Queue({{"codice", 5}});
  EXPECT_EQ(Call().at("codice"), 5);  // 2 to 10: no handling
  const std::string text = Log();
  EXPECT_NE(text.find("codice 18: Account sospeso"), std::string::npos) << text;
  EXPECT_EQ(text.find("s3cr3t"), std::string::npos) << text;
  EXPECT_NE(text.find("\"user_db\":\"u\""), std::string::npos) << text;
}

TEST(MaskedReplyTest, SecretsAreMaskedAtAnyDepthAndDeepNestingIsCut) {
  EXPECT_EQ(MaskedReply({{"a", {{"Pwd_Db", "x"}, {"list", {{{"token", 5}}}}}}}),
            R"({"a":{"Pwd_Db":"***","list":[{"token":"***"}]}})");
  // A hostile nesting is neither copied nor written whole.
  std::string deep(200000, '[');
  deep += std::string(200000, ']');
  const std::string masked = MaskedReply(json::parse(deep));
  EXPECT_LT(masked.size(), 100u);
  EXPECT_NE(masked.find("[...]"), std::string::npos);
}

TEST_F(CloudRestClientTest, RejectedCredentialsNeverEndTheProcess) {
  RememberedAccount("anna", "wrong");
  for (int i = 0; i < 4; ++i) http.Queue({{"codice", 17}, {"response_message", "No"}});
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(Call().is_null()) << i;
  EXPECT_EQ(session.failures, 3);
  EXPECT_TRUE(session.attempts_exhausted);
  EXPECT_EQ(prompts.logins_asked, 3);  // one re-login asked per counted rejection
  EXPECT_NE(Log().find("Tentativi di accesso terminati"), std::string::npos);

  // No authenticated call goes out again in this process; others still do.
  EXPECT_EQ(Call(), "untouched");
  EXPECT_EQ(http.sent.size(), 4u);
  http.Queue({{"codice", 1}});
  EXPECT_EQ(Call("x.json", false).at("codice"), 1);
}

TEST_F(CloudRestClientTest, ARejectionFollowedByANewLoginRetriesAndStoresIt) {
  testing::WriteFile(dir / "config.ini", "[Database]\nprotocollo=4\n");
  RememberedAccount("anna", "old");
  prompts.logins.push_back({"anna", "new", false});
  http.Queue({{"codice", 17}, {"response_message", "Password scaduta"}});
  http.Queue({{"codice", 1}, {"dati", "ok"}});
  EXPECT_EQ(Call().at("dati"), "ok");
  ASSERT_EQ(http.sent.size(), 2u);
  EXPECT_EQ(Decoded(http.Body(1), "pwd_cloud_b64"), "new");
  EXPECT_EQ(prompts.logins_asked, 1);  // the confirmed login is not asked again
  const platform::IniFile ini(dir / "config.ini");
  EXPECT_NE(
      practice::DecriptaHex(cipher, ini.ReadString("Database", "cloud_param", "")).find("new"),
      std::string::npos);
}

TEST_F(CloudRestClientTest, SecurityStepsRetryOnlyWhenCompleted) {
  RememberedAccount("anna", "pw");
  http.Queue({{"codice", 41}, {"response_message", "Verifica"}});
  http.Queue({{"codice", 1}, {"dati", {{"sms", true}}}});  // the protections asked
  EXPECT_EQ(Call().at("codice"), 41);  // refused: the rejecting reply is returned
  EXPECT_EQ(prompts.seen_protections, "{\"sms\":true}");
  EXPECT_EQ(http.sent[1].url,
            "https://cloud.example.it/account_cloud/verifica_protezioni_abilitate.json");
  EXPECT_NE(Log().find("Sicurezza CLOUD non definita. Il CLOUD viene disabilitato"),
            std::string::npos);

  prompts.security_answer = true;
  http.Queue({{"codice", 21}});
  http.Queue({{"codice", 1}, {"dati", "ok"}});
  EXPECT_EQ(Call().at("dati"), "ok");
  EXPECT_EQ(Decoded(http.Body(3), "user_cloud_b64"), "anna");

  // A service that keeps asking is not followed for ever.
  for (int i = 0; i < 10; ++i) http.Queue({{"codice", 21}});
  EXPECT_EQ(Call().at("codice"), 21);
  EXPECT_LE(http.sent.size(), 4u + 1 + CloudRestClient::kMaxRetries);
}

TEST(CloudParamTest, UpdatesOnlyWhatChanged) {
  EXPECT_EQ(UpdatedCloudParam("", "u", "p"), R"({"login":true,"pwd":"p","user":"u"})");
  EXPECT_EQ(UpdatedCloudParam(R"({"user":"u","pwd":"p"})", "u", "p"), std::nullopt);
  EXPECT_EQ(UpdatedCloudParam(R"({"user":"u","pwd":"p","login":false})", "u", "q"),
            R"({"login":false,"pwd":"q","user":"u"})");
  EXPECT_EQ(UpdatedCloudParam("not json", "u", "p"), std::nullopt);
}

TEST_F(CloudRestClientTest, CredentialsReachConfigIniOnlyForACloudConnection) {
  testing::WriteFile(dir / "config.ini", "[Database]\nprotocollo=0\n");
  store.Save("anna", "pw");
  EXPECT_FALSE(platform::IniFile(dir / "config.ini").ValueExists("Database", "cloud_param"));
  testing::WriteFile(dir / "config.ini", "[Database]\nprotocollo=4\n");
  store.Save("anna", "pw");
  EXPECT_TRUE(platform::IniFile(dir / "config.ini").ValueExists("Database", "cloud_param"));
  EXPECT_EQ(Log().find("pw\""), std::string::npos);
}

}  // namespace
}  // namespace oxsms::cloud
