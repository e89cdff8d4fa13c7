// The database sets of a send run: the connection to the configuration
// database, the agenda databases with the agenda tables of each, and the
// patient databases.
//
// Owns every connection of the sets. The configuration database is
// connected on construction; the agenda and patient sets are opened at the
// first need and stay open until the object is destroyed, so a later search
// reuses them and does not see catalogue changes. Destroying the object
// closes the agenda, then the patient, then the configuration connections
// (closing commits). The referenced objects must outlive this one. Only the
// service thread uses it; it takes no lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/activity_log.h"
#include "platform/ini_file.h"
#include "practice/catalogue_context.h"
#include "practice/commit_window.h"
#include "practice/connection.h"
#include "practice/search_host.h"

namespace oxsms::practice {

// A patient database of `listDB`. `tag` is 1 when its settings version
// (IMPOSTAZIONI.versione of id 0) is 192 or later: ANAGRAFICA then has the
// second mobile number and the second email address.
struct PatientDatabase {
  std::unique_ptr<Connection> connection;
  int tag = 0;
};

class DatabaseSets {
 public:
  // config.ini opened, and the configuration database connected (the
  // suite's "config.fdb" in the folder layout, else section "Database" of
  // config.ini). Raises DatabaseError "<driver message> File: <database>"
  // when it cannot be connected.
  DatabaseSets(const CatalogueContext& ctx, platform::ActivityLog& log, SearchHost& host,
               CommitWindow& units);
  DatabaseSets(const DatabaseSets&) = delete;
  DatabaseSets& operator=(const DatabaseSets&) = delete;

  // `ApriAgende`: fills the agenda databases and their table lists when
  // there are no agenda databases yet, else does nothing. There is exactly
  // one table list per agenda database. On an error the sets are emptied
  // again (so the next search tries anew) and the error is raised.
  void ApriAgende();
  // `ApriFilePazienti`: fills the patient databases when there are none,
  // else does nothing. Patient databases that cannot be connected are left
  // out with a log line, and named in UnopenedPatients.
  void ApriFilePazienti();
  // The patient databases the last ApriFilePazienti that opened the set
  // could not connect: a patient not found may be in one of them.
  const std::vector<std::string>& UnopenedPatients() const { return unopened_patients_; }
  // `AggiungiAgenda`: adds the agenda database of a location text (account
  // as given; a Firebird location gets "SYSDBA" and the default password).
  void AggiungiAgenda(const std::string& location, const std::string& user,
                      const std::string& pwd);
  // `CaricaFileGruppi`: adds the group agendas named in section "File Gruppi"
  // of the first agenda database's settings (all but the first entry). Does
  // nothing when that database cannot be connected or has no settings.
  void CaricaFileGruppi();
  // `CaricaTabelleAgenda`: appends the agenda table list of database `index`
  // (an empty list when the database has no settings row). Raises
  // DatabaseError "<driver message> File: <database>" when it cannot be
  // connected.
  bool CaricaTabelleAgenda(std::size_t index, bool folder_layout);

  Connection& Config() { return *config_; }
  // `listDBAg`, `listAgFile`, `listDB`.
  const std::vector<std::unique_ptr<Connection>>& Agendas() const { return agendas_; }
  const std::vector<std::vector<std::string>>& AgendaTables() const { return agenda_tables_; }
  const std::vector<PatientDatabase>& Patients() const { return patients_; }

 private:
  void OpenAgendaSets();
  void AddMainAgendaFromCatalogue();
  void AddAgendasFromSmsConf();
  std::string AgendaAccountUser() const;
  std::string AgendaAccountPassword() const;
  void AddPatientDatabasesFromCatalogue();
  void AddPatientDatabasesFromList();
  // Connects a patient database; a failure is logged with its cause and
  // gives false.
  bool ConnectOrLog(Connection& patients);

  const CatalogueContext& ctx_;
  platform::ActivityLog& log_;
  SearchHost& host_;
  CommitWindow& units_;
  std::unique_ptr<platform::IniFile> inif_;
  std::unique_ptr<Connection> config_;
  std::vector<PatientDatabase> patients_;
  std::vector<std::string> unopened_patients_;
  std::vector<std::unique_ptr<Connection>> agendas_;
  std::vector<std::vector<std::string>> agenda_tables_;
};

}  // namespace oxsms::practice
