// The searches of a send run: the appointments of a date range, one per
// patient, turned into recipient lines by the contact lookup in the patient
// databases; and the patients whose birthday lies in the range. They fill the
// batch lists of the send orchestration (through SearchHost).
//
// Owns the working lists of the last appointment search (`listApp`,
// `list_id_agenda`, `listIncassi`) and the channel flags of the last search;
// uses the database sets, whose statements it prepares per search and ends
// with a commit, so long-lived connections never hold a stale snapshot. Puts
// the patient codes it reads of appointments with a fee into PatientCodes.
// The referenced objects must outlive this one. Only the service thread uses
// it; it takes no lock.
#pragma once

#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/activity_log.h"
#include "platform/date_time.h"
#include "practice/catalogue_context.h"
#include "practice/database_sets.h"
#include "practice/patient_codes.h"
#include "practice/recipient_records.h"
#include "practice/search_host.h"
#include "practice/unrecorded_links.h"

namespace soci {
class row;
}

namespace oxsms::practice {

// The error of a search that has no patient database to look in.
inline constexpr const char* kNoPatientDatabase = "Nessun file pazienti aperto";

struct PatientContact;

// Runs the contact lookup's statement once on `db`, for no patient: raises
// DatabaseError when the search could not read the database (a column or
// table missing, the connection lost).
void ProbeContactLookup(const PatientDatabase& db, const platform::Installation& installation);

// `DataRicerca` to `DataRicerca1`: the first and last day of a search.
struct SearchRange {
  platform::TDateTime from = 0;
  platform::TDateTime to = 0;
};

class RecipientSearch {
 public:
  RecipientSearch(const CatalogueContext& ctx, platform::ActivityLog& log, SearchHost& host,
                  DatabaseSets& sets, PatientCodes& codes, UnrecordedLinks& unrecorded)
      : ctx_(ctx), log_(log), host_(host), sets_(sets), codes_(codes), unrecorded_(unrecorded) {}
  RecipientSearch(const RecipientSearch&) = delete;
  RecipientSearch& operator=(const RecipientSearch&) = delete;

  // `RicercaAppunt`: the appointments of `range` in every agenda table that
  // is not excluded, one per patient (the earliest time of day), turned into
  // recipient lines by CercaContattiPazienti. The batch lists are emptied
  // first. Never raises: an error ends the search and its message goes to
  // the activity log; what was collected stays, and Unread says what the
  // search could not read.
  void RicercaAppunt(const SearchRange& range, bool trovaSms, bool trovaEmail);
  // `RicercaCompleanni`: appends a recipient line for each usable contact of
  // every patient whose birthday lies in `range`. The batch lists are not
  // emptied. Raises DatabaseError kNoPatientDatabase when no patient database
  // is open; a patient database whose query fails is logged, named in Unread
  // and left for the others.
  void RicercaCompleanni(const SearchRange& range, bool trovaSms, bool trovaEmail);

  // `CercaAppuntamentiTabella`: one agenda table's rows of the range into the
  // working lists. A table name that is not a plain identifier is skipped
  // with a log line.
  void CercaAppuntamentiTabella(const std::string& line, std::size_t n, const SearchRange& range);
  // `CercaContattiPazienti`: looks every pending patient of `listApp` up in
  // the patient databases, in order; a served patient's entry is emptied.
  void CercaContattiPazienti();
  // `CercaContatti`: patient `i` of `listApp` in patient database `k`.
  void CercaContatti(std::size_t k, std::size_t i);
  // `CercaCompleanniFile`: the birthdays of patient database `k` in `range`.
  void CercaCompleanniFile(std::size_t k, const SearchRange& range);

  const std::vector<std::string>& listApp() const { return list_app_; }
  const std::vector<std::string>& list_id_agenda() const { return list_id_agenda_; }
  const std::vector<TPazRec>& listIncassi() const { return list_incassi_; }
  bool FtrovaSms() const { return trova_sms_; }
  bool FtrovaEmail() const { return trova_email_; }
  // What the last search could not read: agenda tables, patient databases,
  // or the error that ended it. Its lines may then lack recipients; empty
  // when it read everything.
  const std::vector<std::string>& Unread() const { return unread_; }

 private:
  // CercaAppuntamentiTabella, with a database error (a missing table, a lost
  // link) logged with the table's name instead of ending the search: the
  // other tables are still read.
  void SearchTableOrLog(const std::string& line, std::size_t n, const SearchRange& range);
  void KeepAppointment(const soci::row& row, const std::string& line, bool payment_columns);
  void ServeContact(const PatientContact& patient, const PatientDatabase& database,
                    std::size_t k, std::size_t i);
  void EmptyEntry(std::size_t i);
  void Discarded(const std::string& surname, const std::string& first_name,
                 const char* reason);

  const CatalogueContext& ctx_;
  platform::ActivityLog& log_;
  SearchHost& host_;
  DatabaseSets& sets_;
  PatientCodes& codes_;
  UnrecordedLinks& unrecorded_;

  std::vector<std::string> list_app_;
  std::vector<std::string> list_id_agenda_;
  std::vector<TPazRec> list_incassi_;
  // Position in list_app_ of each pending badge.
  std::unordered_map<std::string, std::size_t> app_by_badge_;
  bool trova_sms_ = false;
  bool trova_email_ = false;
  std::vector<std::string> unread_;
};

}  // namespace oxsms::practice
