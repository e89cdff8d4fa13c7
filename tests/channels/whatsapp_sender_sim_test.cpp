// The WhatsApp template sender against the simulated template service, over
// real HTTP on a local port: the request that reaches the service, what the
// service stores, the links, the credit shared with SMS, refusals and logs.
#include <gtest/gtest.h>

#include <algorithm>

#include "channels/channel_error.h"
#include "whatsapp_harness.h"

namespace oxsms::channels {
namespace {

using nlohmann::json;
using testing::Decoded;
using testing::ErrorOf;
using testing::kSender;
using testing::WhatsAppHarness;

constexpr const char* kRossi = "Rossi,Mario,333 1234567,12/05/2025,09.30";
constexpr const char* kVerdi = "Verdi,Luca,+41 79 1234567,13/05/2025,10.00";
constexpr const char* kEmail = "Bianchi,Anna,anna@example.it,12/05/2025,11.00";
constexpr const char* kNoDate = "Neri,Paolo,3471112223";
constexpr const char* kNoTime = "Gialli,Ugo,3479998887,14/05/2025,";

practice::TPazRec Fee(practice::Currency amount, std::string id_linkpag = {}) {
  practice::TPazRec paz;
  paz.incasso = amount;
  paz.id_linkpag = std::move(id_linkpag);
  return paz;
}

bool Logged(const std::vector<std::string>& log, const std::string& text) {
  return std::find(log.begin(), log.end(), text) != log.end();
}

class WhatsAppSenderTest : public ::testing::Test, protected WhatsAppHarness {
 protected:
  // Sends `lines` with agenda ids A1, A2, ... unless the test set its own.
  void Send(const std::vector<std::string>& lines) {
    if (host.lists.list_id_agenda.empty()) {
      for (std::size_t i = 0; i < lines.size(); ++i) {
        host.lists.list_id_agenda.push_back("A" + std::to_string(i + 1));
      }
    }
    host.lists.listCell = lines;
    Client().MultiSendWhtsB(lines);
  }
  json Recipients() { return SentRequest().at("variabili"); }
};

// --- the request ----------------------------------------------------------

TEST_F(WhatsAppSenderTest, OneRequestWithSharedValuesAndOneObjectPerRecipient) {
  wa_host.settings.linkConfermaInvioWhts = "1";
  wa_host.settings.TestoLiberoInvioWhts = "Gentile <Nome>,\r\na presto";
  Send({kRossi, kVerdi});

  const std::string body = SentBody();
  EXPECT_TRUE(std::all_of(body.begin(), body.end(), [](char c) { return (c & 0x80) == 0; }))
      << "the body must be plain ASCII";
  EXPECT_NE(body.find("Luned\\u00ec"), std::string::npos);

  const auto request = nlohmann::ordered_json::parse(body);
  EXPECT_EQ(request.dump(-1, ' ', true), body) << "compact, as the maker's services write it";
  std::vector<std::string> members;
  for (const auto& item : request.items()) members.push_back(item.key());
  EXPECT_EQ(members, (std::vector<std::string>{"sigla_template", "mittente", "count_msg",
                                               "bool_conferma_invio", "variabili_globali",
                                               "variabili", "user", "pwd"}));
  EXPECT_EQ(request["sigla_template"], "PROMEMORIA");
  EXPECT_EQ(request["mittente"], kSender);
  EXPECT_EQ(request["count_msg"], 2);
  EXPECT_EQ(request["bool_conferma_invio"], true);  // always in the service
  EXPECT_EQ(Decoded(request["variabili_globali"]["dati_studio"]), "Studio Bianchi Dott. Bianchi");
  EXPECT_EQ(Decoded(request["variabili_globali"]["indirizzo_studio"]), "Via Roma 1 Milano");
  EXPECT_EQ(request["user"], "demo");

  const auto& rossi = request["variabili"][0];
  EXPECT_EQ(rossi["destinatario"], "+393331234567");
  EXPECT_EQ(rossi["cognome"], "Rossi");
  EXPECT_EQ(rossi["nome"], "Mario");
  EXPECT_EQ(rossi["data"], "12/05/2025");
  EXPECT_EQ(rossi["giorno"], "Luned\xC3\xAC");
  EXPECT_EQ(rossi["ora"], "09.30");
  EXPECT_EQ(rossi["link_breve"], "cA1");
  EXPECT_EQ(Decoded(rossi["testo_libero"]), "Gentile Mario, a presto");
  EXPECT_FALSE(rossi.contains("link_pagamento"));
  const auto& verdi = request["variabili"][1];
  EXPECT_EQ(verdi["destinatario"], "+41791234567");
  EXPECT_EQ(verdi["giorno"], "Marted\xC3\xAC");
  EXPECT_EQ(verdi["link_breve"], "cA2");

  const auto headers = Requests(kInviaTemplatePath)[0]["headers"];
  EXPECT_EQ(headers["Authorization"], testing::kApiKey);
  EXPECT_EQ(links.calls, (std::vector<std::string>{"OttieniLink A1", "SalvaLinkBreve cA1",
                                                   "OttieniLink A2", "SalvaLinkBreve cA2"}));

  const json stored = Messages();
  ASSERT_EQ(stored.size(), 2u);
  EXPECT_EQ(stored[1]["destinatario"], "+41791234567");
  EXPECT_EQ(stored[1]["testo_libero"], "Gentile Luca, a presto");
  EXPECT_EQ(stored[0]["batch"], stored[1]["batch"]);
}

TEST_F(WhatsAppSenderTest, DesktopBatchAsksForConfirmationFromFiftyLines) {
  wa_host.settings.AsService = false;
  Send({kRossi, kVerdi});
  EXPECT_EQ(SentRequest()["bool_conferma_invio"], false);
}

TEST_F(WhatsAppSenderTest, MissingDateTimeOrNumberShapeEachRecipient) {
  wa_host.settings.linkConfermaInvioWhts = "1";
  Send({kEmail, kNoDate, kNoTime, "Vuoto,Senza,", kRossi});

  const json request = SentRequest();
  EXPECT_EQ(request["count_msg"], 5);  // every line passed counts
  const json recipients = request["variabili"];
  ASSERT_EQ(recipients.size(), 3u);  // no e-mail line, no line without a number
  EXPECT_EQ(recipients[0]["destinatario"], "+393471112223");
  EXPECT_FALSE(recipients[0].contains("data"));
  EXPECT_FALSE(recipients[0].contains("giorno"));
  EXPECT_FALSE(recipients[0].contains("link_breve"));
  EXPECT_EQ(recipients[1]["giorno"], "Mercoled\xC3\xAC");
  EXPECT_FALSE(recipients[1].contains("ora"));
  EXPECT_FALSE(recipients[1].contains("link_breve"));
  EXPECT_EQ(recipients[2]["link_breve"], "cA5");
  EXPECT_EQ(recipients[2]["testo_libero"], "");  // no free text
  // The credit taken counts every line passed, as the request does.
  EXPECT_EQ(host.counters.smsDisp, 995);
  EXPECT_EQ(host.counters.smsInviabili, 995);
}

TEST_F(WhatsAppSenderTest, UnreadableDateEndsTheBatchBeforeAnyRequest) {
  EXPECT_EQ(ErrorOf<ChannelError>([&] { Send({kRossi, "Rossi,Mario,3331234567,32/13/2025,09.30"}); }),
            "'32/13/2025' non \xC3\xA8 una data valida");
  EXPECT_TRUE(Requests(kInviaTemplatePath).empty());
}

// --- payment links and the free text --------------------------------------

class WhatsAppPaymentTest : public WhatsAppSenderTest {
 protected:
  void SetUp() override {
    wa_host.settings.TemplaTeInvioWhts = "PAGAMENTO";
    wa_host.settings.variabiliInvioWhts = "nome,link_pagamento,descrizione_pag";
    wa_host.settings.isLinkPag = 1;
    wa_host.settings.TestoLiberoInvioWhts = "<Nome>, paghi qui: link_pag (descrizione_pag)";
  }
};

TEST_F(WhatsAppPaymentTest, FeeGetsAPaymentLinkRecordedAndNamedInTheFreeText) {
  host.lists.listCellIncassi = {Fee(800000), Fee(0)};
  Send({kRossi, kVerdi});

  const json recipients = Recipients();
  EXPECT_EQ(wa_host.settings.descr_pag_predef, "Pagamento prestazione");
  EXPECT_EQ(recipients[0]["link_pagamento"], "https://pay.test/s/pA1");
  EXPECT_EQ(recipients[0]["descrizione_pag"], "Pagamento prestazione");
  EXPECT_EQ(Decoded(recipients[0]["testo_libero"]),
            "Mario, paghi qui: https://pay.test/s/pA1 (Pagamento prestazione)");
  // Nothing to collect: empty fields, and the bare words go.
  EXPECT_EQ(recipients[1]["link_pagamento"], "");
  EXPECT_EQ(recipients[1]["descrizione_pag"], "");
  EXPECT_EQ(Decoded(recipients[1]["testo_libero"]), "Luca, paghi qui:  ()");

  EXPECT_EQ(host.lists.listCellIncassi[0].id_linkpag, "pA1");  // stored back for the run
  EXPECT_EQ(links.calls, (std::vector<std::string>{"OttieniLinkPag A1", "SalvaLinkPag pA1"}));
}

TEST_F(WhatsAppPaymentTest, PredefinedLinkServesEveryRecipientWithoutRequests) {
  wa_host.settings.link_pag_predef = "https://pay.test/s/fisso";
  wa_host.settings.descr_pag_predef = "Acconto";
  host.lists.listCellIncassi = {Fee(800000), Fee(0)};
  Send({kRossi, kVerdi});

  for (const auto& recipient : Recipients()) {
    EXPECT_EQ(recipient["link_pagamento"], "https://pay.test/s/fisso");
    EXPECT_EQ(recipient["descrizione_pag"], "Acconto");
  }
  EXPECT_EQ(Decoded(Recipients()[1]["testo_libero"]),
            "Luca, paghi qui: https://pay.test/s/fisso (Acconto)");
  EXPECT_TRUE(links.calls.empty());
}

TEST_F(WhatsAppPaymentTest, FreeTextOfOnlyThePaymentWordWithoutLinkIsEmpty) {
  wa_host.settings.TestoLiberoInvioWhts = "link_pag";
  wa_host.settings.variabiliInvioWhts = "nome";
  host.lists.listCellIncassi = {Fee(0)};
  Send({kRossi});
  const json recipient = Recipients()[0];
  EXPECT_EQ(recipient["testo_libero"], "");
  // Not named by the template: the payment fields are left out.
  EXPECT_FALSE(recipient.contains("link_pagamento"));
  EXPECT_FALSE(recipient.contains("descrizione_pag"));
}

// A payment message without its link tells the patient nothing: that line
// stays out (and waits for the next run); the others go.
TEST_F(WhatsAppPaymentTest, LineWhosePaymentLinkFailsIsNotSent) {
  links.fail_payment = true;
  host.lists.listCellIncassi = {Fee(800000), Fee(0)};
  Send({kRossi, kVerdi});
  const json recipients = Recipients();
  ASSERT_EQ(recipients.size(), 1u);
  EXPECT_EQ(recipients[0]["link_pagamento"], "");
  EXPECT_NE(recipients[0]["destinatario"].get<std::string>().find("791234567"), std::string::npos)
      << recipients[0];
  EXPECT_TRUE(Logged(LogTexts(), "Link di pagamento non ottenuto, WhatsApp non inviato: Rossi Mario"));
}

TEST_F(WhatsAppPaymentTest, SameAppointmentReusesConfirmationAndGetsNoNewPaymentLink) {
  wa_host.settings.linkConfermaInvioWhts = "1";
  host.lists.list_id_agenda = {"A1", "same"};
  host.lists.listCellIncassi = {Fee(800000), Fee(800000)};
  Send({kRossi, "Rossi,Maria,3339876543,12/05/2025,09.30"});

  const json recipients = Recipients();
  EXPECT_EQ(recipients[1]["link_breve"], "cA1");
  EXPECT_EQ(recipients[1]["link_pagamento"], "");
  EXPECT_EQ(links.calls,
            (std::vector<std::string>{"OttieniLinkPag A1", "SalvaLinkPag pA1", "OttieniLink A1",
                                      "SalvaLinkBreve cA1", "OttieniLink same"}));
}

// --- the payment-request rule (eliminaIncassiNulli) -------------------------

TEST_F(WhatsAppPaymentTest, DesktopPaymentRequestLeavesOutWhoHasNothingToCollect) {
  wa_host.settings.AsService = false;
  wa_host.settings.TestoLiberoInvioWhts = "Grazie";
  host.skip_zero_fees = true;
  host.lists.listCellIncassi = {Fee(0), Fee(800000, "L9"), Fee(800000)};
  Send({kRossi, kVerdi, kNoDate});

  const json request = SentRequest();
  EXPECT_EQ(request["count_msg"], 3);
  ASSERT_EQ(request["variabili"].size(), 1u);
  EXPECT_EQ(request["variabili"][0]["destinatario"], "+393471112223");
  EXPECT_EQ(host.counters.smsDisp, 997);
}

TEST_F(WhatsAppPaymentTest, ServiceKeepsEveryRecipientOfAPaymentRequest) {
  host.skip_zero_fees = true;
  host.lists.listCellIncassi = {Fee(0), Fee(800000, "L9")};
  Send({kRossi, kVerdi});
  EXPECT_EQ(Recipients().size(), 2u);
}

// The rule looks at the free text of the template for every line: a free
// text that asks for the payment link keeps the first line too, and what the
// line before composed (here a first name that happens to read "link_pag")
// changes nothing for the line after it.
TEST_F(WhatsAppPaymentTest, RuleConsultsTheTemplatesFreeTextNotTheLineBefore) {
  wa_host.settings.AsService = false;
  host.skip_zero_fees = true;

  wa_host.settings.TestoLiberoInvioWhts = "Importo: <link_pag>";
  host.lists.listCellIncassi = {Fee(0), Fee(0)};
  Send({kRossi, kVerdi});
  EXPECT_EQ(Recipients().size(), 2u);

  DeleteRequests();
  host.lists = {};
  wa_host.settings.TestoLiberoInvioWhts = "Gentile <Nome>";
  host.lists.listCellIncassi = {Fee(800000), Fee(0)};
  Send({"Rossi,link_pag,3331234567,12/05/2025,09.30", kVerdi});
  const json recipients = Recipients();
  ASSERT_EQ(recipients.size(), 1u);
  EXPECT_EQ(Decoded(recipients[0]["testo_libero"]), "Gentile link_pag");
}

// --- confirmation links ---------------------------------------------------

TEST_F(WhatsAppSenderTest, ConfirmationLinkFailureIsLoggedAndTheLineGoesWithoutIt) {
  wa_host.settings.linkConfermaInvioWhts = "1";
  links.fail_confirmation = true;
  Send({kRossi, kVerdi});

  const json recipients = Recipients();
  ASSERT_EQ(recipients.size(), 2u);
  // The template names the variable: it goes empty rather than missing.
  EXPECT_EQ(recipients[0]["link_breve"], "");
  EXPECT_EQ(recipients[1]["link_breve"], "");
  const auto log = LogTexts();
  const auto at = std::find(log.begin(), log.end(), "Errore OttieniLink Conferma");
  ASSERT_NE(at, log.end());
  ASSERT_NE(at + 1, log.end());
  EXPECT_EQ(*(at + 1), "Servizio link non raggiungibile");
  EXPECT_TRUE(Logged(log, "Invio Whatsapp Diretto"));
}

TEST_F(WhatsAppSenderTest, ConfirmationLinksOnlyWhenSwitchedOnAndTheLineHasAnAgendaId) {
  wa_host.settings.linkConfermaInvioWhts = "0";
  Send({kRossi});
  EXPECT_FALSE(Recipients()[0].contains("link_breve"));

  DeleteRequests();
  wa_host.settings.linkConfermaInvioWhts = "1";
  host.lists.list_id_agenda = {"A1"};
  Send({kVerdi, kRossi});
  const json recipients = Recipients();
  EXPECT_EQ(recipients[0]["link_breve"], "cA1");
  EXPECT_FALSE(recipients[1].contains("link_breve"));
}

// --- outcome: accepted, refused, no reply, test mode -----------------------

TEST_F(WhatsAppSenderTest, AcceptedBatchLogsTheLinesAndTakesCreditSharedWithSms) {
  Sms().VerificaUtenteSMS(false);
  ASSERT_EQ(host.counters.smsDisp, 1000);
  Send({kRossi, kEmail, kVerdi});
  EXPECT_EQ(host.counters.smsDisp, 997);
  EXPECT_EQ(host.counters.smsInviabili, 997);
  EXPECT_EQ(SimCredit(), 998);  // the service charges the messages it sends

  const auto log = LogTexts();
  const auto at = std::find(log.begin(), log.end(), "Invio Whatsapp Diretto");
  ASSERT_NE(at, log.end());
  ASSERT_NE(at + 1, log.end());
  EXPECT_EQ(*(at + 1), std::string(kRossi) + "\r\n" + kEmail + "\r\n" + kVerdi);
  EXPECT_EQ(LogText().find("\"pwd\""), std::string::npos);

  // The SMS client sees the credit the service has left.
  Sms().VerificaUtenteSMS(false);
  EXPECT_EQ(host.counters.smsDisp, 998);
}

TEST_F(WhatsAppSenderTest, CreditChecksComeFirstAndAreLogged) {
  host.counters = SmsCounters{5, 2, 1001};
  EXPECT_EQ(ErrorOf<ChannelError>([&] { Send({kRossi, kVerdi, kNoDate}); }),
            "Disponibilità di sms non sufficiente per l'invio di 3 sms");
  host.counters = SmsCounters{0, 10, 1001};
  EXPECT_EQ(ErrorOf<ChannelError>([&] { Send({kRossi}); }), "Disponibilità di sms terminata");
  EXPECT_TRUE(Logged(LogTexts(), "Disponibilità di sms terminata"));
  EXPECT_TRUE(Requests(kInviaTemplatePath).empty());
}

TEST_F(WhatsAppSenderTest, RefusedBatchInTheServiceRaisesWithTheServicesMessage) {
  wa_host.settings.TemplaTeInvioWhts = "SCONOSCIUTO";
  EXPECT_EQ(ErrorOf<ChannelError>([&] { Send({kRossi}); }),
            "Errore di invio template Template sconosciuto: SCONOSCIUTO");
  EXPECT_EQ(host.counters.smsDisp, 1000);
  EXPECT_TRUE(Messages().empty());
  EXPECT_FALSE(Logged(LogTexts(), "Invio Whatsapp Diretto"));
}

TEST_F(WhatsAppSenderTest, RefusalForLackOfCreditAtTheService) {
  SimPost("/_sim/accounts", {{"user", "demo"}, {"pwd", "demo"}, {"idcliente", 1001}, {"credit", 1}});
  EXPECT_EQ(ErrorOf<ChannelError>([&] { Send({kRossi, kVerdi}); }),
            "Errore di invio template Credito insufficiente: servono 2 messaggi, disponibili 1");
  EXPECT_EQ(SimCredit(), 1);
}

TEST_F(WhatsAppSenderTest, RefusedBatchWithAnOperatorGoesToTheClipboardWithoutPassword) {
  wa_host.settings.AsService = false;
  wa_host.settings.IsVisual = 1;
  host.account.Pwd = "sbagliata";
  Send({kRossi});  // no error with an operator

  ASSERT_EQ(wa_host.clipboard.size(), 1u);
  const std::string& copied = wa_host.clipboard[0];
  EXPECT_EQ(copied.rfind("chiamata\r\n{", 0), 0u);
  // The call shown is the one sent, recipients included.
  const std::size_t reply_at = copied.find("\r\r\nRiposta\r\n{");
  ASSERT_NE(reply_at, std::string::npos);
  const auto call = nlohmann::json::parse(copied.substr(10, reply_at - 10));
  ASSERT_EQ(call.at("variabili").size(), 1u) << copied;
  EXPECT_NE(call.at("variabili")[0].dump().find("1234567"), std::string::npos) << copied;
  EXPECT_EQ(call.at("pwd"), "********");
  EXPECT_NE(copied.find("Utente o password non validi"), std::string::npos);
  EXPECT_EQ(copied.find("sbagliata"), std::string::npos);
  EXPECT_TRUE(Logged(LogTexts(), "Messaggio all'operatore: errore d'invio, la chiamata e la "
                                 "risposta sono state copiate negli appunti"));
  EXPECT_EQ(host.counters.smsDisp, 1000);
}

TEST_F(WhatsAppSenderTest, EmptyOrUnreadableReply) {
  SimPost("/_sim/faults", {{"path", kInviaTemplatePath}, {"kind", "empty"}, {"times", 1}});
  EXPECT_EQ(ErrorOf<ChannelError>([&] { Send({kRossi}); }), "Errore del server durante l'invio");
  SimPost("/_sim/faults", {{"path", kInviaTemplatePath}, {"kind", "nonjson"}, {"times", 1}});
  EXPECT_NE(ErrorOf<GatewayReplyError>([&] { Send({kRossi}); }), "no error");
  EXPECT_EQ(host.counters.smsDisp, 1000);
}

TEST_F(WhatsAppSenderTest, TestModeSendsNothingAndLogsTheRequest) {
  host.test_mode = true;
  host.counters = SmsCounters{};  // no credit check in test mode
  wa_host.settings.TemplaTeInvioWhts = "PAGAMENTO";
  wa_host.settings.variabiliInvioWhts = "link_pagamento";
  wa_host.settings.isLinkPag = 1;
  host.lists.listCellIncassi = {Fee(800000)};
  Send({kRossi});

  EXPECT_TRUE(Requests(kInviaTemplatePath).empty());
  EXPECT_EQ(host.counters.smsDisp, 0);
  EXPECT_TRUE(links.calls.empty());  // no payment link is created in test mode
  const auto log = LogTexts();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back().rfind("Test WhatsApp Diretto\r\n{", 0), 0u);
  EXPECT_NE(log.back().find("\"destinatario\": \"+393331234567\""), std::string::npos);
  EXPECT_EQ(log.back().find("\"pwd\""), std::string::npos);
}

// --- ListaTemplate --------------------------------------------------------

TEST_F(WhatsAppSenderTest, ListaTemplateGivesTheAccountsTemplates) {
  const json reply = Client().ListaTemplate();
  EXPECT_EQ(reply["codice"], 1);
  std::vector<std::string> codes;
  for (const auto& t : reply["dati"]) codes.push_back(t["sigla"]);
  EXPECT_EQ(codes, (std::vector<std::string>{"PROMEMORIA", "COMPLEANNO", "PAGAMENTO"}));

  host.account.Pwd = "sbagliata";
  EXPECT_EQ(Client().ListaTemplate()["codice"], 0);
  ASSERT_EQ(wa_host.clipboard.size(), 1u);

  SimPost("/_sim/faults", {{"path", kListaTemplatePath}, {"kind", "empty"}, {"times", 1}});
  EXPECT_EQ(ErrorOf<ChannelError>([&] { Client().ListaTemplate(); }), "errore del server Cloud");
}

}  // namespace
}  // namespace oxsms::channels
