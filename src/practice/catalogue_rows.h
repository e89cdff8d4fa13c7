// Rows of the catalogue table DB of the configuration database, as the agenda
// and patient sets read them: one row per database of the practice.
#pragma once

#include <string>

#include "practice/cloud_configuration_resolver.h"
#include "practice/connection.h"
#include "practice/rec_database.h"

namespace soci {
class row;
}

namespace oxsms::practice {

// The catalogue query with `condition` (SQL text of this program, never a
// value read from a database). Columns, in this order: FILEDB, PROTOCOLLO,
// CLOUD, HOST, UID, PWD, RUOLO, LOGINPROMPT, LOGINFILEPROMPT, PWDFILE,
// FINACTIVE.
std::string CatalogueQuery(const Connection& connection, const std::string& condition);

// Fills `record` from a row of CatalogueQuery: protocol 4 from the encrypted
// cloud configuration in CLOUD, other protocols from FILEDB, HOST, UID, PWD
// and RUOLO; then the login flags, PWDFILE and `local`. `cloud` reads the
// cloud configuration; without one a protocol 4 row raises DatabaseError.
void FillFromCatalogueRow(const soci::row& row, TRecDatabase& record,
                          CloudConfigurationResolver* cloud);

// Column values of a row of CatalogueQuery.
int CatalogueProtocol(const soci::row& row);
std::string CatalogueCloud(const soci::row& row);
std::string CatalogueFinactive(const soci::row& row);

}  // namespace oxsms::practice
