// Configuring database connections from a database description, from the
// sections of config.ini and from the file catalogue of the suite's folder
// layout. Configuring never contacts a server: errors of an unreachable or
// wrong database appear when the caller opens the connection. A missing
// config.ini, section or key gives the defaults.
//
// Only the service thread calls these; the cloud values of the context are
// not locked.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "practice/catalogue_context.h"
#include "practice/connection.h"
#include "practice/rec_database.h"

namespace oxsms::practice {

// The SQL dialect of the suite's Firebird databases: agendas speak 3, the
// configuration and patient files 1.
inline constexpr int kDialectAgenda = 3;
inline constexpr int kDialectLegacy = 1;

// `CreaConnessione`: replaces the parameters of `connection` by those of
// `record`.
//  - MySQL (protocol 3 or more): account, server, database `schema_db` (else
//    `fgdb`), port `role` (else 3306); an empty description becomes `fgdb`
//    (short) or "server fgdb".
//  - Firebird: an empty account becomes "SYSDBA" with the default password,
//    in the record too; the file as ComponiNomeDB names it; with a host, the
//    server over TCP/IP (on the port of `role` when it is a number). The
//    description becomes the file name (short) or the full database name.
// Both get the type-mapping rules (timestamp rule unless `NO_DATEMAPRULES`
// is "1"), no login prompt and automatic reconnection. The connection's
// `tag` takes the description.
void CreaConnessione(TRecDatabase& record, bool short_description, int dialect,
                     Connection& connection, const CatalogueContext& ctx);
// The same on a new connection, which the caller owns.
std::unique_ptr<Connection> CreaConnessione(TRecDatabase& record, bool short_description,
                                            int dialect, const CatalogueContext& ctx);

// The type-mapping rules CreaConnessione sets, in order.
std::vector<std::string> TypeMappingRules(bool timestamp_to_date_time);

// `LeggiDatabaseIni`: fills `record` from `section` of config.ini and
// configures `connection` from it (dialect 3 when the section name contains
// "Ag", else 1). Protocol 4 hands the cloud account of "cloud_param" to
// ctx.resolver while it has none, and reads the location from the Base64
// key "cloud". Raises DatabaseError when "cloud_param" is needed and cannot
// be read, or the cloud configuration cannot be had.
void LeggiDatabaseIni(TRecDatabase& record, Connection& connection, const std::string& section,
                      const CatalogueContext& ctx);

// `PreparaConnessioneConfig`: gives ctx.resolver the administrator flag of "AdminVelk"
// and configures the configuration database's connection from `section`
// ("DriverID", "Server", "Port", "User_Name", "Password", "Database",
// "SQLDialect", "Protocol"). The caller then opens it.
void PreparaConnessioneConfig(Connection& connection, const std::string& section,
                              const CatalogueContext& ctx);

// `PreparaConnessioneFileLocale`: closes `connection` and configures it for
// the file `file_name` of the suite's folder layout ("File" of section
// "Database" is the suite's folder; `database_folder` puts the file in its
// "database" subfolder). Dialect 1, account "SYSDBA".
void PreparaConnessioneFileLocale(Connection& connection, const std::string& file_name,
                                  bool database_folder, const CatalogueContext& ctx);

// File names of the folder layout.
inline constexpr const char* kLayoutConfigFile = "config.fdb";
inline constexpr const char* kLayoutCatalogueFile = "file.fdb";

// `PreparaConnessioneDaCatalogo`: configures `connection` for the database of
// order number `order` of the file catalogue (table DB of "file.fdb", open on
// `catalogue`): 0 "pazienti.fdb", 1 "pazienti1.fdb", 2 "agenda.fdb" in the
// folder of the row's FILEDB, 3 the configuration database. A missing row is
// appended and committed on `catalogue`. Raises DatabaseError for another
// order number or when the catalogue cannot be read or written.
void PreparaConnessioneDaCatalogo(Connection& connection, Connection& catalogue, int order,
                                  const CatalogueContext& ctx);

}  // namespace oxsms::practice
