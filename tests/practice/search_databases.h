// Builders of the practice databases that the agenda and patient searches
// read: a configuration database with the catalogue table DB, agenda
// databases (IMPOSTAZIONI holding the settings document, agenda tables) and
// patient databases (IMPOSTAZIONI, ANAGRAFICA), as embedded Firebird files or
// schemas on the private MariaDB server (each builder speaks the dialect of
// the session it is given); a patient schema stores the surname and the
// email addresses AES-encrypted as hex text.
#pragma once

#include <soci/soci.h>

#include <filesystem>
#include <optional>
#include <string>

#include "platform/date_time.h"
#include "support/database_env.h"

namespace oxsms::testing::search {

// An open session on an embedded Firebird file (created when missing).
std::unique_ptr<soci::session> OpenFirebird(const std::filesystem::path& file, int dialect = 3);

// Executes one statement and commits.
void Exec(soci::session& s, const std::string& sql);

// --- configuration database -------------------------------------------------

struct CatalogueRow {
  std::string filedb;
  int protocollo = 0;
  std::string cloud;
  std::string host;
  std::string uid = "SYSDBA";
  std::string pwd = "qentoravi";
  std::string ruolo;
  std::string loginprompt = "0";
  std::string loginfileprompt = "0";
  std::string pwdfile;
  std::string finactive = "0";
  std::string vista = "0";  // "3" agenda, "0" patients
  int idorder = 0;
};

// The table DB of a configuration (or folder-layout catalogue) database.
void CreateCatalogue(soci::session& s);
void AddCatalogueRow(soci::session& s, const CatalogueRow& row);

// --- agenda databases ---------------------------------------------------------

// IMPOSTAZIONI (ID, IMPOSTAZIONI blob); with a settings text, one row.
void CreateAgendaSettings(soci::session& s, const std::optional<std::string>& settings);

// An agenda table with APPUNT, BADGE, ORA, DATA, INCASSO_PREST, FILEGUID,
// ID_LINKPAG and the short-link column ID_WEB.
void CreateAgendaTable(soci::session& s, const std::string& table);

struct Appointment {
  std::string badge;
  platform::TDateTime data = 0;  // the day
  platform::TDateTime ora = 0;   // the time of day
  std::optional<std::string> incasso;  // NUMERIC text, e.g. "50.2500"; none = NULL
  std::string fileguid;
  std::optional<std::string> id_linkpag;
  std::string appunt = "Visita";
};
void AddAppointment(soci::session& s, const std::string& table, const Appointment& a);

// --- patient databases --------------------------------------------------------

// IMPOSTAZIONI (ID, VERSIONE, FILEGUID) with the row of id 0 when `versione`
// is given; ANAGRAFICA (birth date as TIMESTAMP, as dialect-1 files hold it)
// with the second contact columns when asked.
void CreatePatientTables(soci::session& s, const std::optional<std::string>& versione,
                         const std::string& fileguid, bool second_contacts);

struct Patient {
  std::string badge;
  std::string cognome;
  std::string nome;
  std::optional<std::string> telcell;
  std::optional<std::string> telcell2;
  std::optional<std::string> email;
  std::optional<std::string> email2;
  int sms = 3;
  int codice_cliente = 1;
  std::optional<platform::TDateTime> nascita;
};
void AddPatient(soci::session& s, const Patient& p, bool second_contacts);

// The same on MySQL: COGNOME, EMAIL and EMAIL2 hold HEX(AES_ENCRYPT(value, key)).
// CreatePatientTables on a MySQL session comes here.
void CreateMySqlPatientTables(soci::session& s, const std::optional<std::string>& versione,
                              bool second_contacts, const std::string& fileguid = "G-MY");
void AddMySqlPatient(soci::session& s, const Patient& p, bool second_contacts,
                     const std::string& plain_key);

std::unique_ptr<soci::session> OpenMySql(const MySqlServer& server, const std::string& schema);

}  // namespace oxsms::testing::search
