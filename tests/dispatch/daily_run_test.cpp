// The daily run over real practice databases (embedded Firebird files, and
// for the searches and the bookkeeping also MariaDB schemas) and the maker
// simulator over HTTP: which days are searched, which batch form goes
// out, the control SMS and the credit warning, and how failures of one kind
// leave the next kind running.
#include <gtest/gtest.h>

#include <iostream>

#include "practice/database_catalogue.h"
#include "practice/local_config.h"
#include "run_world.h"

namespace oxsms::testing::run {
namespace {

using nlohmann::json;

constexpr const char* kVerifyPath = "/smsox/verificautente.json";
constexpr const char* kFilePath = "/smsox/filesmstoserver.json";

bool Logged(const RunWorld& w, const std::string& text) {
  return w.LogText().find(text) != std::string::npos;
}

std::vector<std::string> Recipients(const json& sms) {
  std::vector<std::string> list;
  for (const auto& m : sms) list.push_back(m.at("recipient").get<std::string>());
  return list;
}

// The run over a practice on the parameter's database server: the
// configuration, agenda and patient databases all Firebird files, or all
// schemas on the private MariaDB server.
class DailyRun : public ::testing::TestWithParam<Backend> {
 protected:
  void SetUp() override {
    OXSMS_REQUIRE_BACKEND(backend());
    w = std::make_unique<RunWorld>(50, backend());
  }
  void TearDown() override {
    if (w && HasFailure()) std::cerr << "sms.log:\n" << w->LogText();
  }
  virtual Backend backend() const { return GetParam(); }

  std::unique_ptr<RunWorld> w;
};

// What does not depend on the database server: the gateway, the control SMS,
// the credit, the settings of one kind of send.
class DailyRunFirebird : public DailyRun {
 protected:
  Backend backend() const override { return Backend::kFirebird; }
};

TEST_P(DailyRun, DefaultSettingsRemindTomorrowsAppointmentWithOneSingleSms) {
  w->Patient("1", "Rossi", "333 1234567");
  w->Patient("2", "Verdi", "333 7654321");
  w->Appointment("1", Day(13), 9);
  w->Appointment("2", Day(14), 9);  // the day after: not yet

  w->RunOn(Day(12));  // Monday

  const json sms = w->AcceptedSms();
  ASSERT_EQ(sms.size(), 1u);
  EXPECT_EQ(sms[0].at("kind"), "single");
  EXPECT_EQ(sms[0].at("recipient"), "+393331234567");
  EXPECT_EQ(sms[0].at("text"),
            "Gentile Anna Rossi le ricordiamo l'appuntamento del 13/05/2025 alle ore 09.00");
  EXPECT_TRUE(Logged(*w, "Invio da servizio avviato"));
  EXPECT_EQ(w->Dm().AgImp, nullptr);
}

TEST_F(DailyRunFirebird, WeekdayDigitMovesTheSearchDayOrSkipsTheReminders) {
  w->Patient("1", "Rossi", "3330000001");
  w->Appointment("1", Day(19), 9);  // Monday
  w->Dm().giorniinvio = "0000200";
  w->Dm().CBPreavviso = true;

  w->RunOn(Day(16));  // Friday: digit 2, three days ahead
  ASSERT_EQ(w->AcceptedSms().size(), 1u);
  EXPECT_TRUE(Logged(*w, "Nessun invio per il 26/05/2025"));  // advance notice: +3+7

  // Friday's digit 7: no search at all, advance notice included.
  w->Dm().giorniinvio = "0000700";
  w->Dm().CBLinkPag = true;
  const std::string before = w->LogText();
  w->RunOn(Day(16));
  EXPECT_EQ(w->AcceptedSms().size(), 1u);
  EXPECT_EQ(w->LogText().find("Nessun invio", before.size()), std::string::npos);
}

TEST_P(DailyRun, AdvanceNoticeAndPaymentMessageHaveTheirOwnDaysAndTexts) {
  w->Patient("1", "Rossi", "3330000001");
  w->Patient("2", "Verdi", "3330000002");
  w->Patient("3", "Bianchi", "3330000003");
  w->Patient("4", "Neri", "3330000004");
  w->Appointment("1", Day(13), 9);
  w->Appointment("2", Day(20), 10);            // today + 1 + GGPreavviso
  w->Appointment("3", Day(15), 11, "50.0000");  // today + 1 + GGLinkPag, with a fee
  w->Appointment("4", Day(15), 12);             // same day, nothing to collect
  auto& dm = w->Dm();
  dm.isLinkPag = 1;  // payment links in use: the search reads the fees
  dm.CBPreavviso = true;
  dm.TestoInvioAppPreavviso = "Preavviso <Nome> <Data>";
  dm.CBLinkPag = true;
  dm.GGLinkPag = 2;
  dm.TestoInvioAppLinkPag = "<descrizione_pag>: <link_pag>";

  w->RunOn(Day(12));

  const json sms = w->AcceptedSms();
  ASSERT_EQ(sms.size(), 3u);
  EXPECT_EQ(sms[0].at("recipient"), "+393330000001");
  EXPECT_EQ(sms[1].at("recipient"), "+393330000002");
  EXPECT_EQ(sms[1].at("text"), "Preavviso Anna 20/05/2025");
  // The fee gets a new payment link from the payment service.
  EXPECT_EQ(sms[2].at("recipient"), "+393330000003");
  const std::string text = sms[2].at("text");
  EXPECT_EQ(text.rfind("Pagamento prestazione: http", 0), 0u) << text;
  EXPECT_NE(text.find("/s/"), std::string::npos) << text;
  EXPECT_EQ(w->Requests("/rest/crea_url_pagamento.json").size(), 1u);
  // The link is recorded in the fee's agenda row, the others stay without.
  w->ResetDm();  // what the run left uncommitted is committed
  const std::optional<std::string> link = w->AgendaColumn("3", "ID_LINKPAG");
  ASSERT_TRUE(link.has_value());
  EXPECT_NE(text.find(*link), std::string::npos) << *link << " " << text;
  EXPECT_EQ(w->AgendaColumn("4", "ID_LINKPAG"), std::nullopt);
}

TEST_P(DailyRun, PaymentAccountsAreReadAgainForEachSend) {
  w->Patient("1", "Rossi", "3330000001");
  w->Patient("2", "Verdi", "3330000002");
  w->Patient("3", "Bianchi", "3330000003");
  w->Appointment("1", Day(14), 9, "50.0000");  // today + 1 + GGLinkPag
  w->Appointment("2", Day(14), 10, "20.0000");
  w->Appointment("3", Day(15), 11, "30.0000");
  auto& dm = w->Dm();
  dm.isLinkPag = 1;
  dm.CBLinkPag = true;
  dm.GGLinkPag = 1;
  dm.TestoInvioAppLinkPag = "<link_pag>";
  const auto accounts = [&] {
    std::vector<std::string> used;
    for (const json& request : w->Requests("/rest/crea_url_pagamento.json")) {
      used.push_back(json::parse(request.at("body").get<std::string>()).at("id_account_stripe"));
    }
    return used;
  };

  w->RunOn(Day(12));
  EXPECT_EQ(accounts(), (std::vector<std::string>{"acct_1Demo1", "acct_1Demo1"}));

  // The practice moves to another account between two days: the next send
  // creates its links on the new one.
  practice::Connection config;
  practice::PreparaConnessioneConfig(config, practice::kSectionDatabase, w->world.ctx);
  config.Session() << "update LINKPAG set ID_ACCOUNT_STRIPE = 'acct_2Nuovo'";
  config.Commit();
  config.Close();
  w->RunOn(Day(13));
  EXPECT_EQ(accounts(),
            (std::vector<std::string>{"acct_1Demo1", "acct_1Demo1", "acct_2Nuovo"}));
}

TEST_P(DailyRun, BirthdayMaskGreetsThreeDaysInOneBatch) {
  w->Patient("1", "Venerdi", "3330000001", std::nullopt, platform::EncodeDate(1980, 5, 16));
  w->Patient("2", "Sabato", "3330000002", std::nullopt, platform::EncodeDate(1990, 5, 17));
  w->Patient("3", "Domenica", "3330000003", std::nullopt, platform::EncodeDate(2000, 5, 18));
  w->Patient("4", "Giovedi", "3330000004", std::nullopt, platform::EncodeDate(1970, 5, 15));
  auto& dm = w->Dm();
  dm.CBMemoApp = false;
  dm.CBCompl = true;
  dm.CBServComplSMS = true;
  dm.C4 = "0000111";

  w->RunOn(Day(16));

  EXPECT_EQ(w->Requests(kFilePath).size(), 1u);
  const json sms = w->AcceptedSms();
  EXPECT_EQ(Recipients(sms), (std::vector<std::string>{"+393330000001", "+393330000002", "+393330000003"}));
  EXPECT_EQ(sms[0].at("kind"), "batch");
  EXPECT_EQ(sms[1].at("text"),
            "Gentile Anna Sabato, il nostro studio e tutto lo staff le fanno gli auguri di Buon "
            "Compleanno");
}

// A birthday SMS that did not go is counted as such in the control SMS, and
// the run is a failed one.
TEST_F(DailyRunFirebird, ControlSmsCountsABirthdaySmsThatDidNotGo) {
  w->Patient("1", "Venerdi", "3330000001", std::nullopt, platform::EncodeDate(1980, 5, 16));
  auto& dm = w->Dm();
  dm.CBMemoApp = false;
  dm.CBCompl = true;
  dm.CBServComplSMS = true;
  dm.C4 = "0000100";
  dm.CBSmsVerifica = true;
  dm.CellVerifica1 = "3330000001";
  w->SimPost("/_sim/faults",
            {{"path", "/smsox/singlesmstoterver.json"}, {"kind", "http500"}, {"times", 1}});

  w->RunOn(Day(16));

  const json sms = w->AcceptedSms();
  ASSERT_EQ(Recipients(sms), (std::vector<std::string>{"+393330000001"}));
  EXPECT_EQ(sms[0].at("text"), "Invio Msg Compleanni 0 Msg.. Non inviati Msg Compleanni 1 Msg.");
  EXPECT_TRUE(dm.LastRun().Failed());
}

TEST_P(DailyRun, BirthdaysByEmailFindTheirRecipientsWhateverTheRemindersUse) {
  w->Patient("1", "Venerdi", std::nullopt, "venerdi@example.it", platform::EncodeDate(1980, 5, 16));
  auto& dm = w->Dm();
  dm.CBMemoApp = false;
  dm.CBServizioEmail = false;
  dm.CBCompl = true;
  dm.CBServComplEmail = true;
  dm.C4 = "0000100";

  w->RunOn(Day(16));

  EXPECT_TRUE(Logged(*w, "Invio email non disponibile in questa installazione: 1 destinatari"));
  EXPECT_FALSE(Logged(*w, "Invio Email a:"));
  EXPECT_TRUE(w->Requests(kVerifyPath).empty());  // no phone channel: no credit check
}

TEST_F(DailyRunFirebird, ControlSmsGoesByTextToEachNonEmptyLine) {
  w->Patient("1", "Rossi", "3330000001");
  w->Appointment("1", Day(13), 9);
  auto& dm = w->Dm();
  dm.CBSmsVerifica = true;
  dm.CellVerifica1 = "3330000001\r\n\r\n  +41 79 000 00 00 \r\n";
  // The last kind leaves only WhatsApp templates on: the control text still
  // goes as an SMS.
  dm.CBCompl = true;
  dm.CBServComplWhts = true;

  w->RunOn(Day(12));

  const json sms = w->AcceptedSms();
  EXPECT_EQ(Recipients(sms), (std::vector<std::string>{"+393330000001", "+393330000001", "+41790000000"}));
  EXPECT_EQ(sms[1].at("text"), "Invio Msg Appuntamenti 1 Msg.");
  EXPECT_EQ(sms[2].at("text"), "Invio Msg Appuntamenti 1 Msg.");
  EXPECT_FALSE(Logged(*w, "WhatsApp con template non disponibile"));
}

TEST_F(DailyRunFirebird, CreditWarningAtOrBelowTheThreshold) {
  auto& dm = w->Dm();
  dm.CBMemoApp = false;
  dm.CBSmsFiniti = true;
  dm.EditSmsFiniti = "50";
  dm.CellVerifica1 = "3330000001";

  w->SetCredit(51);
  w->RunOn(Day(12));
  EXPECT_TRUE(w->AcceptedSms().empty());

  w->SetCredit(50);
  dm.smsDisp = 0;
  w->RunOn(Day(13));
  const json sms = w->AcceptedSms();
  ASSERT_EQ(sms.size(), 1u);
  EXPECT_EQ(sms[0].at("text"), "Attenzione: Sms disponibili: 50");

  // A threshold that is no number gives no warning and no log line.
  dm.EditSmsFiniti = "cinquanta";
  dm.smsDisp = 0;
  w->RunOn(Day(14));
  EXPECT_EQ(w->AcceptedSms().size(), 1u);

  // A credit check that fails is logged and gives no warning; the run ends
  // normally.
  dm.EditSmsFiniti = "50";
  dm.smsDisp = 0;
  w->SimPost("/_sim/faults", {{"path", kVerifyPath}, {"kind", "http500"}, {"times", 1}});
  const std::size_t log_before = w->LogText().size();
  EXPECT_NO_THROW(w->RunOn(Day(15)));
  EXPECT_NE(w->LogText().find(kVerifyPath, log_before), std::string::npos);
  EXPECT_EQ(w->AcceptedSms().size(), 1u);
}

TEST(DailyRunBatchForm, FtpLimitLinesGoAsUploadOneFewerAsPlainBatch) {
  for (const int lines : {3, 2}) {
    RunWorld w(3);
    for (int i = 1; i <= lines; ++i) {
      w.Patient(std::to_string(i), "P" + std::to_string(i), "33300000" + std::to_string(i));
      w.Appointment(std::to_string(i), Day(13), 8 + i);
    }
    w.RunOn(Day(12));

    const json uploads = w.Requests(kFilePath);
    ASSERT_EQ(uploads.size(), 1u) << lines;
    const json invalue = RunWorld::Invalue(uploads[0]);
    EXPECT_EQ(invalue.contains("bool_ftp"), lines == 3) << lines;
    EXPECT_EQ(w.AcceptedSms().size(), static_cast<std::size_t>(lines));
  }
}

TEST_F(DailyRunFirebird, RefusedAccountIsLoggedAndTheEmailsOfTheSendStillGo) {
  w->Patient("1", "Rossi", "3330000001", "rossi@example.it");
  w->Appointment("1", Day(13), 9);
  w->Dm().CBServizioEmail = true;
  w->SetCredit(100, 1);

  w->RunOn(Day(12));

  EXPECT_TRUE(Logged(*w, "Errore di autenticazione Account sospeso"));
  EXPECT_TRUE(Logged(*w, "Invio email non disponibile in questa installazione: 1 destinatari"));
  EXPECT_TRUE(w->AcceptedSms().empty());
}

TEST_F(DailyRunFirebird, GatewayFaultEndsOnlyItsKind) {
  w->Patient("1", "Rossi", "3330000001", std::nullopt, platform::EncodeDate(1980, 5, 12));
  w->Appointment("1", Day(13), 9);
  auto& dm = w->Dm();
  dm.CBCompl = true;
  dm.CBServComplSMS = true;
  dm.C0 = "1";

  for (const char* fault : {"http500", "nonjson"}) {
    w->SimPost("/_sim/faults", {{"path", kVerifyPath}, {"kind", fault}, {"times", 1}});
    const std::size_t before = w->AcceptedSms().size();
    const std::size_t log_before = w->LogText().size();
    w->RunOn(Day(12));

    // The reminder fell with the credit check; the birthday went out.
    const json sms = w->AcceptedSms();
    ASSERT_EQ(sms.size(), before + 1) << fault;
    EXPECT_NE(sms.back().at("text").get<std::string>().find("Compleanno"), std::string::npos);
    EXPECT_NE(w->LogText().find(kVerifyPath, log_before), std::string::npos) << fault;
  }
}

TEST_F(DailyRunFirebird, BrokenDayDigitEndsTheRunWithALogLine) {
  auto& dm = w->Dm();
  dm.giorniinvio = "x000000";
  dm.CBCompl = true;
  dm.CBServComplSMS = true;
  dm.C0 = "1";
  w->Patient("1", "Rossi", "3330000001", std::nullopt, platform::EncodeDate(1980, 5, 12));

  EXPECT_THROW(w->RunOn(Day(12)), std::exception);
  EXPECT_TRUE(Logged(*w, "'x' non è un valore intero valido"));
  EXPECT_TRUE(w->AcceptedSms().empty());  // the birthdays were not reached
  EXPECT_EQ(dm.AgImp, nullptr);
}

TEST_F(DailyRunFirebird, ManualWhatsAppIsRefusedInTheServiceWithOneLineAndNothingHandedOff) {
  dispatch::SendState send;
  send.TestoInvioSMS = "Promemoria <Nome>";
  send.sendSms = false;
  send.sendWhts = true;  // the hand-off to the WhatsApp program of the PC
  const channels::SendResult sent =
      w->Dm().InviaSmsWhtsLista(send, {"Rossi,Anna,3331234567", "Neri,Ugo,3331234568"}, false);

  EXPECT_EQ(sent.accepted, 0);
  EXPECT_EQ(sent.failed, 2);
  EXPECT_EQ(sent.failure, channels::SendFailure::kRefused);
  const std::string log = w->LogText();
  const std::string line =
      "Invio WhatsApp manuale non disponibile nel servizio: 2 destinatari non inviati";
  ASSERT_NE(log.find(line), std::string::npos);
  EXPECT_EQ(log.find(line, log.find(line) + 1), std::string::npos);
  EXPECT_EQ(log.find("Nessun desktop"), std::string::npos);  // nothing was opened
  EXPECT_TRUE(w->AcceptedSms().empty());
}

TEST_F(DailyRunFirebird, WhatsAppTemplatesAloneStillCheckTheCredit) {
  w->Patient("1", "Rossi", "3331234567");
  w->Appointment("1", Day(13), 9);
  auto& dm = w->Dm();
  dm.CBServizioSMS = false;
  dm.CBServizioWhatsapp = true;
  dm.SiglaGeneraleAppWhts = "PROMEMORIA";
  dm.UserConnect.CellWhts = "+393330000000";

  w->RunOn(Day(13 - 1));

  EXPECT_EQ(w->Requests(kVerifyPath).size(), 1u);
  EXPECT_EQ(w->Requests("/whatsapp/invia_template.json").size(), 1u);
  EXPECT_TRUE(w->AcceptedSms().empty());
}

TEST_P(DailyRun, ReminderCarriesAConfirmationLinkStoredInTheAgendaAndReusedTheNextRun) {
  w->Patient("1", "Rossi", "3331234567");
  w->Appointment("1", Day(14), 9);
  auto& dm = w->Dm();
  dm.TestoInvioApp = "Conferma: <link_conferma>";
  dm.GGPreavviso = 1;

  w->RunOn(Day(13));  // the reminder of the 14th: a new link
  ASSERT_EQ(w->Requests("/conferma_appuntamenti/crea.json").size(), 1u);
  const nlohmann::json first = w->AcceptedSms();
  ASSERT_EQ(first.size(), 1u);
  const std::string text = first[0]["text"].get<std::string>();
  EXPECT_NE(text.find("/c/"), std::string::npos) << text;

  w->RunOn(Day(13));  // the same appointment again: the stored link, no new request
  EXPECT_EQ(w->Requests("/conferma_appuntamenti/crea.json").size(), 1u);
  const nlohmann::json second = w->AcceptedSms();
  ASSERT_EQ(second.size(), 2u);
  // The stored code comes back as the link host's https address.
  const std::string code = text.substr(text.find("/c/"));
  const std::string again = second[1]["text"].get<std::string>();
  EXPECT_EQ(again.substr(again.find("/c/")), code);
}

TEST_F(DailyRunFirebird, ConfirmationLinkTheServiceDidNotGiveIsLoggedAndTheReminderGoesWithoutIt) {
  w->Patient("1", "Rossi", "3331234567");
  w->Appointment("1", Day(14), 9);
  auto& dm = w->Dm();
  dm.TestoInvioApp = "Conferma: <link_conferma>";
  dm.GGPreavviso = 1;
  // The service says done but gives no link.
  w->SimPost("/_sim/faults", {{"path", "/conferma_appuntamenti/crea.json"},
                             {"kind", "reply"},
                             {"message", R"({"codice":1})"}});

  w->RunOn(Day(13));
  const json sms = w->AcceptedSms();
  ASSERT_EQ(sms.size(), 1u);
  EXPECT_EQ(sms[0]["text"].get<std::string>().find("/c/"), std::string::npos);
  EXPECT_TRUE(Logged(*w, "Link di conferma non ottenuto: Errore del server ")) << w->LogText();
  EXPECT_TRUE(Logged(*w, ": risposta senza link")) << w->LogText();
}

// Forwards to a real client and, before each request, does the waiting work
// the run gave it, counting the steps that found something to write.
class WorkingClient : public net::HttpClient {
 public:
  net::HttpResponse Send(const net::HttpRequest& request) override {
    while (work_ && work_()) ++steps;
    return inner_.Send(request);
  }
  void SetWaitingWork(net::WaitingWork work) override { work_ = std::move(work); }
  bool HasWork() const { return static_cast<bool>(work_); }
  int steps = 0;

 private:
  net::CurlHttpClient inner_;
  net::WaitingWork work_;
};

TEST_P(DailyRun, LinkCodesAreWrittenWhileTheLinkRequestsWait) {
  for (const char* badge : {"1", "2", "3", "4"}) {
    w->Patient(badge, std::string("Paziente") + badge, std::string("33312345") + badge);
    w->Appointment(badge, Day(14), 8 + std::stoi(badge));
  }
  WorkingClient client;
  w->UseClient(client);
  {
    auto& dm = w->Dm();
    dm.TestoInvioApp = "Conferma: <link_conferma>";
    dm.GGPreavviso = 1;
    ASSERT_TRUE(client.HasWork());

    w->RunOn(Day(13));
    ASSERT_EQ(w->Requests("/conferma_appuntamenti/crea.json").size(), 4u);
    // The code of each link was written while a later request waited.
    EXPECT_GE(client.steps, 3);
    w->RunOn(Day(13));  // every code was stored: no new link
    EXPECT_EQ(w->Requests("/conferma_appuntamenti/crea.json").size(), 4u);
    EXPECT_EQ(w->AcceptedSms().size(), 8u);
  }
  w->ResetDm();
  EXPECT_FALSE(client.HasWork()) << "the work must not outlive the run's objects";
}

OXSMS_INSTANTIATE_ON_BOTH_BACKENDS(DailyRun);

}  // namespace
}  // namespace oxsms::testing::run
