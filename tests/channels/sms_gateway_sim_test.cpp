// The SMS gateway client against the simulated gateway, over real HTTP on a
// local port: what reaches the gateway, what comes back, what is logged.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "channels/channel_error.h"
#include "gateway_harness.h"
#include "maker-sim/maker_simulator.h"
#include "net/curl_http_client.h"
#include "platform/base64.h"
#include "platform/code_page.h"

namespace oxsms::channels {
namespace {

using nlohmann::json;
using testing::ErrorOf;
using testing::GatewayHarness;
using testing::kApiKey;

constexpr const char* kCitta = "citt\xC3\xA0";  // città

json SimState() {
  return {{"api_key", kApiKey},
          {"sms",
           {{"accounts",
             json::array({{{"user", "demo"}, {"pwd", "demo"}, {"idcliente", 1001}, {"credit", 1000}},
                          {{"user", "vuoto"}, {"pwd", "vuoto"}, {"idcliente", 1002}, {"credit", 0}},
                          {{"user", "sospeso"},
                           {"pwd", "sospeso"},
                           {"idcliente", 1003},
                           {"codice", 1},
                           {"message", "Account sospeso"}}})},
            {"aliases", json::array({{{"alias", "STUDIO"}, {"codice", 1}}})}}}};
}

class SmsGatewaySimTest : public ::testing::Test, protected GatewayHarness {
 protected:
  SmsGatewaySimTest() : sim_(SimState()) {}

  void SetUp() override {
    sim_.Start();
    config.rest_host = sim_.base_url();
    host.lists.listCell = {"Rossi,Mario,333 1234567,12/05/25,09.30",
                           "Verdi,Luca,+41 79 1234567,12/05/25,10.00"};
  }

  SmsGateway& Gateway() { return GatewayHarness::Gateway(http_); }

  json SimGet(const std::string& path) {
    net::HttpRequest request;
    request.method = "GET";
    request.url = sim_.base_url() + path;
    return json::parse(control_.Send(request).body);
  }
  void ArmFault(const std::string& path, const std::string& kind) {
    net::HttpRequest request;
    request.url = sim_.base_url() + "/_sim/faults";
    request.headers = {{"Content-Type", "application/json"}};
    request.body = json{{"path", path}, {"kind", kind}}.dump();
    ASSERT_EQ(control_.Send(request).status, 200);
  }
  json Requests(const std::string& path = "") {
    return SimGet("/_sim/requests" + (path.empty() ? "" : "?path=" + path));
  }
  json Delivered() { return SimGet("/_sim/sms"); }
  // The request object inside the "invalue" envelope of a recorded request.
  static json Invalue(const json& record) {
    const std::string body = platform::Cp1252ToUtf8(
        platform::DecodeBase64(record.at("body_base64").get<std::string>()));
    return json::parse(json::parse(body).at("invalue").get<std::string>());
  }

  makersim::MakerSimulator sim_;
  net::CurlHttpClient http_;
  net::CurlHttpClient control_;
};

// --- account and credit ---------------------------------------------------

TEST_F(SmsGatewaySimTest, AccountCheckSetsCountersAndLogsTheCredit) {
  Gateway().VerificaUtenteSMS(false);
  EXPECT_EQ(host.counters.idCliente, 1001);
  EXPECT_EQ(host.counters.smsDisp, 1000);
  EXPECT_EQ(host.counters.smsInviabili, 1000);
  EXPECT_EQ(LogTexts(), std::vector<std::string>{"Sms disponibili: 1000"});
  EXPECT_EQ(sleeps, std::vector<std::chrono::milliseconds>{std::chrono::milliseconds(200)});

  const json sent = Requests("/smsox/verificautente.json");
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(Invalue(sent[0]), (json{{"user", "demo"}, {"pwd", "demo"}}));
  EXPECT_EQ(sent[0]["headers"]["Content-Type"], "application/json");
  EXPECT_EQ(sent[0]["headers"]["Accept"], "application/json");
}

TEST_F(SmsGatewaySimTest, RefusedAccountZeroesTheCounters) {
  struct Case {
    SmsAccount account;
    std::string error;
  } cases[] = {
      {{"demo", "sbagliata", "STUDIO", 0}, "Errore di autenticazione Password errata"},
      {{"ignoto", "x", "STUDIO", 0}, "Errore di autenticazione Utente non riconosciuto"},
      {{"sospeso", "sospeso", "STUDIO", 0}, "Errore di autenticazione Account sospeso"},
  };
  for (const Case& c : cases) {
    host.account = c.account;
    host.counters = {40, 30, 1001};
    EXPECT_EQ(ErrorOf<ChannelError>([&] { Gateway().VerificaUtenteSMS(false); }), c.error);
    EXPECT_EQ(host.counters.smsDisp, 0);
    EXPECT_EQ(host.counters.smsInviabili, 0);
    EXPECT_EQ(host.counters.idCliente, 0);
  }
  EXPECT_EQ(LogText().find("sbagliata"), std::string::npos) << "a password reached the log";
}

TEST_F(SmsGatewaySimTest, NoCreditAfterTheSecondCheck) {
  host.account = {"vuoto", "vuoto", "STUDIO", 0};
  EXPECT_EQ(ErrorOf<ChannelError>([&] { Gateway().VerificaUtenteSMS(false); }),
            "Disponibilità di SMS esaurita: 0");
  EXPECT_EQ(Requests("/smsox/verificautente.json").size(), 2u);
  EXPECT_EQ(host.counters.idCliente, 1002);
  EXPECT_TRUE(LogTexts().empty());
}

TEST_F(SmsGatewaySimTest, MissingAccountReloadsTheSettingsFirst) {
  host.account.Pwd.clear();
  EXPECT_EQ(ErrorOf<ChannelError>([&] { Gateway().VerificaUtenteSMS(false); }),
            "Configurazione utente ancora non effettuata");
  EXPECT_EQ(host.reloads, 1);
  EXPECT_TRUE(Requests().empty());
  EXPECT_EQ(LogTexts(), std::vector<std::string>{"Configurazione utente ancora non effettuata"});

  host.reload_gives_account = true;
  host.reloaded_account = {"demo", "demo", "STUDIO", 0};
  Gateway().VerificaUtenteSMS(false);
  EXPECT_EQ(host.reloads, 2);
  EXPECT_EQ(host.counters.smsDisp, 1000);
}

// --- single SMS -----------------------------------------------------------

TEST_F(SmsGatewaySimTest, SingleSmsReachesTheGatewayAndLowersTheCounters) {
  host.counters = {10, 10, 1001};
  Gateway().SendSingleSmS(composer.ParseLineRec(host.lists.listCell[0]),
                          {std::string("Gentile <Nome>, ") + kCitta + " <Data> <Ora>"});

  const json delivered = Delivered();
  ASSERT_EQ(delivered.size(), 1u);
  EXPECT_EQ(delivered[0]["recipient"], "+393331234567");
  EXPECT_EQ(delivered[0]["sender"], "STUDIO");
  EXPECT_EQ(delivered[0]["operation"], "TEXT");
  EXPECT_EQ(delivered[0]["text"], std::string("Gentile Mario, ") + kCitta + " 12/05/25 09.30");
  EXPECT_EQ(host.counters.smsDisp, 9);
  EXPECT_EQ(host.counters.smsInviabili, 9);
  EXPECT_EQ(LogTexts(), std::vector<std::string>{host.lists.listCell[0] + "\r\n" +
                                                 host.lists.listCell[1]});
}

TEST_F(SmsGatewaySimTest, FlashSmsAndTheFirstPaymentRecord) {
  host.counters = {10, 10, 1001};
  host.account.TipoSms = 1;
  host.lists.list_id_agenda = {"AG7"};
  host.lists.listCellIncassi.resize(1);
  host.lists.listCellIncassi[0].incasso = 800000;
  Gateway().SendSingleSmS(composer.ParseLineRec(host.lists.listCell[1]), {"Paga: <link_pag>"});

  const json delivered = Delivered();
  ASSERT_EQ(delivered.size(), 1u);
  EXPECT_EQ(delivered[0]["operation"], "FLASH");
  EXPECT_EQ(delivered[0]["recipient"], "+41791234567");
  EXPECT_EQ(delivered[0]["text"], "Paga: https://l.test/s/p1");
  EXPECT_EQ(host.lists.listCellIncassi[0].id_linkpag, "p1") << "the record is stored back";
  EXPECT_EQ(Invalue(Requests("/smsox/singlesmstoterver.json")[0])["idcliente"], 1001);
}

TEST_F(SmsGatewaySimTest, SingleSmsNotAcknowledgedRaises) {
  host.counters = {10, 10, 1001};
  // A number the client takes for good but the gateway refuses.
  net::HttpRequest refuse;
  refuse.url = sim_.base_url() + "/_sim/sms/refused_numbers";
  refuse.headers = {{"Content-Type", "application/json"}};
  refuse.body = R"({"numbers":["+393331234567"]})";
  ASSERT_EQ(control_.Send(refuse).status, 200);
  const std::string error = ErrorOf<ChannelError>([&] {
    Gateway().SendSingleSmS(composer.ParseLineRec("Rossi,Mario,3331234567"), {"Ciao"});
  });
  EXPECT_EQ(error.rfind("Errore d'invio: KO ", 0), 0u) << error;
  EXPECT_EQ(host.counters.smsDisp, 10);
}

TEST_F(SmsGatewaySimTest, SingleLineWithoutANumberIsLoggedNotSent) {
  host.counters = {10, 10, 1001};
  // A birthday line whose mobile field held only letters: cleaned to nothing.
  Gateway().SendSingleSmS(composer.ParseLineRec("Neri,Anna,,08/12/1990"), {"Auguri <Nome>"});
  EXPECT_TRUE(Requests("/smsox/singlesmstoterver.json").empty());
  EXPECT_EQ(host.counters.smsDisp, 10);
  EXPECT_EQ(LogTexts(), std::vector<std::string>{"SMS non inviato, numero mancante: Neri Anna"});
}

TEST_F(SmsGatewaySimTest, SingleSmsNeedsCreditUnlessInTestMode) {
  const practice::TLineRec rec = composer.ParseLineRec(host.lists.listCell[0]);
  host.counters = {0, 5, 1001};
  EXPECT_EQ(ErrorOf<ChannelError>([&] { Gateway().SendSingleSmS(rec, {"Ciao"}); }),
            "Disponibilità di sms terminata");
  host.counters = {5, 0, 1001};
  EXPECT_EQ(ErrorOf<ChannelError>([&] { Gateway().SendSingleSmS(rec, {"Ciao"}); }),
            "Impossibile inviare SMS per interruzione momentanea del server Velk");
  EXPECT_EQ(LogTexts(), std::vector<std::string>{"Disponibilità di sms terminata"});

  host.test_mode = true;
  Gateway().SendSingleSmS(rec, {"Ciao <Nome>"});
  EXPECT_EQ(LogTexts().back(), "Test:SingleSMS \r\n+393331234567 Ciao Mario");
  EXPECT_TRUE(Requests().empty());
  EXPECT_EQ(host.counters.smsInviabili, 0);
}

TEST_F(SmsGatewaySimTest, EmailRecipientIsSkippedSilently) {
  host.counters = {10, 10, 1001};
  Gateway().SendSingleSmS(composer.ParseLineRec("Rossi,Mario,mario@example.com"), {"Ciao"});
  EXPECT_TRUE(Requests().empty());
  EXPECT_TRUE(LogTexts().empty());
  EXPECT_EQ(host.counters.smsDisp, 10);
}

// --- batches --------------------------------------------------------------

TEST_F(SmsGatewaySimTest, SmallBatchIsDeliveredAndCharged) {
  host.counters = {10, 10, 1001};
  std::vector<std::string> batch = host.lists.listCell;
  batch.push_back("Bianchi,Anna,anna@example.com");
  Gateway().MultiSendSms(batch, {std::string("Gentile <Nome>, ") + kCitta}, false);

  const json delivered = Delivered();
  ASSERT_EQ(delivered.size(), 2u);
  EXPECT_EQ(delivered[0]["recipient"], "+393331234567");
  EXPECT_EQ(delivered[0]["text"], std::string("Gentile Mario, ") + kCitta);
  EXPECT_EQ(delivered[1]["recipient"], "+41791234567");
  EXPECT_EQ(delivered[1]["sender"], "STUDIO");
  EXPECT_EQ(host.counters.smsDisp, 8);
  EXPECT_EQ(host.counters.smsInviabili, 8);
  EXPECT_EQ(LogTexts().back(), batch[0] + "\r\n" + batch[1] + "\r\n" + batch[2]);

  const json upload = Invalue(Requests("/smsox/filesmstoserver.json").at(0));
  EXPECT_EQ(upload["smsinv"], 2);
  EXPECT_FALSE(upload.contains("bool_ftp"));
  EXPECT_EQ(Requests("/home/verifica_alias.json").at(0)["headers"]["Authorization"], kApiKey);
}

TEST_F(SmsGatewaySimTest, LargeBatchIsDeliveredAndCharged) {
  host.counters = {10, 10, 1001};
  const std::string long_text = std::string(150, 'x') + " <Nome> " + kCitta;  // > 160
  Gateway().MultiSendSms(host.lists.listCell, {long_text}, true);

  const json delivered = Delivered();
  ASSERT_EQ(delivered.size(), 2u);
  EXPECT_EQ(delivered[1]["text"], std::string(150, 'x') + " Luca " + kCitta);
  EXPECT_EQ(host.counters.smsDisp, 6);
  const json upload = Invalue(Requests("/smsox/filesmstoserver.json").at(0));
  EXPECT_EQ(upload["bool_ftp"], 1);
  EXPECT_EQ(upload["smsinv"], 4);
  EXPECT_EQ(LogText().find("f4b2d8c61"), std::string::npos);
}

TEST_F(SmsGatewaySimTest, BatchNeedsEnoughSmsAndCredits) {
  host.counters = {10, 1, 1001};
  EXPECT_EQ(ErrorOf<ChannelError>([&] { Gateway().MultiSendSms(host.lists.listCell, {"Ciao"}, false); }),
            "Disponibilità di sms non sufficiente per l'invio di 2 sms");
  host.counters = {0, 0, 1001};
  EXPECT_EQ(ErrorOf<ChannelError>([&] { Gateway().MultiSendSms(host.lists.listCell, {"Ciao"}, false); }),
            "Disponibilità di sms terminata");
  EXPECT_TRUE(Requests().empty());

  host.counters = {10, 3, 1001};  // two texts of two credits each need 4
  EXPECT_EQ(ErrorOf<ChannelError>([&] {
              Gateway().MultiSendSms(host.lists.listCell, {std::string(161, 'y')}, false);
            }),
            "Disponibilità di credito non sufficiente per l'invio di 2 messaggi");
  EXPECT_TRUE(Requests("/smsox/filesmstoserver.json").empty());
  EXPECT_EQ(LogTexts(), (std::vector<std::string>{
                            "Disponibilità di sms non sufficiente per l'invio di 2 sms",
                            "Disponibilità di sms terminata",
                            "Disponibilità di credito non sufficiente per l'invio di 2 messaggi"}));
}

TEST_F(SmsGatewaySimTest, BatchRefusedByTheGatewayIsLoggedNotRaised) {
  host.account = {"vuoto", "vuoto", "STUDIO", 0};  // no credit at the gateway
  host.counters = {10, 10, 1002};
  Gateway().MultiSendSms(host.lists.listCell, {"Ciao"}, false);
  EXPECT_EQ(LogTexts().back(),
            "Errore trasmissione: KO Credito insufficiente: servono 2 sms, disponibili 0");
  EXPECT_EQ(host.counters.smsDisp, 10);
  EXPECT_TRUE(Delivered().empty());
}

TEST_F(SmsGatewaySimTest, UnverifiedAliasSendsAnywayByDefault) {
  host.counters = {10, 10, 1001};
  host.account.TESTATA = "NUOVO";
  Gateway().MultiSendSms(host.lists.listCell, {"Ciao"}, false);
  EXPECT_EQ(Delivered().size(), 2u);
  const std::vector<std::string> log = LogTexts();
  ASSERT_GE(log.size(), 2u);
  EXPECT_TRUE(log[0].starts_with("Richiesta all'operatore: L'ALIAS non è verificato.")) << log[0];
  EXPECT_EQ(log[1], "Nessun operatore presente, risposta automatica: Yes");
  EXPECT_EQ(LogText().find(kApiKey), std::string::npos);
}

TEST_F(SmsGatewaySimTest, UnverifiedAliasDropsTheBatchWhenSoConfigured) {
  host.counters = {10, 10, 1001};
  host.account.TESTATA = "NUOVO";
  config.unattended_alias_answer = platform::DialogResult::No;
  Gateway().MultiSendSms(host.lists.listCell, {"Ciao"}, false);
  EXPECT_TRUE(Requests("/smsox/filesmstoserver.json").empty());
  EXPECT_EQ(host.counters.smsDisp, 10);
  const std::vector<std::string> log = LogTexts();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[1], "Nessun operatore presente, risposta automatica: No");
  EXPECT_EQ(log[2], "Invio SMS annullato: ALIAS non verificato");
}

TEST_F(SmsGatewaySimTest, AliasCheckWithAWrongKeyStopsTheBatch) {
  host.counters = {10, 10, 1001};
  config.api_key = "chiave-sbagliata";
  EXPECT_EQ(ErrorOf<GatewayReplyError>([&] { Gateway().MultiSendSms(host.lists.listCell, {"Ciao"}, false); }),
            "Il gateway SMS ha risposto con lo stato HTTP 401 (/home/verifica_alias.json)");
  EXPECT_TRUE(Requests("/smsox/filesmstoserver.json").empty());
}

TEST_F(SmsGatewaySimTest, AliasVerdictEmptyReplyAndOperatorMessage) {
  EXPECT_EQ(Gateway().verificaalias("", true), 1);
  EXPECT_EQ(LogTexts().back(), "Messaggio all'operatore: Alias verificato");
  EXPECT_EQ(Gateway().verificaalias("SCONOSCIUTO", false), 0);
  EXPECT_EQ(json::parse(Requests("/home/verifica_alias.json")[1]["body"].get<std::string>()),
            (json{{"alias", "SCONOSCIUTO"}}));
  ArmFault("/home/verifica_alias.json", "empty");
  EXPECT_EQ(Gateway().verificaalias("STUDIO", false), 10);
}

// --- test mode and file upload --------------------------------------------

TEST_F(SmsGatewaySimTest, TestModeSavesTheBatchAndSendsNothing) {
  host.test_mode = true;
  host.counters = {0, 0, 1001};
  host.account.TESTATA = "NUOVO";  // the alias check is skipped too
  Gateway().MultiSendSms(host.lists.listCell, {std::string("Ciao <Nome>, ") + kCitta}, true);

  EXPECT_TRUE(Requests().empty());
  EXPECT_EQ(host.counters.smsDisp, 0);
  const std::string saved = oxsms::testing::ReadFile(folder() / "1001.txt");
  EXPECT_EQ(saved,
            "USERNAME=velk_software\nPASSWORD=f4b2d8c61\n"
            "SMS=+393331234567|NUOVO|Ciao Mario, citt\xE0\n"
            "SMS=+41791234567|NUOVO|Ciao Luca, citt\xE0\n");
  const std::string log = LogTexts().back();
  EXPECT_TRUE(log.starts_with("Test MultiSMS\r\nUSERNAME=velk_software\nPASSWORD=********\n")) << log;
  EXPECT_EQ(LogText().find("f4b2d8c61"), std::string::npos);

  // The saved file is what an operator may upload later.
  host.test_mode = false;
  host.counters = {10, 10, 1001};
  Gateway().MultiSendFile(folder() / "1001.txt", true);
  const json delivered = Delivered();
  ASSERT_EQ(delivered.size(), 2u);
  EXPECT_EQ(delivered[0]["text"], std::string("Ciao Mario, ") + kCitta);
  EXPECT_EQ(Invalue(Requests("/smsox/filesmstoserver.json").at(0))["smsinv"], 0);
  EXPECT_EQ(host.counters.smsDisp, 10);
}

TEST_F(SmsGatewaySimTest, MultiSendFileOfAMissingFileRaises) {
  EXPECT_EQ(ErrorOf<ChannelError>([&] { Gateway().MultiSendFile(folder() / "none.txt", false); }),
            "Impossibile leggere il file " + (folder() / "none.txt").string());
}

// --- gateway faults -------------------------------------------------------

TEST_F(SmsGatewaySimTest, GatewayFaultsRaiseClearErrors) {
  ArmFault("/smsox/verificautente.json", "http500");
  EXPECT_EQ(ErrorOf<GatewayReplyError>([&] { Gateway().VerificaUtenteSMS(false); }),
            "Il gateway SMS ha risposto con lo stato HTTP 500 (/smsox/verificautente.json)");

  host.counters = {10, 10, 1001};
  ArmFault("/smsox/singlesmstoterver.json", "nonjson");
  EXPECT_EQ(ErrorOf<GatewayReplyError>([&] {
              Gateway().SendSingleSmS(composer.ParseLineRec(host.lists.listCell[0]), {"Ciao"});
            }),
            "Risposta non valida dal gateway SMS (/smsox/singlesmstoterver.json)");
  EXPECT_EQ(host.counters.smsDisp, 10);

  ArmFault("/smsox/filesmstoserver.json", "refuse");
  EXPECT_THROW(Gateway().MultiSendSms(host.lists.listCell, {"Ciao"}, false), net::HttpError);
  EXPECT_EQ(host.counters.smsDisp, 10);
}

}  // namespace
}  // namespace oxsms::channels
