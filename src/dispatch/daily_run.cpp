// The daily send run of TDM1: InviaDaServizio, EffettuaInvio,
// InviaSmsWhtsLista, InviaEmailLista.
#include <exception>
#include <filesystem>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "channels/sms_text.h"
#include "dispatch/channel_lines.h"
#include "dispatch/message_text.h"
#include "dispatch/run_rules.h"
#include "dispatch/tdm1.h"
#include "platform/error.h"

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

// The outcome of the lines a send carried, by what the send came to.
channels::LineOutcome LineOutcomeOf(const channels::SendResult& result, bool test) {
  if (test) return channels::LineOutcome::kToSend;
  if (result.accepted > 0 || result.failure == channels::SendFailure::kNone) {
    return channels::LineOutcome::kSent;
  }
  return result.failure == channels::SendFailure::kRefused ? channels::LineOutcome::kRefused
                                                           : channels::LineOutcome::kError;
}

channels::LineOutcome LineOutcomeOf(channels::SendFailure failure) {
  return failure == channels::SendFailure::kRefused ? channels::LineOutcome::kRefused
                                                    : channels::LineOutcome::kError;
}

channels::LineChannel LineChannelOf(JournalChannel channel) {
  switch (channel) {
    case JournalChannel::kSms:
      return channels::LineChannel::kSms;
    case JournalChannel::kWhatsApp:
      return channels::LineChannel::kWhatsApp;
    case JournalChannel::kEmail:
      return channels::LineChannel::kEmail;
  }
  return channels::LineChannel::kNone;
}

// A left-out entry of a search, "Cognome Nome <reason>", as person and
// reason.
std::pair<std::string, std::string> SplitLeftOut(const std::string& entry) {
  for (const char* reason :
       {" Manca Cellulare", " Manca Email", " Non abilitato invio", " Agenda esclusa"}) {
    const std::string_view tail(reason);
    if (entry.size() >= tail.size() &&
        std::string_view(entry).substr(entry.size() - tail.size()) == tail) {
      return {entry.substr(0, entry.size() - tail.size()), std::string(tail.substr(1))};
    }
  }
  return {entry, ""};
}

}  // namespace

template <typename Send>
void TDM1::Guarded(Send send) {
  // A host that failed in an earlier send is asked again.
  Channels().ForgetHostFailures();
  try {
    send();
  } catch (const std::exception& e) {
    // The guard of each send: whatever ends it costs only that send.
    log_.WriteLog(platform::Describe(e));
    CurrentKind().other.Fail(0, FailureOf(e), e.what());
  }
}

KindReport& TDM1::BeginKind(SendKind kind) {
  run_.current_kind = kind;
  Channels().Report().BeginKind(kind);
  return run_.report.Of(kind);
}

KindReport& TDM1::CurrentKind() { return run_.report.Of(run_.current_kind); }

template <typename Body>
void TDM1::SendKindOnce(SendState& send, Body body) {
  KindReport& report = BeginKind(send.kind);
  send.channels_left = journal_.BeginKind(send.kind, report);
  if (!send.channels_left.any()) return;
  body();
  journal_.EndKind(send.kind, report);
}

void TDM1::InviaDaServizio() {
  if (IsVisual == 1) IsVisual = 0;
  log_.WriteLog("Invio da servizio avviato");
  run_ = RunState{};
  const platform::TDateTime now = clock_.Now();
  Channels().Report().BeginRun(now, CBTest);
  // The report is finished once the search object has gone (its lists and
  // connections), not beside it.
  AtExit end_report([this] { Channels().Report().EndRun(clock_.Now()); });
  AtExit release_search([this] { ReleaseAgImp(); });
  try {
    journal_.BeginRun(now, CBTest);
    RecordKeptPaymentLinks();
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
    if (report_run && !run_.strVerifica.empty()) SendControlSms();
  } catch (const platform::Error& e) {
    // The service host drops what leaves the run: the reason is written here.
    log_.WriteLog(e.what());
    CurrentKind().other.Fail(0, FailureOf(e), e.what());
    journal_.EndKind(run_.current_kind, CurrentKind());
    throw;
  }
}

void TDM1::RecordKeptPaymentLinks() {
  // Also a run in which the journal lets no kind go writes them, so a row
  // released at the desk has its link before anything reads it.
  if (CBTest || !std::filesystem::exists(
                    catalogue_.home.File(practice::UnrecordedLinks::kFileName))) {
    return;
  }
  try {
    EnsureAgImp().RecordKeptLinks();
  } catch (const platform::Error& e) {  // the configuration database
    // The links stay kept for the next run; the kinds report their own.
    log_.WriteLog(e.what());
  }
}

void TDM1::SendAppointmentKinds(platform::TDateTime today, int weekday) {
  BeginKind(SendKind::kReminder);
  const std::optional<int> days_ahead = ReminderDaysAhead(giorniinvio, weekday);
  if (!days_ahead) return;
  const platform::TDateTime reminder_day = today + *days_ahead;

  const auto search_and_send = [this](SendState& send) {
    SendKindOnce(send, [&] {
      Guarded([&] {
        EnsureAgImp();
        EffettuaInvio(send, kAppointments, false);
      });
    });
  };
  // Each kind starts from the one before it, also when the journal skipped
  // that one: where its own text, template or message is not set, the one
  // before it stays.
  SendState reminder = ReminderSend(*this, reminder_day);
  search_and_send(reminder);
  SendState advance_notice;
  const SendState* preceding = &reminder;
  if (CBPreavviso) {
    advance_notice = FollowingSend(SendKind::kAdvanceNotice, reminder, *this,
                                   reminder_day + GGPreavviso);
    search_and_send(advance_notice);
    preceding = &advance_notice;
  }
  if (CBLinkPag) {
    SendState payment_link =
        FollowingSend(SendKind::kPaymentLink, *preceding, *this, reminder_day + GGLinkPag);
    search_and_send(payment_link);
  }
}

void TDM1::SendBirthdays(platform::TDateTime today, int weekday) {
  BeginKind(SendKind::kBirthday);
  const std::vector<platform::TDateTime> days = BirthdayDays(BirthdayMask(*this, weekday), today);
  if (days.empty()) return;

  SendState birthdays = BirthdaySend(*this);
  SendKindOnce(birthdays, [&] {
    practice::TAgImp& search = EnsureAgImp();
    // The patients are looked for by the birthday channels, so that a
    // greeting by email or WhatsApp finds its recipients whatever the
    // reminders use.
    const bool find_phones = CBServComplSMS || CBServComplWhts;
    {
      ActiveSend::Scope searching(send_in_progress, birthdays);
      for (const platform::TDateTime day : days) {
        search.DataRicerca = search.DataRicerca1 = day;
        search.RicercaCompleanni(find_phones, CBServComplEmail);
        ReportLeftOut(birthdays.lists.listScartiSms);
        NoteUnread(search.Unread(), kBirthdays);
      }
    }
    Guarded([&] {
      if (!birthdays.lists.listCell.empty()) EffettuaInvio(birthdays, kBirthdays, false);
    });
  });
}

void TDM1::AddCreditWarning() {
  Channels().ForgetHostFailures();
  if (smsDisp == 0) {
    try {
      Channels().Sms().VerificaUtenteSMS(false);
    } catch (const platform::Error& e) {  // the gateway or its transport
      // Without a known credit there is nothing to warn about; the control
      // SMS still goes out.
      log_.WriteLog(e.what());
      return;
    }
  }
  if (const auto threshold = CreditThreshold(EditSmsFiniti)) {
    AppendCreditWarning(run_.strVerifica, *threshold, smsDisp);
  }
}

void TDM1::SendControlSms() {
  SendState control = ControlSend(run_.strVerifica);
  SendKindOnce(control, [&] {
    for (const std::string& number : ControlNumbers(CellVerifica1)) {
      // Each number is a send of its own, on the channels the kind has left.
      SendState to_number = control;
      to_number.lists.listCell.push_back(ControlLine(number));
      Guarded([&] { EffettuaInvio(to_number, "", false); });
    }
  });
}

void TDM1::EffettuaInvio(SendState& send, const std::string& str, bool /*bool_futurland*/) {
  ActiveSend::Scope sending(send_in_progress, send);
  practice::RecipientLists& lists = send.lists;
  if (lists.listCell.empty()) {
    lists.listCell.clear();
    lists.list_id_agenda.clear();
    practice::TAgImp& search = EnsureAgImp();
    search.DataRicerca = send.DataRicerca;
    search.DataRicerca1 = send.DataRicerca1;
    search.RicercaAppunt(CBServizioSMS || CBServizioWhatsapp, CBServizioEmail);
    ReportLeftOut(lists.listScartiSms);
    NoteUnread(search.Unread(), str);
    if (lists.listCell.empty()) {
      log_.WriteLog("Nessun invio per il " + platform::FormatDate(send.DataRicerca));
      return;
    }
    Channels().Links().OffriPagamentiInSospeso(lists);
  }
  AtExit release_search([this] { ReleaseAgImp(); });

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
    const channels::SendResult sent = InviaSmsWhtsLista(send, phone.lines, upload);
    if (CBSmsVerifica) {
      // What the services accepted, and what did not go out, never the
      // number of lines handed over.
      AppendSendSummary(run_.strVerifica, str, static_cast<std::size_t>(sent.accepted));
      if (sent.failed > 0) AppendFailedSummary(run_.strVerifica, str, sent.failed);
    }
  }

  if (send.sendEmail && send.channels_left.email) {
    RecipientBatch email = EmailBatch(lists.listCell, ids);
    lists.list_id_agenda = std::move(email.ids);
    lists.listCellIncassi = std::move(email.payments);
    if (!email.lines.empty()) InviaEmailLista(send, email.lines);
  }
}

void TDM1::NoteUnread(const std::vector<std::string>& unread, const std::string& str) {
  if (unread.empty()) return;
  KindReport& kind = CurrentKind();
  std::string what;
  for (const std::string& item : unread) what += (what.empty() ? "" : "; ") + item;
  // What was found still goes; the rest waits until the databases can be
  // read, when an attempt sends what this one could not.
  log_.WriteLog(std::string("Ricerca incompleta (") + KindName(kind.kind) +
                "), i destinatari mancanti saranno cercati al prossimo tentativo: " + what);
  if (!kind.search_incomplete && CBSmsVerifica) AppendUnreadSummary(run_.strVerifica, str);
  kind.search_incomplete = true;
  kind.other.Fail(0, channels::SendFailure::kTransient, "ricerca incompleta: " + what);
}

channels::SendResult TDM1::InviaSmsWhtsLista(SendState& send,
                                             const std::vector<std::string>& list,
                                             bool bool_futurland) {
  const std::vector<std::string> testoLinee{CrLfToBlank(send.TestoInvioSMS)};
  KindReport& kind = run_.report.Of(send.kind);
  // A channel that went out earlier today (run journal) is left out.
  const bool send_sms = send.sendSms && send.channels_left.sms;
  const bool send_whatsapp = send.sendWhtsB && send.channels_left.whatsapp;
  channels::SendResult sent;
  // Each channel is tried on its own: a failure of one costs only its own
  // messages, and each counts as failed with the reason it failed for. The
  // lines each channel handed over at an earlier attempt of today:
  const std::set<std::string> sms_done =
      send_sms ? journal_.DeliveredLines(send.kind, JournalChannel::kSms) : std::set<std::string>();
  const std::set<std::string> whatsapp_done =
      send_whatsapp ? journal_.DeliveredLines(send.kind, JournalChannel::kWhatsApp)
                    : std::set<std::string>();
  const auto guard = [&](JournalChannel name, channels::SendResult& channel,
                         const std::set<std::string>& done, auto deliver) {
    const ChannelLines pending(send.lists, list, done);
    if (pending.LeftOut() > 0) {
      log_.WriteLog(std::string("Invio ") + KindName(send.kind) + " " + JournalChannelName(name) +
                    ": destinatari già serviti oggi, non ripetuti: " +
                    std::to_string(pending.LeftOut()));
    }
    if (!pending.Lines().empty()) {
      RunRecorder& report = Channels().Report();
      const std::size_t told = report.LineCount();
      try {
        const channels::SendResult result = deliver(pending.Lines());
        report.PendingEnded(LineOutcomeOf(result, CBTest), result.reason);
        journal_.LinesDelivered(send.kind, name, pending.HandedOver(result.held_back));
        channel.Add(result);
        sent.Add(result);
      } catch (const platform::Error& e) {
        report.PendingEnded(LineOutcomeOf(FailureOf(e)), e.what());
        if (report.LineCount() == told)
          ReportUnsent(LineChannelOf(name), pending.Lines(), LineOutcomeOf(FailureOf(e)), e.what());
        log_.WriteLog(e.what());
        channels::SendResult failed;
        failed.Fail(static_cast<int>(pending.Lines().size()), FailureOf(e), e.what());
        channel.Add(failed);
        sent.Add(failed);
      }
    }
    journal_.ChannelDone(send.kind, name, channel);
  };
  // Nothing left for either channel: no account check either.
  const int sms_left = send_sms ? static_cast<int>(NotHandedOver(list, sms_done)) : 0;
  const int whatsapp_left =
      send_whatsapp ? static_cast<int>(NotHandedOver(list, whatsapp_done)) : 0;
  if ((sms_left > 0 || whatsapp_left > 0) && !CBTest) {
    try {
      Channels().Sms().VerificaUtenteSMS(false);
    } catch (const platform::Error& e) {  // the gateway or its transport
      // Both channels spend the same credit: without the account nothing goes.
      log_.WriteLog(e.what());
      const auto fail = [&](JournalChannel name, channels::SendResult& channel, int count) {
        const std::set<std::string>& done = name == JournalChannel::kSms ? sms_done : whatsapp_done;
        std::vector<std::string> unsent;
        for (const std::string& line : list) {
          if (done.count(RecipientKey(line)) == 0) unsent.push_back(line);
        }
        ReportUnsent(LineChannelOf(name), unsent, LineOutcomeOf(FailureOf(e)), e.what());
        channels::SendResult failed;
        failed.Fail(count, FailureOf(e), e.what());
        channel.Add(failed);
        sent.Add(failed);
        journal_.ChannelDone(send.kind, name, channel);
      };
      if (send_sms) fail(JournalChannel::kSms, kind.sms, sms_left);
      if (send_whatsapp) fail(JournalChannel::kWhatsApp, kind.whatsapp, whatsapp_left);
      return sent;
    }
  }
  if (send_sms) {
    guard(JournalChannel::kSms, kind.sms, sms_done, [&](const std::vector<std::string>& lines) {
      if (lines.size() == 1) {
        practice::TLineRec rec;
        ParseLineRec(rec, lines.front());
        return Channels().Sms().SendSingleSmS(rec, testoLinee);
      }
      return Channels().Sms().MultiSendSms(lines, testoLinee, bool_futurland);
    });
  }
  if (send.sendWhts) {
    // The hand-off to the WhatsApp program: refused without an operator.
    const std::size_t told = Channels().Report().LineCount();
    const channels::SendResult manual = Channels().ManualWhatsApp().MultiSendWhts(list, testoLinee);
    if (manual.failed > 0 && Channels().Report().LineCount() == told) {
      ReportUnsent(channels::LineChannel::kWhatsApp, list, LineOutcomeOf(manual.failure),
                   manual.reason);
    }
    sent.Add(manual);
  }
  if (send_whatsapp) {
    guard(JournalChannel::kWhatsApp, kind.whatsapp, whatsapp_done,
          [&](const std::vector<std::string>& lines) {
            return Channels().WhatsAppTemplates().MultiSendWhtsB(lines);
          });
  }
  return sent;
}

void TDM1::InviaEmailLista(const SendState& send, const std::vector<std::string>& list) {
  channels::SendResult& email = run_.report.Of(send.kind).email;
  // Emails go one message per recipient: after a failure that may pass, a
  // later attempt of the day sends only to the recipients not yet served.
  const std::set<std::string> served = journal_.DeliveredEmails(send.kind);
  std::vector<std::string> lines;
  std::vector<std::string> keys;
  for (const std::string& line : list) {
    std::string key = RecipientKey(line);
    if (served.count(key) != 0) continue;
    lines.push_back(line);
    keys.push_back(std::move(key));
  }
  if (lines.size() < list.size()) {
    log_.WriteLog("Email già inviate oggi, non ripetute: " +
                  std::to_string(list.size() - lines.size()));
  }
  if (lines.empty()) return;
  const int count = static_cast<int>(lines.size());
  AtExit disconnect([this] { Disconnect(); });
  RunRecorder& report = Channels().Report();
  if (CBTest) {
    ReportEmails(EmailSettingsConnection(), send, lines);
    report.PendingEnded(channels::LineOutcome::kToSend, "");
    log_.WriteLog("Modalità test, email non inviate a:\r\n" + channels::JoinLines(lines));
    return;
  }
  try {
    practice::Connection& config = EmailSettingsConnection();
    const std::vector<std::size_t> numbers = ReportEmails(config, send, lines);
    journal_.DeliveringEmail(send.kind);
    const EmailBatchOutcome outcome =
        Channels().Email().InviaEmailCircolare(config, lines, send.NomeEmailInvio);
    for (std::size_t i = 0; i < numbers.size() && i < outcome.errors.size(); ++i) {
      if (!outcome.errors[i].empty()) {
        report.Ended(numbers[i], channels::LineOutcome::kError, outcome.errors[i]);
      }
    }
    report.PendingEnded(channels::LineOutcome::kSent, "");
    std::vector<std::string> sent;
    std::vector<std::string> sent_lines;
    for (std::size_t i = 0; i < lines.size() && i < outcome.delivered.size(); ++i) {
      if (!outcome.delivered[i]) continue;
      sent.push_back(keys[i]);
      sent_lines.push_back(lines[i]);
    }
    journal_.EmailsDelivered(send.kind, sent);
    email.Add(outcome.result);
    // The lines whose message went out; the sender has logged the others.
    if (!sent.empty()) log_.WriteLog("Invio Email a:\r\n" + channels::JoinLines(sent_lines));
  } catch (const platform::Error& e) {  // the database, the journal, the settings
    report.PendingEnded(channels::LineOutcome::kError, e.what());
    email.Fail(count, FailureOf(e), e.what());
    journal_.ChannelDone(send.kind, JournalChannel::kEmail, email);
    throw;
  }
  journal_.ChannelDone(send.kind, JournalChannel::kEmail, email);
}

void TDM1::ReportLeftOut(std::vector<std::string>& left_out) {
  RunRecorder& report = Channels().Report();
  for (const std::string& entry : left_out) {
    const auto [who, reason] = SplitLeftOut(entry);
    report.LeftOut(channels::LineChannel::kNone, who, reason);
  }
  left_out.clear();
}

void TDM1::ReportUnsent(channels::LineChannel channel, const std::vector<std::string>& lines,
                        channels::LineOutcome outcome, const std::string& why) {
  RunRecorder& report = Channels().Report();
  for (const std::string& line : lines) {
    practice::TLineRec rec;
    ParseLineRec(rec, line);
    if (rec.Cellulare.empty() || rec.Cellulare.find('@') != std::string::npos) continue;
    report.Ended(report.Composed(channel, channels::PersonLabel(rec), ""), outcome, why);
  }
}

std::vector<std::size_t> TDM1::ReportEmails(practice::Connection& config, const SendState& send,
                                            const std::vector<std::string>& lines) {
  RunRecorder& report = Channels().Report();
  std::vector<std::size_t> numbers;
  numbers.reserve(lines.size());
  try {
    Channels().Email().Compose(config, lines, send.NomeEmailInvio, [&](const ComposedEmail& email) {
      numbers.push_back(
          report.Composed(channels::LineChannel::kEmail, email.recipient, email.text));
    });
  } catch (const platform::Error& e) {
    // The report then holds the lines without their text; the send decides.
    log_.WriteLog(std::string("Testi delle email non composti per il rapporto: ") + e.what());
  }
  for (std::size_t i = numbers.size(); i < lines.size(); ++i) {
    numbers.push_back(report.Composed(channels::LineChannel::kEmail, lines[i], ""));
  }
  return numbers;
}

practice::Connection& TDM1::EmailSettingsConnection() {
  // The run's search object keeps the configuration database connected for
  // the whole send: the email settings are read through that connection
  // rather than a second one, which would cost its own page cache (some
  // megabytes) and an attachment.
  if (AgImp && AgImp->FDConnectionConfig().Connected()) return AgImp->FDConnectionConfig();
  IBDatabaseConfig.Open();
  return IBDatabaseConfig;
}

void TDM1::ReleaseAgImp() noexcept {
  if (AgImp) channels_->RecordLinks();
  AgImp.reset();
}

practice::TAgImp& TDM1::EnsureAgImp() {
  if (!AgImp) AgImp = std::make_unique<practice::TAgImp>(catalogue_, log_, clock_, elapsed_, *this);
  return *AgImp;
}

}  // namespace oxsms::dispatch
