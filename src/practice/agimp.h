// `TAgImp`: the data-access object of a send run. It holds the connection to
// the configuration database, the agenda databases with the agenda tables of
// each, the patient databases, and the working lists of the appointment
// search; its searches fill the batch lists of the send orchestration
// (through SearchHost).
//
// The database sets are opened at the first search that needs them and stay
// open, statements prepared per search, until the object is destroyed; a later
// search reuses them and does not see catalogue changes. Each unit of work
// ends with a commit, so long-lived connections never hold a stale snapshot.
//
// Only the service thread uses the object; it takes no lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/clock.h"
#include "platform/date_time.h"
#include "platform/ini_file.h"
#include "practice/catalogue_context.h"
#include "practice/connection.h"
#include "practice/recipient_records.h"
#include "practice/search_host.h"
#include "service/activity_log.h"

namespace soci {
class row;
}

namespace oxsms::practice {

// The error of a search that has no patient database to look in.
inline constexpr const char* kNoPatientDatabase = "Nessun file pazienti aperto";

class PatientLookup;

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
  TAgImp(const CatalogueContext& ctx, service::ActivityLog& log, const platform::Clock& clock,
         SearchHost& host);
  // `Destroy`: closes every connection (committing what is pending).
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

  // --- steps of the searches ---

  // `CercaAppuntamentiTabella`: one agenda table's rows of the range into the
  // working lists. A table name that is not a plain identifier is skipped
  // with a log line.
  void CercaAppuntamentiTabella(const std::string& line, std::size_t n);
  // `CercaContattiPazienti`: looks every pending patient of `listApp` up in
  // the patient databases, in order; a served patient's entry is emptied.
  void CercaContattiPazienti();
  // `CercaContatti`: patient `i` of `listApp` in patient database `k`.
  void CercaContatti(std::size_t k, std::size_t i);
  // `CercaCompleanniFile`: the birthdays of patient database `k`.
  void CercaCompleanniFile(std::size_t k);

  // --- state, for the searches' callers and the bookkeeping of links ---

  Connection& FDConnectionConfig() { return *config_; }
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
  void ServeContact(PatientLookup& lookup, bool second_contacts, std::size_t k, std::size_t i);
  void EmptyEntry(std::size_t i);
  void Discarded(const std::string& surname, const std::string& first_name,
                 const char* reason);

  const CatalogueContext& ctx_;
  service::ActivityLog& log_;
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

  bool trova_sms_ = false;
  bool trova_email_ = false;
};

}  // namespace oxsms::practice
