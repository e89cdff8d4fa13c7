// `TDM1`: the send-orchestration object. It holds every stored setting of the
// reminder service in plain fields (TDM1Settings, under TDM1Fields with the
// host's flags and the gateway's figures) and the connection to the suite's
// configuration database, and reloads the settings from there at every timer
// tick. The daily run keeps the state of each send apart (SendState, one per
// kind of message) and that of the run as a whole (RunState).
//
// The settings come from two stores: the settings document (encrypted JSON in
// IMP_CLINICA.GDB_SMS, the normal store) and the legacy registry key, read
// only while no document exists and then migrated into a new one. Section
// "sms" of config.ini gives a few values once, at creation.
//
// One object per process, created by the service host at its first tick and
// kept; only the service thread touches it. The configuration connection is
// opened and closed within each reload or save.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dispatch/journal_gate.h"
#include "dispatch/orario.h"
#include "dispatch/run_parts.h"
#include "dispatch/run_report.h"
#include "dispatch/send_state.h"
#include "dispatch/send_wiring.h"
#include "dispatch/settings_store.h"
#include "dispatch/sms_section.h"
#include "dispatch/tdm1_fields.h"
#include "platform/activity_log.h"
#include "platform/clock.h"
#include "platform/monotonic_clock.h"
#include "platform/registry.h"
#include "practice/agimp.h"
#include "practice/catalogue_context.h"
#include "practice/connection.h"
#include "practice/search_host.h"

namespace oxsms::dispatch {

class TDM1 : public TDM1Fields, public practice::SearchHost {
 public:
  // Applies the defaults, reads section "sms" of config.ini, switches the
  // log's time separator to '.', and reloads the settings once (with
  // AsService still false, so a missing document is created from the
  // registry or from the defaults). An error of that reload (configuration
  // database unreachable, document unreadable) leaves the constructor: the
  // object is not created and the host tries again at its next tick.
  //
  // Everything referenced must outlive the object: `catalogue` (home folder
  // with config.ini, installation values, cloud session), `log`, `clock`
  // ("today"), `registry` (the legacy key, read only), the objects of
  // `parts` (the HTTP client, operator and senders of the run's channels).
  TDM1(const practice::CatalogueContext& catalogue, platform::ActivityLog& log,
       const platform::Clock& clock, const platform::Registry& registry, RunParts parts);
  ~TDM1() override;
  TDM1(const TDM1&) = delete;
  TDM1& operator=(const TDM1&) = delete;

  // Reloads the settings. Returns false only when running as a service, no
  // document exists yet and the machine-wide registry key cannot be opened
  // (the reason is logged); the caller then skips its work. Raises
  // practice::DatabaseError when the configuration database cannot be
  // reached or read, SettingsError when the stored document cannot be
  // decrypted or parsed, ConversionError for a stored time that is no valid
  // time.
  bool ReadConnect();

  // Writes the settings document from the fields into the first row of
  // IMP_CLINICA (a new row when there is none), then disconnects. Does
  // nothing while DontSave is set. Raises practice::DatabaseError when the
  // row cannot be written.
  void SaveConnect();

  // Runs one statement on the configuration connection and commits; every
  // error is ignored.
  void EseguiSQL(const std::string& sql);

  // Recomputes isLinkPag from the payment-link module row (IMP_MODULE, ID 31)
  // and the payment accounts (LINKPAG): 1 only when NUM_AUTOMATICA is 1 and
  // an account exists, else 2. Errors are dropped; isLinkPag then keeps what
  // it had reached. Opens IBDatabaseConfig when it is closed and leaves it
  // open: ReadConnect, its caller, closes it.
  void FDQueryLinkConfAfterOpen();

  // --- the daily send run (daily_run.cpp) ---

  // `InviaDaServizio`: the daily run: reminders, advance notice and
  // payment-link message, birthdays, low-credit warning, control SMS, each
  // when switched on and due today (by the clock). An error of one send is
  // logged and the run goes on; an error outside the sends (a day digit of
  // giorniinvio that is no digit, a failed birthday search) is logged and
  // ends the run, raised to the caller. AgImp is released at the end.
  void InviaDaServizio();

  // `EffettuaInvio`: the send `send`, current for its duration (see
  // ActiveSend). Searches the appointments of its DataRicerca..DataRicerca1
  // when its listCell is empty ("Nessun invio per il <date>" when there are
  // none), then hands the phone lines to the SMS and WhatsApp senders and,
  // when its sendEmail is on, the email lines to the email subsystem. `str`
  // names the kind in the control summary; `bool_futurland` is not used.
  // Releases AgImp once it reaches the sending stage. Raises what the search
  // set-up and the email batch raise.
  void EffettuaInvio(SendState& send, const std::string& str, bool bool_futurland);

  // `InviaSmsWhtsLista`: a phone batch of `send` to the SMS gateway (after
  // the credit check, unless CBTest) and to the WhatsApp templates, by its
  // channel flags. Errors of the senders are logged, not raised; each
  // channel is tried on its own. Returns what went out over both channels,
  // also added to the run's report of the kind.
  // A channel sends only the lines it has not handed over at an earlier
  // attempt of today (run journal).
  channels::SendResult InviaSmsWhtsLista(SendState& send, const std::vector<std::string>& list,
                                         bool bool_futurland);

  // `InviaEmailLista`: an email batch of `send` as one circular with its
  // typical message NomeEmailInvio, over the configuration database
  // (connected for the call). Raises what connecting and the delivery raise.
  void InviaEmailLista(const SendState& send, const std::vector<std::string>& list);

  // The run journal to keep (nullptr: none, the default) and whether runs
  // are forced (--force: every kind runs, whatever the journal holds).
  void UseJournal(platform::RunJournal* journal, bool force) { journal_.Use(journal, force); }
  // True when runs keep the journal: one is set and the test mode is off.
  bool KeepsJournal() const { return journal_.Configured() && !CBTest; }

  // What the last (or current) daily run came to, kind by kind.
  const RunReport& LastRun() const { return run_.report; }

  // `AgImp`, the run's shared search object, created when absent. Raises
  // practice::DatabaseError when the configuration database cannot be
  // connected.
  practice::TAgImp& EnsureAgImp();
  // Ends the run's search object, once the payment links given to messages
  // are recorded through it (SendWiring::RecordLinks). Never raises.
  void ReleaseAgImp() noexcept;
  std::unique_ptr<practice::TAgImp> AgImp;

  // The channels of the run over the parts given at creation.
  SendWiring& Channels() { return *channels_; }

  // One queued link bookkeeping write of the run's search object: the work
  // the owner of the HTTP client gives it for its waits. False when there is
  // no search object or nothing is queued.
  bool WriteQueuedBookkeeping() { return AgImp != nullptr && AgImp->WriteOnePending(); }

  static platform::TDateTime StrToOrario(std::string_view text) {
    return dispatch::StrToOrario(text);
  }
  static std::string OrarioToStr(platform::TDateTime time) { return dispatch::OrarioToStr(time); }

  // `IBDatabaseConfig`: the configuration database.
  practice::Connection IBDatabaseConfig;

  // Set at creation: the suite's desktop programs ("MesaD.exe" or
  // "MesaFE.exe") stand in the home folder, so the configuration database is
  // the file "config.fdb" of the suite's folder layout.
  bool SuiteDesktopPresent = false;

  // practice::SearchHost, over the settings and the send in progress.
  practice::Connection& ConfigDatabase() override { return IBDatabaseConfig; }
  bool FolderLayout() const override { return SuiteDesktopPresent; }
  std::string ExtraPatientFiles() const override { return UserConnect.ListaFile; }
  std::string ExcludedAgendaTables() const override { return TabAgEscluse; }
  int32_t PaymentLinkState() const override { return isLinkPag; }
  bool SkipZeroFees() const override { return send_in_progress.Current().eliminaIncassiNulli; }
  // A run that keeps a report lists the patients its searches leave out.
  int16_t VisualMode() const override { return lists_left_out_ ? 1 : IsVisual; }
  practice::RecipientLists& Batch() override { return send_in_progress.Current().lists; }

 private:
  // Writes the payment links kept for agenda rows that could not be written
  // at an earlier run, when there are any (not in test mode).
  void RecordKeptPaymentLinks();
  // After a search of the kind in progress that could not read `unread`
  // (see TAgImp::Unread): logged, the kind failed for a reason that may
  // pass and its search marked incomplete, and the control SMS told once
  // (`str` names the kind there).
  void NoteUnread(const std::vector<std::string>& unread, const std::string& str);
  // The patients the last search left out (listScartiSms), told to the
  // run's report and taken off the list.
  void ReportLeftOut(std::vector<std::string>& left_out);
  // The phone lines of `lines` that a channel could not send before
  // composing them (the account check, the batch refused before it was
  // made, the manual hand-off without an operator): told to the run's
  // report with `outcome` and `why`.
  void ReportUnsent(channels::LineChannel channel, const std::vector<std::string>& lines,
                    channels::LineOutcome outcome, const std::string& why);
  // The lines of the email batch `lines`, composed as they would go and told
  // to the report; returns each line's number there.
  std::vector<std::size_t> ReportEmails(practice::Connection& config, const SendState& send,
                                        const std::vector<std::string>& lines);
  // The connection the email batch reads its settings through: the search
  // object's to the configuration database while it is connected, else
  // IBDatabaseConfig, opened here (Disconnect closes it).
  practice::Connection& EmailSettingsConnection();
  void DataModuleCreate();
  void DataModuleDestroy();

  // Steps of the daily run (daily_run.cpp).
  void SendAppointmentKinds(platform::TDateTime today, int weekday);
  void SendBirthdays(platform::TDateTime today, int weekday);
  void AddCreditWarning();
  void SendControlSms();
  // Runs one send; an error of the ordinary family is logged, counted in the
  // current kind's report and dropped.
  template <typename Send>
  void Guarded(Send send);
  // Runs `body` as the kind of `send` on the channels the journal leaves it
  // (set into `send`); a kind the journal has no channel left for is skipped.
  template <typename Body>
  void SendKindOnce(SendState& send, Body body);
  // The run's report of the kind now being sent (made current by BeginKind).
  KindReport& BeginKind(SendKind kind);
  KindReport& CurrentKind();

  // Configures IBDatabaseConfig: "config.fdb" of the folder layout, or the
  // section "Database" of config.ini.
  void PrepareConfigConnection();
  // Runs the settings query, adding the GDB_SMS column when it is missing.
  SettingsRow OpenSettingsQuery();
  // No document yet: takes the registry's values (or the defaults) and saves
  // them as the first document. False when the service cannot open the key.
  bool MigrateFromRegistry();
  void ApplyStoredDocument(const std::string& sealed);
  // An empty reminder text is taken back from the registry, and saved.
  void RepairReminderText();
  void Disconnect();

  const practice::CatalogueContext& catalogue_;
  platform::ActivityLog& log_;
  const platform::Clock& clock_;
  // The elapsed time of the search object's windows.
  const platform::MonotonicClock& elapsed_;
  const platform::Registry& registry_;
  std::unique_ptr<SendWiring> channels_;
  // The daily run in progress, or the last one.
  RunState run_;
  JournalGate journal_{log_};
  // Set when a report is kept: the searches list the patients left out.
  bool lists_left_out_ = false;
};

}  // namespace oxsms::dispatch
