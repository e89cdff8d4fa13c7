// The simulated SMS gateway over real HTTP: the envelope in Windows-1252,
// credit kept per account, both batch forms, the alias check.
#include "tools/maker-sim/sim_fixture.h"

#include "platform/base64.h"
#include "platform/code_page.h"

namespace oxsms::testing {
namespace {

using nlohmann::json;

const char* const kApiKey = "QKvaTm0wR7pLs2NdY9eUa4Zc6HbJi-3GfWoXn8E";

json Single(const std::string& text, long long idcliente = 1001) {
  return {{"operation", "TEXT"}, {"rcpt", "+393331234567"}, {"from", "STUDIO"},
          {"data", text},        {"idcliente", idcliente}};
}

std::string Field(std::string value) {
  value.resize(25, ' ');
  return value;
}

json Batch(const std::string& fattach, bool large, const std::string& pwd = "demo") {
  json request{{"user", "demo"}, {"pwd", pwd}, {"idcliente", 1001}, {"smsinv", 0}};
  if (large) request["bool_ftp"] = 1;
  request["fattach"] = large ? platform::EncodeBase64Mime(fattach) : fattach;
  return request;
}

class SmsGatewayTest : public SimFixture {};

TEST_F(SmsGatewayTest, AccountCheckReportsCreditOrRefusal) {
  json ok = json::parse(PostInvalue("/smsox/verificautente.json", {{"user", "demo"}, {"pwd", "demo"}}));
  EXPECT_EQ(ok["codice"], 0);
  EXPECT_EQ(ok["idcliente"], 1001);
  EXPECT_EQ(ok["smsdisp"], 1000);

  json wrong = json::parse(PostInvalue("/smsox/verificautente.json", {{"user", "demo"}, {"pwd", "x"}}));
  EXPECT_EQ(wrong["codice"], 1);
  json unknown = json::parse(PostInvalue("/smsox/verificautente.json", {{"user", "nessuno"}, {"pwd", "x"}}));
  EXPECT_EQ(unknown["codice"], 2);

  Control("POST", "/_sim/accounts",
          {{"user", "sospeso"}, {"pwd", "p"}, {"idcliente", 7}, {"credit", 50}, {"codice", 2},
           {"message", "Contratto scaduto"}});
  json refused = json::parse(PostInvalue("/smsox/verificautente.json", {{"user", "sospeso"}, {"pwd", "p"}}));
  EXPECT_EQ(refused["codice"], 2);
  EXPECT_EQ(refused["message"], "Contratto scaduto");
  EXPECT_EQ(refused["smsdisp"], 0);
}

TEST_F(SmsGatewayTest, AccentedTextTravelsInWindows1252AndComesBackIntact) {
  const std::string text = "Gentile Sig.ra Bellà, le ricordiamo l'appuntamento di lunedì: €50, città";
  std::string outvalue = PostInvalue("/smsox/singlesmstoterver.json", Single(text));
  EXPECT_EQ(outvalue.rfind("OK", 0), 0u) << outvalue;

  json stored = Control("GET", "/_sim/sms");
  ASSERT_EQ(stored.size(), 1u);
  EXPECT_EQ(stored[0]["text"], text);
  EXPECT_EQ(stored[0]["recipient"], "+393331234567");
  EXPECT_EQ(stored[0]["sender"], "STUDIO");
  // The exact bytes on the wire are the Windows-1252 ones.
  json recorded = Control("GET", "/_sim/requests")[0];
  std::string wire = platform::DecodeBase64(recorded["body_base64"].get<std::string>());
  EXPECT_EQ(wire, InvalueBody(Single(text)));
  EXPECT_NE(wire.find("citt\xE0"), std::string::npos);  // 'à' as one byte

  // A client that sent UTF-8 instead would be caught: the text arrives garbled.
  json envelope{{"invalue", Single("città").dump()}};
  Post("/smsox/singlesmstoterver.json", envelope.dump());
  EXPECT_NE(Control("GET", "/_sim/sms")[1]["text"], "città");
}

TEST_F(SmsGatewayTest, SingleSendsLowerTheCreditPerStartedBlockOf160) {
  EXPECT_EQ(PostInvalue("/smsox/singlesmstoterver.json", Single(std::string(160, 'a'))).substr(0, 2), "OK");
  EXPECT_EQ(PostInvalue("/smsox/singlesmstoterver.json", Single(std::string(161, 'a'))).substr(0, 2), "OK");
  EXPECT_EQ(Credit("demo"), 1000 - 1 - 2);
  json flash = Single("lampo");
  flash["operation"] = "FLASH";
  PostInvalue("/smsox/singlesmstoterver.json", flash);
  EXPECT_EQ(Control("GET", "/_sim/sms")[2]["operation"], "FLASH");
}

TEST_F(SmsGatewayTest, SingleSendsThatCannotGoOutAreKoAndCostNothing) {
  Control("POST", "/_sim/accounts", {{"user", "demo"}, {"pwd", "demo"}, {"idcliente", 1001}, {"credit", 1}});
  EXPECT_EQ(PostInvalue("/smsox/singlesmstoterver.json", Single(std::string(161, 'a'))),
            "KO Credito insufficiente");
  EXPECT_EQ(PostInvalue("/smsox/singlesmstoterver.json", Single("ciao", 9999)), "KO Cliente non riconosciuto");
  json bad_number = Single("ciao");
  bad_number["rcpt"] = "+39 333";
  EXPECT_EQ(PostInvalue("/smsox/singlesmstoterver.json", bad_number).substr(0, 3), "KO ");
  json bad_operation = Single("ciao");
  bad_operation["operation"] = "MMS";
  EXPECT_EQ(PostInvalue("/smsox/singlesmstoterver.json", bad_operation).substr(0, 3), "KO ");
  EXPECT_EQ(Credit("demo"), 1);
  EXPECT_TRUE(Control("GET", "/_sim/sms").empty());

  net::HttpResponse malformed = Post("/smsox/singlesmstoterver.json", R"({"invalue":"non json"})");
  EXPECT_EQ(malformed.status, 400);
  EXPECT_EQ(json::parse(malformed.body)["outvalue"].get<std::string>().substr(0, 3), "KO ");
}

TEST_F(SmsGatewayTest, SmallBatchIsParsedStoredAndCharged) {
  std::string long_text(170, 'y');
  std::string batch = Field("+393331234567") + Field("STUDIO") + platform::EncodeBase64Mime("Ciao è") +
                      "0000000072\n" + Field("+393339876543") + Field("STUDIO") +
                      platform::EncodeBase64Mime(long_text) + "0000000072\n";
  EXPECT_EQ(PostInvalue("/smsox/filesmstoserver.json", Batch(batch, false)), "OK 2");
  EXPECT_EQ(Credit("demo"), 1000 - 1 - 2);
  json stored = Control("GET", "/_sim/sms");
  ASSERT_EQ(stored.size(), 2u);
  EXPECT_EQ(stored[0]["text"], "Ciao è");
  EXPECT_EQ(stored[0]["kind"], "batch");
  EXPECT_EQ(stored[1]["recipient"], "+393339876543");
  EXPECT_EQ(stored[1]["text"], long_text);
}

TEST_F(SmsGatewayTest, LargeBatchIsParsedStoredAndCharged) {
  std::string text = "USERNAME=velk_software\nPASSWORD=f4b2d8c61\n"
                     "SMS=+393331234567|STUDIO|Domani alle 9.30, è confermato?\n"
                     "SMS=+41791234567|STUDIO|" + std::string(320, 'z') + "\n";
  EXPECT_EQ(PostInvalue("/smsox/filesmstoserver.json", Batch(text, true)), "OK 2");
  EXPECT_EQ(Credit("demo"), 1000 - 1 - 2);
  json stored = Control("GET", "/_sim/sms");
  ASSERT_EQ(stored.size(), 2u);
  EXPECT_EQ(stored[0]["text"], "Domani alle 9.30, è confermato?");
  EXPECT_EQ(stored[1]["recipient"], "+41791234567");
}

TEST_F(SmsGatewayTest, RefusedBatchesAreKoAndChangeNothing) {
  std::string good = Field("+393331234567") + Field("STUDIO") + platform::EncodeBase64Mime("ciao") + "0000000072\n";
  EXPECT_EQ(PostInvalue("/smsox/filesmstoserver.json", Batch(good, false, "sbagliata")), "KO Utente non valido");
  EXPECT_EQ(PostInvalue("/smsox/filesmstoserver.json", Batch(good, true)).rfind("KO Formato non valido", 0), 0u);
  EXPECT_EQ(PostInvalue("/smsox/filesmstoserver.json", Batch(good + "rotto\n", false)).rfind("KO Formato", 0), 0u);
  EXPECT_EQ(PostInvalue("/smsox/filesmstoserver.json", Batch("", false)), "KO Nessun SMS nel file");

  Control("POST", "/_sim/accounts", {{"user", "demo"}, {"pwd", "demo"}, {"idcliente", 1001}, {"credit", 1}});
  std::string outvalue = PostInvalue("/smsox/filesmstoserver.json", Batch(good + good, false));
  EXPECT_EQ(outvalue.rfind("KO Credito insufficiente", 0), 0u) << outvalue;
  EXPECT_EQ(Credit("demo"), 1);
  EXPECT_TRUE(Control("GET", "/_sim/sms").empty());
}

TEST_F(SmsGatewayTest, AliasCheckNeedsTheApiKeyAndReportsTheRegistry) {
  auto check = [&](const std::string& alias, const std::string& key) {
    net::HttpResponse response = Post("/home/verifica_alias.json", json{{"alias", alias}}.dump(),
                                      {{"Content-Type", "application/json"}, {"Authorization", key}});
    return std::make_pair(response.status, json::parse(response.body));
  };
  EXPECT_EQ(check("STUDIO", kApiKey).second["codice"], 1);
  EXPECT_EQ(check("studio", kApiKey).second["codice"], 1);
  EXPECT_EQ(check("ALTRO", kApiKey).second["codice"], 0);
  auto [status, reply] = check("STUDIO", "chiave-sbagliata");
  EXPECT_EQ(status, 401);
  EXPECT_EQ(reply["codice"], 0);

  Control("POST", "/_sim/aliases", {{"alias", "ALTRO"}, {"codice", 3}, {"response_message", "In verifica"}});
  auto pending = check("ALTRO", kApiKey).second;
  EXPECT_EQ(pending["codice"], 3);
  EXPECT_EQ(pending["response_message"], "In verifica");
}

}  // namespace
}  // namespace oxsms::testing
