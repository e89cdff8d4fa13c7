// The daily send run of TDM1: InviaDaServizio, EffettuaInvio,
// InviaSmsWhtsLista, InviaEmailLista.
#include <exception>

#include "channels/sms_text.h"
#include "dispatch/message_text.h"
#include "dispatch/run_rules.h"
#include "dispatch/tdm1.h"

namespace oxsms::dispatch {
namespace {

constexpr const char* kAppointments = "Appuntamenti";
constexpr const char* kBirthdays = "Compleanni";

// Runs `action` when the scope ends, also on an error.
template <typename Action>
class AtExit {
 public:
  explicit AtExit(Action action) : action_(std::move(action)) {}
  ~AtExit() { action_(); }
  AtExit(const AtExit&) = delete;
  AtExit& operator=(const AtExit&) = delete;

 private:
  Action action_;
};

}  // namespace

template <typename Send>
void TDM1::Guarded(Send send) {
  // A host that failed in an earlier send is asked again.
  Channels().ForgetHostFailures();
  try {
    send();
  } catch (const std::exception& e) {
    log_.WriteLog(e.what());
    CurrentKind().other.Fail(0, FailureOf(e), e.what());
  }
}

KindReport& TDM1::BeginKind(SendKind kind) {
  current_kind_ = kind;
  return report_.Of(kind);
}

KindReport& TDM1::CurrentKind() { return report_.Of(current_kind_); }

template <typename Send>
void TDM1::SendKindOnce(SendKind kind, Send send) {
  KindReport& report = BeginKind(kind);
  kind_mask_ = journal_.BeginKind(kind, report);
  AtExit reset_mask([this] { kind_mask_ = ChannelMask{}; });
  if (!kind_mask_.any()) return;
  send();
  journal_.EndKind(kind, report);
}

void TDM1::InviaDaServizio() {
  if (IsVisual == 1) IsVisual = 0;
  log_.WriteLog("Invio da servizio avviato");
  strVerifica.clear();
  report_ = RunReport{};
  current_kind_ = SendKind::kReminder;
  AtExit release_search([this] { AgImp.reset(); });
  try {
    const platform::TDateTime now = clock_.Now();
    journal_.BeginRun(now, CBTest);
    const platform::TDateTime today = platform::DateOf(now);
    const int weekday = platform::DayOfTheWeek(today);
    if (CBMemoApp) SendAppointmentKinds(today, weekday);
    if (CBCompl) SendBirthdays(today, weekday);
    // Each attempt reports what it did: an attempt in which the journal let
    // no kind run sends no warning and no control SMS, unless today has had
    // no control SMS yet.
    const bool report_run = !journal_.Active() || journal_.AnyKindRan() ||
                            !journal_.Recorded(SendKind::kControl);
    if (report_run && CBSmsFiniti && !EditSmsFiniti.empty()) AddCreditWarning();
    if (report_run && !strVerifica.empty()) SendControlSms();
  } catch (const std::exception& e) {
    // The service host drops what leaves the run: the reason is written here.
    log_.WriteLog(e.what());
    CurrentKind().other.Fail(0, FailureOf(e), e.what());
    journal_.EndKind(current_kind_, CurrentKind());
    throw;
  }
}

void TDM1::SendAppointmentKinds(platform::TDateTime today, int weekday) {
  sendSms = CBServizioSMS;
  sendWhts = false;
  sendWhtsB = CBServizioWhatsapp;
  sendEmail = CBServizioEmail;
  if (sendWhtsB) {
    SetTemplate(SiglaGeneraleAppWhts, TestoLiberoAppWhts, linkConfermaAppWhts, variabiliAppWhts);
  }
  BeginKind(SendKind::kReminder);
  const std::optional<int> days_ahead = ReminderDaysAhead(giorniinvio, weekday);
  if (!days_ahead) return;
  const platform::TDateTime reminder_day = today + *days_ahead;

  // The texts of each kind are taken also when the journal skips the kind:
  // the next kind keeps them where its own are empty.
  SetSearchDay(reminder_day);
  TestoInvioSMS = TestoInvioApp;
  NomeEmailInvio = NomeEmailApp;
  const auto search_and_send = [&] {
    Guarded([&] {
      lists.Clear();
      EnsureAgImp();
      EffettuaInvio(kAppointments, false);
    });
  };
  SendKindOnce(SendKind::kReminder, search_and_send);

  if (CBPreavviso) {
    BeginKind(SendKind::kAdvanceNotice);
    SetSearchDay(reminder_day + GGPreavviso);
    if (sendSms && !TestoInvioAppPreavviso.empty()) TestoInvioSMS = TestoInvioAppPreavviso;
    if (sendWhtsB && !SiglaGeneraleAppWhtsPreav.empty()) {
      SetTemplate(SiglaGeneraleAppWhtsPreav, TestoLiberoAppWhtsPreav, linkConfermaAppWhtsPreav,
                  variabiliAppWhtsPreav);
    }
    if (sendEmail && !NomeEmailAppPreav.empty()) NomeEmailInvio = NomeEmailAppPreav;
    SendKindOnce(SendKind::kAdvanceNotice, search_and_send);
  }

  if (CBLinkPag) {
    // Only appointments with a fee to collect and no payment link yet.
    eliminaIncassiNulli = true;
    AtExit reset_filter([this] { eliminaIncassiNulli = false; });
    BeginKind(SendKind::kPaymentLink);
    SetSearchDay(reminder_day + GGLinkPag);
    if (sendSms && !TestoInvioAppLinkPag.empty()) TestoInvioSMS = TestoInvioAppLinkPag;
    if (sendWhtsB && !SiglaGeneraleAppWhtsLPag.empty()) {
      SetTemplate(SiglaGeneraleAppWhtsLPag, TestoLiberoAppWhtsLPag, linkConfermaAppWhtsLPag,
                  variabiliAppWhtsLPag);
    }
    if (sendEmail && !NomeEmailAppLPag.empty()) NomeEmailInvio = NomeEmailAppLPag;
    SendKindOnce(SendKind::kPaymentLink, search_and_send);
  }
}

void TDM1::SendBirthdays(platform::TDateTime today, int weekday) {
  BeginKind(SendKind::kBirthday);
  sendSms = CBServComplSMS;
  sendWhts = false;
  sendWhtsB = CBServComplWhts;
  sendEmail = CBServComplEmail;
  if (sendWhtsB) {
    SetTemplate(SiglaGeneraleComplWhts, TestoLiberoComplWhts, linkConfermaComplWhts,
                variabiliComplWhts);
  }
  const std::vector<platform::TDateTime> days = BirthdayDays(BirthdayMask(*this, weekday), today);
  if (days.empty()) return;

  TestoInvioSMS = TestoInvioCompl;
  NomeEmailInvio = NomeEmailCompl;
  SendKindOnce(SendKind::kBirthday, [&] {
    // Birthday lines carry no payment data: no record of an earlier send may
    // pair with them.
    lists.Clear();
    practice::TAgImp& search = EnsureAgImp();
    // The patients are looked for by the birthday channels, so that a
    // greeting by email or WhatsApp finds its recipients whatever the
    // reminders use.
    const bool find_phones = CBServComplSMS || CBServComplWhts;
    for (const platform::TDateTime day : days) {
      search.DataRicerca = search.DataRicerca1 = day;
      search.RicercaCompleanni(find_phones, CBServComplEmail);
    }
    Guarded([&] {
      if (!lists.listCell.empty()) EffettuaInvio(kBirthdays, false);
    });
  });
}

void TDM1::AddCreditWarning() {
  Channels().ForgetHostFailures();
  if (smsDisp == 0) {
    try {
      Channels().Sms().VerificaUtenteSMS(false);
    } catch (const std::exception& e) {
      // Without a known credit there is nothing to warn about; the control
      // SMS still goes out.
      log_.WriteLog(e.what());
      return;
    }
  }
  if (const auto threshold = CreditThreshold(EditSmsFiniti)) {
    AppendCreditWarning(strVerifica, *threshold, smsDisp);
  }
}

void TDM1::SendControlSms() {
  BeginKind(SendKind::kControl);
  TestoInvioSMS = strVerifica;
  // The control text goes to the practice's own numbers as an SMS, whatever
  // channels the last kind of message used.
  sendSms = true;
  sendWhts = false;
  sendWhtsB = false;
  sendEmail = false;
  SendKindOnce(SendKind::kControl, [&] {
    for (const std::string& number : ControlNumbers(CellVerifica1)) {
      lists.Clear();
      lists.listCell.push_back(ControlLine(number));
      Guarded([&] { EffettuaInvio("", false); });
    }
  });
}

void TDM1::EffettuaInvio(const std::string& str, bool /*bool_futurland*/) {
  if (lists.listCell.empty()) {
    lists.listCell.clear();
    lists.list_id_agenda.clear();
    practice::TAgImp& search = EnsureAgImp();
    search.DataRicerca = DataRicerca;
    search.DataRicerca1 = DataRicerca1;
    search.RicercaAppunt(CBServizioSMS || CBServizioWhatsapp, CBServizioEmail);
    if (lists.listCell.empty()) {
      log_.WriteLog("Nessun invio per il " + platform::FormatDate(DataRicerca));
      return;
    }
    Channels().Links().OffriPagamentiInSospeso(lists);
  }
  AtExit release_search([this] { AgImp.reset(); });

  const std::vector<std::string> ids = std::move(lists.list_id_agenda);
  lists.list_id_agenda.clear();
  RecipientBatch phone;
  {
    // Only the phone batch takes the payment records: they go before the
    // batch is sent (a record per appointment weighs on a large practice).
    const std::vector<practice::TPazRec> payments = std::move(lists.listCellIncassi);
    lists.listCellIncassi.clear();
    phone = PhoneBatch(lists.listCell, ids, payments);
  }
  if (!phone.lines.empty()) {
    lists.list_id_agenda = std::move(phone.ids);
    lists.listCellIncassi = std::move(phone.payments);
    const bool upload = static_cast<long>(phone.lines.size()) >= SmsGateway.ftp_limit;
    const channels::SendResult sent = InviaSmsWhtsLista(phone.lines, upload);
    if (CBSmsVerifica) {
      // What the services accepted, and what did not go out, never the
      // number of lines handed over.
      AppendSendSummary(strVerifica, str, static_cast<std::size_t>(sent.accepted));
      if (sent.failed > 0) AppendFailedSummary(strVerifica, str, sent.failed);
    }
  }

  if (sendEmail && kind_mask_.email) {
    RecipientBatch email = EmailBatch(lists.listCell, ids);
    lists.list_id_agenda = std::move(email.ids);
    lists.listCellIncassi = std::move(email.payments);
    if (!email.lines.empty()) InviaEmailLista(email.lines);
  }
}

channels::SendResult TDM1::InviaSmsWhtsLista(const std::vector<std::string>& list,
                                             bool bool_futurland) {
  const std::vector<std::string> testoLinee{CrLfToBlank(TestoInvioSMS)};
  KindReport& kind = CurrentKind();
  const int lines = static_cast<int>(list.size());
  // A channel that went out earlier today (run journal) is left out.
  const bool send_sms = sendSms && kind_mask_.sms;
  const bool send_whatsapp = sendWhtsB && kind_mask_.whatsapp;
  channels::SendResult sent;
  // Each channel is tried on its own: a failure of one costs only its own
  // messages, and each counts as failed with the reason it failed for.
  const auto guard = [&](JournalChannel name, channels::SendResult& channel, auto send) {
    try {
      const channels::SendResult result = send();
      channel.Add(result);
      sent.Add(result);
    } catch (const std::exception& e) {
      log_.WriteLog(e.what());
      channels::SendResult failed;
      failed.Fail(lines, FailureOf(e), e.what());
      channel.Add(failed);
      sent.Add(failed);
    }
    journal_.ChannelDone(current_kind_, name, channel);
  };
  if ((send_sms || send_whatsapp) && !CBTest) {
    try {
      Channels().Sms().VerificaUtenteSMS(false);
    } catch (const std::exception& e) {
      // Both channels spend the same credit: without the account nothing goes.
      log_.WriteLog(e.what());
      channels::SendResult failed;
      failed.Fail(lines, FailureOf(e), e.what());
      if (send_sms) {
        kind.sms.Add(failed);
        sent.Add(failed);
        journal_.ChannelDone(current_kind_, JournalChannel::kSms, kind.sms);
      }
      if (send_whatsapp) {
        kind.whatsapp.Add(failed);
        sent.Add(failed);
        journal_.ChannelDone(current_kind_, JournalChannel::kWhatsApp, kind.whatsapp);
      }
      return sent;
    }
  }
  if (send_sms) {
    guard(JournalChannel::kSms, kind.sms, [&] {
      if (list.size() == 1) {
        practice::TLineRec rec;
        ParseLineRec(rec, list.front());
        return Channels().Sms().SendSingleSmS(rec, testoLinee);
      }
      return Channels().Sms().MultiSendSms(list, testoLinee, bool_futurland);
    });
  }
  if (sendWhts) {
    // The hand-off to the WhatsApp program needs an operator.
    log_.WriteLog("Invio WhatsApp manuale non disponibile nel servizio: " +
                  std::to_string(list.size()) + " destinatari non inviati");
  }
  if (send_whatsapp) {
    guard(JournalChannel::kWhatsApp, kind.whatsapp, [&] { return Channels().WhatsAppTemplates().MultiSendWhtsB(list); });
  }
  return sent;
}

void TDM1::InviaEmailLista(const std::vector<std::string>& list) {
  const std::string recipients = channels::JoinLines(list);
  channels::SendResult& email = CurrentKind().email;
  const int lines = static_cast<int>(list.size());
  AtExit disconnect([this] { Disconnect(); });
  try {
    IBDatabaseConfig.Open();
    journal_.DeliveringEmail(current_kind_);
    if (Channels().Email().InviaEmailCircolare(IBDatabaseConfig, recipients, NomeEmailInvio)) {
      log_.WriteLog("Invio Email a:\r\n" + recipients);
      email.accepted += lines;
    } else {
      // The installation cannot deliver email: these patients got nothing.
      email.Fail(lines, channels::SendFailure::kRefused, "Invio email non disponibile");
    }
  } catch (const std::exception& e) {
    email.Fail(lines, FailureOf(e), e.what());
    journal_.ChannelDone(current_kind_, JournalChannel::kEmail, email);
    throw;
  }
  journal_.ChannelDone(current_kind_, JournalChannel::kEmail, email);
}

practice::TAgImp& TDM1::EnsureAgImp() {
  if (!AgImp) AgImp = std::make_unique<practice::TAgImp>(catalogue_, log_, clock_, *this);
  return *AgImp;
}

void TDM1::SetSearchDay(platform::TDateTime day) { DataRicerca = DataRicerca1 = day; }

void TDM1::SetTemplate(const std::string& sigla, const std::string& testo_libero,
                       const std::string& link_conferma, const std::string& variabili) {
  TemplaTeInvioWhts = sigla;
  TestoLiberoInvioWhts = testo_libero;
  linkConfermaInvioWhts = link_conferma;
  variabiliInvioWhts = variabili;
}

}  // namespace oxsms::dispatch
