// `TAgImp`: the data-access object of a send run, and the face its callers
// use. It owns its parts and forwards to them:
// - DatabaseSets (database_sets.h): the configuration connection, the agenda
//   databases with their tables, the patient databases;
// - RecipientSearch (recipient_search.h): the appointment search with the
//   contact lookup, and the birthday search, with their working lists;
// - LinkBookkeeping (link_bookkeeping.h): the payment-due scan and the links
//   recorded in the agenda and the patients' accounts, with the queue of its
//   writes (deferred_writes.h) and the day's short-link codes;
// - CommitWindow (commit_window.h): the units of work of the bookkeeping,
//   committed together, and the checks of their connections' links.
//
// The queued writes of the bookkeeping are run before any other statement of
// the object (each search and scan starts with them), and what is left of
// them is written and committed when the object is destroyed.
//
// Only the service thread uses the object; it takes no lock. The referenced
// objects must outlive it.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/activity_log.h"
#include "platform/clock.h"
#include "platform/date_time.h"
#include "platform/monotonic_clock.h"
#include "practice/catalogue_context.h"
#include "practice/commit_window.h"
#include "practice/connection.h"
#include "practice/database_sets.h"
#include "practice/deferred_writes.h"
#include "practice/link_bookkeeping.h"
#include "practice/patient_codes.h"
#include "practice/recipient_records.h"
#include "practice/recipient_search.h"
#include "practice/search_host.h"

namespace oxsms::practice {

class TAgImp {
 public:
  // `Create`: today's date as `DataRicerca`, config.ini opened, and the
  // configuration database connected (the suite's "config.fdb" in the folder
  // layout, else section "Database" of config.ini). Raises DatabaseError
  // "<driver message> File: <database>" when it cannot be connected.
  // `clock` gives the dates; `elapsed` measures the bookkeeping's windows.
  TAgImp(const CatalogueContext& ctx, platform::ActivityLog& log, const platform::Clock& clock,
         const platform::MonotonicClock& elapsed, SearchHost& host);
  // `Destroy`: commits the link bookkeeping (CommitBookkeeping) and closes
  // every connection.
  ~TAgImp() { CommitBookkeeping(); }
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
  void RicercaAppunt(bool trovaSms, bool trovaEmail) {
    bookkeeping_.WritePending();
    bookkeeping_.RecordKeptLinks();
    search_.RicercaAppunt(Range(), trovaSms, trovaEmail);
  }

  // `RicercaCompleanni`: appends a recipient line for each usable contact of
  // every patient whose birthday lies in the range. The batch lists are not
  // emptied. Raises DatabaseError kNoPatientDatabase when no patient database
  // is open; query errors reach the caller too.
  void RicercaCompleanni(bool trovaSms, bool trovaEmail) {
    bookkeeping_.WritePending();
    search_.RicercaCompleanni(Range(), trovaSms, trovaEmail);
  }

  // Writes the payment links kept because their agenda row could not be
  // written when they were made (see UnrecordedLinks); done once per object,
  // also by the first search. Never raises; a row still out of reach is
  // logged and its link kept.
  void RecordKeptLinks() { bookkeeping_.RecordKeptLinks(); }

  // What the last search could not read (agenda tables, patient databases,
  // the error that ended it): its lines may lack recipients. Empty when it
  // read everything.
  const std::vector<std::string>& Unread() const { return search_.Unread(); }

  // --- payment data and links recorded in the agenda ---

  // `AnalizzaIncassi`: for an interactive front end that gathered recipient
  // lines by other means. Empties `listCellIncassi` and gives it one entry
  // per line of `listCell` (CercaIncasso's, or a new record), then assigns
  // each entry with an amount its patient database: the first whose
  // IMPOSTAZIONI.fileguid equals the entry's fileguid and whose ANAGRAFICA
  // has the badge. Agenda sets that cannot be opened, a patient database
  // that cannot be connected and a failing badge lookup raise DatabaseError.
  void AnalizzaIncassi(const LineParser& parse_line) { bookkeeping_.AnalizzaIncassi(parse_line); }

  // `CercaIncasso`: appends to `listCellIncassi` the payment data of the
  // agenda row of `line` (its table, date and time) that has an amount and
  // no payment link yet, from the first agenda database that has one; true
  // when it appended. A database that fails counts as not having the row; a
  // date or time that cannot be read gives false. Raises only when the
  // agenda sets cannot be opened.
  bool CercaIncasso(const TLineRec& line) { return bookkeeping_.CercaIncasso(line); }

  // `SalvaLinkPag`: records a created payment link: its identifier in the
  // agenda row of `rec` in every agenda database (a row that has a link
  // keeps it), and, when `IncassoRec` names a patient database, a tipo 14
  // entry of the amount in the patient's accounts (at most one per link).
  // Does nothing for an empty identifier or one ending in "-1". Queued like
  // the other bookkeeping writes: the caller calls CommitBookkeeping before a
  // message with the link can go out, so that a run cut short after that
  // finds the link recorded rather than create another. Never raises; a
  // write that fails is logged.
  void SalvaLinkPag(const TLineRec& rec, const TPazRec& IncassoRec) {
    bookkeeping_.SalvaLinkPag(rec, IncassoRec);
  }

  // `getLinkBreve`: looks up the short-link code stored for the appointment
  // of `rec`, in the agenda databases in order. Found: `id_web`, `link_exist`
  // true and `link_conferma` "https://<link_host>/c/<id_web>"; not found:
  // `id_web` empty and `link_exist` false. ":" in `rec.Ora` becomes ".".
  // Never raises. `link_host` is the host part of the link service address.
  void getLinkBreve(TLineRec& rec, const std::string& link_host) {
    bookkeeping_.getLinkBreve(rec, link_host);
  }

  // `SalvaLinkBreve`: stores `rec.id_web` in the agenda row of `rec` in
  // every agenda database where that row has no code yet. Does nothing when
  // `rec.link_exist` is set or `id_web` is empty. Never raises; a write that
  // fails everywhere is logged.
  void SalvaLinkBreve(const TLineRec& rec) { bookkeeping_.SalvaLinkBreve(rec); }

  // Writes the queued link bookkeeping (SalvaLinkBreve, SalvaLinkPag) and
  // commits what it has left uncommitted on the agenda and patient
  // databases, so other programs see the last codes after this call (or the
  // object's end). Never raises; a write or commit that fails is logged.
  void CommitBookkeeping() noexcept { bookkeeping_.CommitBookkeeping(); }

  // Runs the oldest queued write of the link bookkeeping; false when there
  // was none. For the time a send waits for the link services' replies.
  // Never raises; does nothing while the queue is being written.
  bool WriteOnePending() noexcept { return bookkeeping_.WriteOnePending(); }

  // The queue of link bookkeeping is written when it holds this many writes
  // or its first write is this old.
  static constexpr std::size_t kPendingLimit = DeferredWrites::kPendingLimit;
  static constexpr std::chrono::milliseconds kPendingWindow = DeferredWrites::kPendingWindow;

  // --- database sets ---

  // `ApriAgende`: fills `listDBAg` and `listAgFile` when `listDBAg` is empty,
  // else does nothing. `listAgFile` has exactly one table list per agenda
  // database. On an error the sets are emptied again (so the next search
  // tries anew) and the error is raised.
  void ApriAgende() { sets_.ApriAgende(); }
  // `ApriFilePazienti`: fills `listDB` when it is empty, else does nothing.
  // Patient databases that cannot be connected are left out with a log line.
  void ApriFilePazienti() { sets_.ApriFilePazienti(); }
  // `AggiungiAgenda`: adds the agenda database of a location text (account
  // as given; a Firebird location gets "SYSDBA" and the default password).
  void AggiungiAgenda(const std::string& location, const std::string& user,
                      const std::string& pwd) {
    sets_.AggiungiAgenda(location, user, pwd);
  }
  // `CaricaFileGruppi`: adds the group agendas named in section "File Gruppi"
  // of the first agenda database's settings (all but the first entry). Does
  // nothing when that database cannot be connected or has no settings.
  void CaricaFileGruppi() { sets_.CaricaFileGruppi(); }
  // `CaricaTabelleAgenda`: appends the agenda table list of database `index`
  // to `listAgFile` (an empty list when the database has no settings row).
  // Raises DatabaseError "<driver message> File: <database>" when it cannot
  // be connected.
  bool CaricaTabelleAgenda(std::size_t index, bool folder_layout) {
    return sets_.CaricaTabelleAgenda(index, folder_layout);
  }

  // --- steps of the searches ---

  // `CercaAppuntamentiTabella`: one agenda table's rows of the range into the
  // working lists. A table name that is not a plain identifier is skipped
  // with a log line.
  void CercaAppuntamentiTabella(const std::string& line, std::size_t n) {
    search_.CercaAppuntamentiTabella(line, n, Range());
  }
  // `CercaContattiPazienti`: looks every pending patient of `listApp` up in
  // the patient databases, in order; a served patient's entry is emptied.
  void CercaContattiPazienti() { search_.CercaContattiPazienti(); }
  // `CercaContatti`: patient `i` of `listApp` in patient database `k`.
  void CercaContatti(std::size_t k, std::size_t i) { search_.CercaContatti(k, i); }
  // `CercaCompleanniFile`: the birthdays of patient database `k`.
  void CercaCompleanniFile(std::size_t k) { search_.CercaCompleanniFile(k, Range()); }

  // --- state, for the searches' callers and the bookkeeping of links ---

  Connection& FDConnectionConfig() { return sets_.Config(); }
  // Tells one search object from another, also one made where an earlier
  // one was freed: what callers keep for a send run is keyed by it.
  std::uint64_t Serial() const { return serial_; }
  const std::vector<std::unique_ptr<Connection>>& listDBAg() const { return sets_.Agendas(); }
  const std::vector<std::vector<std::string>>& listAgFile() const { return sets_.AgendaTables(); }
  const std::vector<PatientDatabase>& listDB() const { return sets_.Patients(); }
  // The patient databases the opening of `listDB` could not connect.
  const std::vector<std::string>& UnopenedPatients() const { return sets_.UnopenedPatients(); }
  const std::vector<std::string>& listApp() const { return search_.listApp(); }
  const std::vector<std::string>& list_id_agenda() const { return search_.list_id_agenda(); }
  const std::vector<TPazRec>& listIncassi() const { return search_.listIncassi(); }
  bool FtrovaSms() const { return search_.FtrovaSms(); }
  bool FtrovaEmail() const { return search_.FtrovaEmail(); }

 private:
  SearchRange Range() const { return {DataRicerca, DataRicerca1}; }

  static std::uint64_t NextSerial() {
    static std::atomic<std::uint64_t> last{0};
    return ++last;
  }

  const std::uint64_t serial_ = NextSerial();
  // Declared in the order of their use of each other: destroyed in reverse,
  // the database sets (and their connections) last but the commit window.
  CommitWindow units_;
  DatabaseSets sets_;
  PatientCodes codes_;
  UnrecordedLinks unrecorded_links_;
  RecipientSearch search_;
  LinkBookkeeping bookkeeping_;
};

}  // namespace oxsms::practice
