// `TAgImp`: the data-access object of a send run. It holds the connection to
// the configuration database, the agenda databases with the agenda tables of
// each, the patient databases, and the working lists of the appointment
// search; its searches fill the batch lists of the send orchestration
// (through SearchHost).
//
// The database sets are opened at the first search that needs them and stay
// open, statements prepared per search, until the object is destroyed; a later
// search reuses them and does not see catalogue changes. Each search ends with
// a commit, so long-lived connections never hold a stale snapshot. The link
// bookkeeping (a few statements per recipient) keeps its statements prepared
// for the life of the connection. Its writes are queued and run in the order
// recorded: a step at a time while the send waits for the link services'
// replies (WriteOnePending), and what is left before any other statement of
// the object, when the first is kPendingWindow old, and when the object is
// destroyed. (Run one by one between the requests they cost several times
// more.) Their units are committed together, at most Connection::kUnitWindow
// apart, and when the object is destroyed.
//
// Only the service thread uses the object; it takes no lock.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/activity_log.h"
#include "platform/clock.h"
#include "platform/date_time.h"
#include "platform/ini_file.h"
#include "practice/agenda_row_key.h"
#include "practice/catalogue_context.h"
#include "practice/connection.h"
#include "practice/recipient_records.h"
#include "practice/search_host.h"
#include "practice/short_link_day.h"

namespace soci {
class row;
}

namespace oxsms::practice {

// The error of a search that has no patient database to look in.
inline constexpr const char* kNoPatientDatabase = "Nessun file pazienti aperto";

class PatientLookup;
struct PatientContact;

// `ParseLineRec` of the send orchestration: fills a record from a recipient
// line; parts missing from the line keep the record's values.
using LineParser = std::function<void(TLineRec& rec, std::string_view line)>;

// A patient database of `listDB`. `tag` is 1 when its settings version
// (IMPOSTAZIONI.versione of id 0) is 192 or later: ANAGRAFICA then has the
// second mobile number and the second email address.
struct PatientDatabase {
  std::unique_ptr<Connection> connection;
  int tag = 0;
};

class TAgImp {
 public:
  // `Create`: today's date as `DataRicerca`, config.ini opened, and the
  // configuration database connected (the suite's "config.fdb" in the folder
  // layout, else section "Database" of config.ini). Raises DatabaseError
  // "<driver message> File: <database>" when it cannot be connected. The
  // referenced objects must outlive this one.
  TAgImp(const CatalogueContext& ctx, platform::ActivityLog& log, const platform::Clock& clock,
         SearchHost& host);
  // `Destroy`: commits the link bookkeeping (CommitBookkeeping) and closes
  // every connection.
  ~TAgImp();
  TAgImp(const TAgImp&) = delete;
  TAgImp& operator=(const TAgImp&) = delete;

  // First and last day of the search range; the caller sets them before each
  // search (`DataRicerca1` is 0 until then).
  platform::TDateTime DataRicerca = 0;
  platform::TDateTime DataRicerca1 = 0;

  // --- searches ---

  // `RicercaAppunt`: the appointments from `DataRicerca` to `DataRicerca1` in
  // every agenda table that is not excluded, one per patient (the earliest
  // time of day), turned into recipient lines by CercaContattiPazienti. The
  // batch lists are emptied first. Never raises: an error ends the search and
  // its message goes to the activity log; what was collected stays.
  void RicercaAppunt(bool trovaSms, bool trovaEmail);

  // `RicercaCompleanni`: appends a recipient line for each usable contact of
  // every patient whose birthday lies in the range. The batch lists are not
  // emptied. Raises DatabaseError kNoPatientDatabase when no patient database
  // is open; query errors reach the caller too.
  void RicercaCompleanni(bool trovaSms, bool trovaEmail);

  // --- payment data and links recorded in the agenda ---

  // `AnalizzaIncassi`: for an interactive front end that gathered recipient
  // lines by other means. Empties `listCellIncassi` and gives it one entry
  // per line of `listCell` (CercaIncasso's, or a new record), then assigns
  // each entry with an amount its patient database: the first whose
  // IMPOSTAZIONI.fileguid equals the entry's fileguid and whose ANAGRAFICA
  // has the badge. Agenda sets that cannot be opened, a patient database
  // that cannot be connected and a failing badge lookup raise DatabaseError.
  void AnalizzaIncassi(const LineParser& parse_line);

  // `CercaIncasso`: appends to `listCellIncassi` the payment data of the
  // agenda row of `line` (its table, date and time) that has an amount and
  // no payment link yet, from the first agenda database that has one; true
  // when it appended. A database that fails counts as not having the row; a
  // date or time that cannot be read gives false. Raises only when the
  // agenda sets cannot be opened.
  bool CercaIncasso(const TLineRec& line);

  // `SalvaLinkPag`: records a created payment link: its identifier in the
  // agenda row of `rec` in every agenda database (a row that has a link
  // keeps it), and, when `IncassoRec` names a patient database, a tipo 14
  // entry of the amount in the patient's accounts (at most one per link).
  // Does nothing for an empty identifier or one ending in "-1". Written and
  // committed at once, with what was queued before it: a payment link exists
  // at the service as soon as it is created, and a run cut short after this
  // call must find it recorded rather than create another. Never raises; a
  // write that fails is logged.
  void SalvaLinkPag(const TLineRec& rec, const TPazRec& IncassoRec);

  // `getLinkBreve`: looks up the short-link code stored for the appointment
  // of `rec`, in the agenda databases in order. Found: `id_web`, `link_exist`
  // true and `link_conferma` "https://<link_host>/c/<id_web>"; not found:
  // `id_web` empty and `link_exist` false. ":" in `rec.Ora` becomes ".".
  // Never raises. `link_host` is the host part of the link service address.
  void getLinkBreve(TLineRec& rec, const std::string& link_host);

  // `SalvaLinkBreve`: stores `rec.id_web` in the agenda row of `rec` in
  // every agenda database where that row has no code yet. Does nothing when
  // `rec.link_exist` is set or `id_web` is empty. Never raises; a write that
  // fails everywhere is logged.
  void SalvaLinkBreve(const TLineRec& rec);

  // Writes the queued link bookkeeping (SalvaLinkBreve, SalvaLinkPag) and
  // commits what it has left uncommitted on the agenda and patient
  // databases, so other programs see the last codes after this call (or the
  // object's end). Never raises; a write or commit that fails is logged.
  void CommitBookkeeping() noexcept;

  // Runs the oldest queued write of the link bookkeeping; false when there
  // was none. For the time a send waits for the link services' replies.
  // Never raises; does nothing while the queue is being written.
  bool WriteOnePending() noexcept;

  // The queue of link bookkeeping is written when it holds this many writes
  // or its first write is this old.
  static constexpr std::size_t kPendingLimit = 1024;
  static constexpr std::chrono::milliseconds kPendingWindow{500};

  // --- database sets ---

  // `ApriAgende`: fills `listDBAg` and `listAgFile` when `listDBAg` is empty,
  // else does nothing. `listAgFile` has exactly one table list per agenda
  // database. On an error the sets are emptied again (so the next search
  // tries anew) and the error is raised.
  void ApriAgende();
  // `ApriFilePazienti`: fills `listDB` when it is empty, else does nothing.
  // Patient databases that cannot be connected are left out without report.
  void ApriFilePazienti();
  // `AggiungiAgenda`: adds the agenda database of a location text (account
  // as given; a Firebird location gets "SYSDBA" and the default password).
  void AggiungiAgenda(const std::string& location, const std::string& user,
                      const std::string& pwd);
  // `CaricaFileGruppi`: adds the group agendas named in section "File Gruppi"
  // of the first agenda database's settings (all but the first entry). Does
  // nothing when that database cannot be connected or has no settings.
  void CaricaFileGruppi();
  // `CaricaTabelleAgenda`: appends the agenda table list of database `index`
  // to `listAgFile` (an empty list when the database has no settings row).
  // Raises DatabaseError "<driver message> File: <database>" when it cannot
  // be connected.
  bool CaricaTabelleAgenda(std::size_t index, bool folder_layout);

  // Connects a patient database; a failure is logged with its cause and
  // gives false.
  bool ConnectOrLog(Connection& patients);

  // --- steps of the searches ---

  // `CercaAppuntamentiTabella`: one agenda table's rows of the range into the
  // working lists. A table name that is not a plain identifier is skipped
  // with a log line.
  void CercaAppuntamentiTabella(const std::string& line, std::size_t n);
  // CercaAppuntamentiTabella, with a database error (a missing table, a lost
  // link) logged with the table's name instead of ending the search: the
  // other tables are still read.
  void SearchTableOrLog(const std::string& line, std::size_t n);
  // `CercaContattiPazienti`: looks every pending patient of `listApp` up in
  // the patient databases, in order; a served patient's entry is emptied.
  void CercaContattiPazienti();
  // `CercaContatti`: patient `i` of `listApp` in patient database `k`.
  void CercaContatti(std::size_t k, std::size_t i);
  // `CercaCompleanniFile`: the birthdays of patient database `k`.
  void CercaCompleanniFile(std::size_t k);

  // --- state, for the searches' callers and the bookkeeping of links ---

  Connection& FDConnectionConfig() { return *config_; }
  // Tells one search object from another, also one made where an earlier
  // one was freed: what callers keep for a send run is keyed by it.
  std::uint64_t Serial() const { return serial_; }
  const std::vector<std::unique_ptr<Connection>>& listDBAg() const { return agendas_; }
  const std::vector<std::vector<std::string>>& listAgFile() const { return agenda_tables_; }
  const std::vector<PatientDatabase>& listDB() const { return patients_; }
  const std::vector<std::string>& listApp() const { return list_app_; }
  const std::vector<std::string>& list_id_agenda() const { return list_id_agenda_; }
  const std::vector<TPazRec>& listIncassi() const { return list_incassi_; }
  bool FtrovaSms() const { return trova_sms_; }
  bool FtrovaEmail() const { return trova_email_; }

 private:
  void OpenAgendaSets();
  void AddMainAgendaFromCatalogue();
  void AddAgendasFromSmsConf();
  std::string AgendaAccountUser() const;
  std::string AgendaAccountPassword() const;
  void AddPatientDatabasesFromCatalogue();
  void AddPatientDatabasesFromList();
  void KeepAppointment(const soci::row& row, const std::string& line, bool payment_columns);
  void ServeContact(const PatientContact& patient, const PatientDatabase& database,
                    std::size_t k, std::size_t i);
  void EmptyEntry(std::size_t i);
  void Discarded(const std::string& surname, const std::string& first_name,
                 const char* reason);

  // An update of one column of the agenda row of a recipient line.
  struct AgendaUpdate {
    const char* operation;   // for the log line
    std::string table;       // plain, upper case
    const char* value_name;  // the parameter holding `value`
    std::string value;
    AgendaRowKey key;
  };
  std::string BookkeepingTable(const std::string& id_agenda, const char* operation);
  bool OpenAgendasQuietly(const char* operation, bool log_failure);
  // Runs the update on every agenda database; true when it ran somewhere.
  bool UpdateAgendaRows(const std::string& sql, const AgendaUpdate& update);
  static void EndUnitQuietly(Connection& connection) noexcept;
  bool FindFeeIn(Connection& agenda, const std::string& table, const AgendaRowKey& key);
  // Queues one write of the link bookkeeping; writes the queue when it is
  // full or old enough.
  void Defer(std::function<void()> write);
  // Runs the queued writes in the order queued. Called before any other
  // statement of the object, so nothing reads past a queued write.
  void WritePending() noexcept;
  void RunWrite(const std::function<void()>& write) noexcept;
  void WriteLinkPayment(const std::string& table, const TLineRec& rec, const TPazRec& IncassoRec);
  void AssignPatientDatabase(std::size_t k);
  void RecordLinkPayment(const TPazRec& IncassoRec);
  static std::string RecordedLinkKey(const std::string& table, const TLineRec& rec,
                                     const TPazRec& IncassoRec);
  Connection* PatientDatabaseOf(const TPazRec& IncassoRec);
  // The identifier of an open patient database, read once per search object.
  const std::string& FileguidOf(Connection& patients);
  std::string FindShortLink(Connection& agenda, const std::string& table,
                            const AgendaRowKey& key);
  // The table's short-link codes of the day in `agenda`, read at the first
  // need; nullptr when the database has no such table.
  ShortLinkDay* ShortLinksOfDay(Connection& agenda, const std::string& table, const std::tm& day);

  static std::uint64_t NextSerial() {
    static std::atomic<std::uint64_t> last{0};
    return ++last;
  }

  const std::uint64_t serial_ = NextSerial();
  const CatalogueContext& ctx_;
  platform::ActivityLog& log_;
  const platform::Clock& clock_;
  SearchHost& host_;
  std::unique_ptr<platform::IniFile> inif_;
  std::unique_ptr<Connection> config_;

  std::vector<std::string> list_app_;
  std::vector<std::string> list_id_agenda_;
  std::vector<TPazRec> list_incassi_;
  // Position in list_app_ of each pending badge.
  std::unordered_map<std::string, std::size_t> app_by_badge_;

  std::vector<PatientDatabase> patients_;
  std::vector<std::unique_ptr<Connection>> agendas_;
  std::vector<std::vector<std::string>> agenda_tables_;

  // The short-link codes of a day, by agenda database, table and day; none
  // where the database has no such table.
  std::map<std::tuple<const Connection*, std::string, long long>, std::optional<ShortLinkDay>>
      short_link_days_;

  // The payment links SalvaLinkPag has recorded completely (agenda row and
  // accounts), by everything that decides what it writes.
  std::unordered_set<std::string> recorded_links_;
  std::deque<std::function<void()>> pending_;
  std::chrono::steady_clock::time_point pending_since_;
  bool writing_ = false;
  std::unordered_map<const Connection*, std::string> fileguids_;
  // The patient code the contact lookup read, by patient database and badge.
  std::map<std::pair<const Connection*, std::string>, std::optional<int>> patient_codes_;

  bool trova_sms_ = false;
  bool trova_email_ = false;
};

}  // namespace oxsms::practice
