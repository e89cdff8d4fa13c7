// How the client reads the gateway's status texts, with a scripted HTTP
// client standing in for replies the simulated gateway never gives.
#include <gtest/gtest.h>

#include <deque>

#include <nlohmann/json.hpp>

#include "channels/channel_error.h"
#include "gateway_harness.h"

namespace oxsms::channels {
namespace {

using testing::ErrorOf;
using testing::GatewayHarness;

class ScriptedHttpClient : public net::HttpClient {
 public:
  std::deque<net::HttpResponse> replies;
  std::vector<net::HttpRequest> requests;

  net::HttpResponse Send(const net::HttpRequest& request) override {
    requests.push_back(request);
    if (replies.empty()) throw net::HttpError("no scripted reply for " + request.url);
    net::HttpResponse reply = replies.front();
    replies.pop_front();
    return reply;
  }
  void Reply(const std::string& body, long status = 200) { replies.push_back({status, body, ""}); }
  void ReplyOutvalue(const std::string& outvalue) {
    Reply(nlohmann::json{{"outvalue", outvalue}}.dump());
  }
};

class ReplyRulesTest : public ::testing::Test, protected GatewayHarness {
 protected:
  void SetUp() override {
    host.counters = {100, 100, 1001};
    host.lists.listCell = {"Rossi,Mario,3331234567", "Verdi,Luca,3337654321"};
  }
  // One batch of the two lines, after a verified alias, answered `outvalue`.
  void SendBatch(const std::string& outvalue) {
    http.Reply(R"({"codice":1,"response_message":"ok"})");
    http.ReplyOutvalue(outvalue);
    Gateway(http).MultiSendSms(host.lists.listCell, {"Ciao <Nome>"}, false);
  }
  ScriptedHttpClient http;
};

TEST_F(ReplyRulesTest, SingleSmsSucceedsWhenOkAppearsAnywhere) {
  http.ReplyOutvalue("Messaggio accodato: OK");
  Gateway(http).SendSingleSmS(composer.ParseLineRec(host.lists.listCell[0]), {"Ciao"});
  EXPECT_EQ(host.counters.smsDisp, 99);
  EXPECT_EQ(host.counters.smsInviabili, 99);
}

TEST_F(ReplyRulesTest, SingleSmsWithoutOkIsAnError) {
  http.ReplyOutvalue("ok, ricevuto");  // lower case does not count
  EXPECT_EQ(ErrorOf<ChannelError>([&] {
              Gateway(http).SendSingleSmS(composer.ParseLineRec(host.lists.listCell[0]), {"Ciao"});
            }),
            "Errore d'invio: ok, ricevuto");
  EXPECT_EQ(host.counters.smsDisp, 100);
}

TEST_F(ReplyRulesTest, BatchRefusedOnlyByKoFollowedByBlank) {
  SendBatch("ERRORE KO file");
  EXPECT_EQ(host.counters.smsDisp, 100) << "a refused batch costs nothing";
  EXPECT_EQ(LogTexts().back(), "Errore trasmissione: ERRORE KO file");

  SendBatch("KO");
  EXPECT_EQ(host.counters.smsDisp, 98);
  SendBatch("STATO:KO_PARZIALE");
  EXPECT_EQ(host.counters.smsDisp, 96);
  EXPECT_EQ(host.counters.smsInviabili, 96);
  EXPECT_EQ(LogTexts().back(), "Rossi,Mario,3331234567\r\nVerdi,Luca,3337654321");
}

TEST_F(ReplyRulesTest, AccountReplyWithoutCountersIsInvalid) {
  http.ReplyOutvalue(R"({"codice":0,"message":"ok"})");
  EXPECT_EQ(ErrorOf<GatewayReplyError>([&] { Gateway(http).VerificaUtenteSMS(false); }),
            "Risposta non valida dal gateway SMS (/smsox/verificautente.json)");
}

TEST_F(ReplyRulesTest, CountersFollowTheGatewayAndLowerLocally) {
  http.ReplyOutvalue(R"({"codice":0,"message":"ok","idcliente":"77","smsdisp":5})");
  SmsGateway& gateway = Gateway(http);
  gateway.VerificaUtenteSMS(true);
  EXPECT_EQ(host.counters.idCliente, 77);
  gateway.ScalaSms(3);
  gateway.ScalaSmsSingolo();
  EXPECT_EQ(host.counters.smsDisp, 1);
  EXPECT_EQ(host.counters.smsInviabili, 1);

  host.counters.idCliente = 0;  // the gateway has not named the customer
  gateway.ScalaSmsSingolo();
  EXPECT_EQ(host.counters.smsDisp, 1);
}

}  // namespace
}  // namespace oxsms::channels
