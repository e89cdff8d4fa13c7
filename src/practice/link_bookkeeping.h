// The payment data and the links recorded in the agenda rows and in the
// patients' accounts: the payment-due scan (AnalizzaIncassi, CercaIncasso),
// the payment links (SalvaLinkPag) and the confirmation short links
// (getLinkBreve, SalvaLinkBreve).
//
// Owns the queue of its writes (DeferredWrites), the day's short-link codes
// it has read, the payment links it has recorded and the identifiers of the
// patient databases; its statements stay prepared for the life of the
// connections, which belong to the database sets. Its units are committed
// together through the CommitWindow, at most CommitWindow::kUnitWindow apart,
// and by CommitBookkeeping. The referenced objects must outlive this one.
// Only the service thread uses it; it takes no lock.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <unordered_map>
#include <unordered_set>

#include "platform/activity_log.h"
#include "platform/clock.h"
#include "platform/monotonic_clock.h"
#include "practice/agenda_row_key.h"
#include "practice/commit_window.h"
#include "practice/database_sets.h"
#include "practice/deferred_writes.h"
#include "practice/patient_codes.h"
#include "practice/recipient_records.h"
#include "practice/search_host.h"
#include "practice/short_link_day.h"
#include "practice/unrecorded_links.h"

namespace oxsms::practice {

// `ParseLineRec` of the send orchestration: fills a record from a recipient
// line; parts missing from the line keep the record's values.
using LineParser = std::function<void(TLineRec& rec, std::string_view line)>;

class LinkBookkeeping {
 public:
  // `clock` gives the day of an accounting entry; `elapsed` measures the
  // queue of writes and the commit window.
  LinkBookkeeping(platform::ActivityLog& log, const platform::Clock& clock,
                  const platform::MonotonicClock& elapsed, SearchHost& host, DatabaseSets& sets,
                  CommitWindow& units, const PatientCodes& codes, UnrecordedLinks& unrecorded)
      : log_(log), clock_(clock), host_(host), sets_(sets), units_(units), codes_(codes),
        unrecorded_(unrecorded), queue_(log, elapsed) {}
  LinkBookkeeping(const LinkBookkeeping&) = delete;
  LinkBookkeeping& operator=(const LinkBookkeeping&) = delete;

  // The operations of TAgImp of the same names (see there).
  void AnalizzaIncassi(const LineParser& parse_line);
  bool CercaIncasso(const TLineRec& line);
  void SalvaLinkPag(const TLineRec& rec, const TPazRec& IncassoRec);
  void getLinkBreve(TLineRec& rec, const std::string& link_host);
  void SalvaLinkBreve(const TLineRec& rec);
  void CommitBookkeeping() noexcept;
  bool WriteOnePending() noexcept { return queue_.WriteOne(); }
  // Runs the queued writes in the order queued. Called before any other
  // statement of the run's data access, so nothing reads past a queued write.
  void WritePending() noexcept { queue_.WriteAll(); }
  // Writes the payment links kept because their agenda row could not be
  // written when they were made (UnrecordedLinks); once per object, before
  // its first search reads the rows. Never raises.
  void RecordKeptLinks() noexcept;

 private:
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
  bool FindFeeIn(Connection& agenda, const std::string& table, const AgendaRowKey& key);
  void AssignPatientDatabase(std::size_t k);
  void WriteLinkPayment(const std::string& table, const TLineRec& rec, const TPazRec& IncassoRec);
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

  platform::ActivityLog& log_;
  const platform::Clock& clock_;
  SearchHost& host_;
  DatabaseSets& sets_;
  CommitWindow& units_;
  const PatientCodes& codes_;
  UnrecordedLinks& unrecorded_;
  bool kept_links_written_ = false;
  DeferredWrites queue_;

  // The short-link codes of a day, by agenda database, table and day; none
  // where the database has no such table.
  std::map<std::tuple<const Connection*, std::string, long long>, std::optional<ShortLinkDay>>
      short_link_days_;
  // The payment links SalvaLinkPag has recorded completely (agenda row and
  // accounts), by everything that decides what it writes.
  std::unordered_set<std::string> recorded_links_;
  std::unordered_map<const Connection*, std::string> fileguids_;
};

}  // namespace oxsms::practice
