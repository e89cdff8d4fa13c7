// The patient databases of the database sets.
#include <soci/soci.h>

#include <cerrno>
#include <cstdlib>

#include "platform/error.h"
#include "practice/agenda_lines.h"
#include "practice/catalogue_rows.h"
#include "practice/database_catalogue.h"
#include "practice/database_sets.h"
#include "practice/row_values.h"
#include "practice/search_database.h"

namespace oxsms::practice {
namespace {

// From this settings version on, ANAGRAFICA has TELCELL2 and EMAIL2.
constexpr long kSecondContactsVersion = 192;
// The extra patient files of the settings are Firebird "@" locations with
// this account name.
constexpr const char* kExtraFileUser = "sysdba";
constexpr int kExtraFileProtocol = 2;
// Catalogue rows of this protocol are left out of the patient set.
constexpr int kSkippedPatientProtocol = 2;

// 1 when the database's settings version is a number of at least 192, else 0
// (also when the query fails: older databases may lack the column).
int SecondContactsTag(Connection& connection) {
  try {
    soci::row row;
    soci::statement st = (connection.Session().prepare
                              << "select versione from IMPOSTAZIONI where id = 0",
                          soci::into(row));
    st.execute();
    if (!st.fetch()) return 0;
    const std::string text = TrimBlanks(TextOf(row, 0));
    if (text.empty()) return 0;
    errno = 0;
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    return errno == 0 && *end == '\0' && value >= kSecondContactsVersion ? 1 : 0;
  } catch (const soci::soci_error&) {
    return 0;
  } catch (const platform::DataError&) {  // a date column instead of a number
    return 0;
  }
}

}  // namespace

bool DatabaseSets::ConnectOrLog(Connection& patients) {
  try {
    patients.SetConnected(true);
    return true;
  } catch (const DatabaseError& e) {
    // Left out of the set; the log keeps why, which the searches' "no
    // patient database" would not tell.
    log_.WriteLog(std::string("Archivio pazienti non aperto: ") + e.what());
    unopened_patients_.push_back(patients.DatabaseName());
    return false;
  }
}

void DatabaseSets::ApriFilePazienti() {
  if (!patients_.empty()) return;
  unopened_patients_.clear();
  if (host_.FolderLayout()) {
    PreparaConnessioneFileLocale(*config_, kLayoutCatalogueFile, /*database_folder=*/false, ctx_);
    auto patients = std::make_unique<Connection>();
    PreparaConnessioneDaCatalogo(*patients, *config_, 0, ctx_);
    config_->Commit();
    patients_.push_back({std::move(patients), 0});
  } else {
    AddPatientDatabasesFromCatalogue();
  }
  AddPatientDatabasesFromList();
}

void DatabaseSets::AddPatientDatabasesFromCatalogue() {
  Connection& config = *config_;
  std::vector<TRecDatabase> records;
  try {
    soci::row row;
    soci::statement st = (config.Session().prepare
                              << CatalogueQuery(config, "FINACTIVE <> 1 and vista='0'"),
                          soci::into(row));
    st.execute();
    while (st.fetch()) {
      // A record of its own per row: nothing of one database leaks into the next.
      TRecDatabase record;
      record.inactive = CatalogueFinactive(row) == "1" ||
                        CatalogueProtocol(row) == kSkippedPatientProtocol;
      if (record.inactive) continue;
      if (CatalogueProtocol(row) == 4 && CatalogueCloud(row).empty()) continue;
      FillFromCatalogueRow(row, record, ctx_.resolver);
      records.push_back(std::move(record));
    }
  } catch (const soci::soci_error& e) {
    throw StatementError(config, e);
  }
  config.Commit();

  for (auto& record : records) {
    auto connection = CreaConnessione(record, false, kDialectLegacy, ctx_);
    if (!ConnectOrLog(*connection)) continue;
    const int tag = SecondContactsTag(*connection);
    // Left connected for the contact lookup that follows (a reconnection
    // costs more than the lookups of a small practice).
    units_.EndUnitQuietly(*connection);
    patients_.push_back({std::move(connection), tag});
  }
}

void DatabaseSets::AddPatientDatabasesFromList() {
  for (const auto& raw : SplitLines(host_.ExtraPatientFiles())) {
    const std::string file = TrimBlanks(raw);
    if (file.empty()) continue;
    TRecDatabase record;
    record.protoc = kExtraFileProtocol;
    record.fgdb = file;
    record.user = kExtraFileUser;
    record.pwd = ctx_.installation.default_db_password;
    record.local = true;
    auto connection = CreaConnessione(record, false, kDialectLegacy, ctx_);
    if (!ConnectOrLog(*connection)) continue;
    patients_.push_back({std::move(connection), 0});
  }
}

}  // namespace oxsms::practice
