#include "practice/database_catalogue.h"

#include <algorithm>
#include <cctype>

#include "practice/database_location.h"
#include "practice/local_config.h"

namespace oxsms::practice {
namespace {

constexpr const char* kDefaultMySqlPort = "3306";

std::string Trimmed(const std::string& text) {
  const auto blank = [](unsigned char c) { return std::isspace(c) != 0; };
  auto begin = std::find_if_not(text.begin(), text.end(), blank);
  auto end = std::find_if_not(text.rbegin(), text.rend(), blank).base();
  return begin < end ? std::string(begin, end) : std::string();
}

bool IsNumber(const std::string& text) {
  return !text.empty() && std::all_of(text.begin(), text.end(),
                                      [](unsigned char c) { return std::isdigit(c) != 0; });
}

// The file name part of a path in either separator style ("C:x.fdb" too).
std::string FileNamePart(const std::string& path) {
  const auto pos = path.find_last_of("\\/:");
  return pos == std::string::npos ? path : path.substr(pos + 1);
}

void ConfigureMySql(TRecDatabase& record, bool short_description, Connection& connection) {
  connection.SetParam("User_Name", record.user);
  connection.SetParam("Password", record.pwd);
  connection.SetDriverName(kDriverMySQL);
  connection.SetParam("Server", record.host);
  connection.SetParam("Database", record.schema_db.empty() ? record.fgdb : record.schema_db);
  const std::string port = Trimmed(record.role);
  connection.SetParam("Port", port.empty() ? kDefaultMySqlPort : port);
  if (record.descrizione_db.empty()) {
    record.descrizione_db = short_description ? record.fgdb : record.host + " " + record.fgdb;
  }
}

void ConfigureFirebird(TRecDatabase& record, bool short_description, int dialect,
                       Connection& connection, const CatalogueContext& ctx) {
  if (record.user.empty()) record.user = kDefaultUser;
  if (record.pwd.empty()) record.pwd = ctx.installation.default_db_password;
  connection.SetParam("User_Name", record.user);
  connection.SetParam("Password", record.pwd);
  connection.SetDriverName(kDriverFirebird);
  connection.SetParam("SQLDialect", dialect == kDialectAgenda ? "3" : "1");
  connection.SetParam("Database", ComponiNomeDB(ctx.home, "", record.fgdb, record.protoc));
  if (!record.host.empty()) {
    connection.SetParam("Server", record.host);
    connection.SetParam("Protocol", "TCPIP");
    // "server/3051:path" names the server's port; without it the connection
    // would silently go to the default port.
    const std::string port = Trimmed(record.role);
    if (IsNumber(port)) connection.SetParam("Port", port);
  }
  record.descrizione_db = short_description
                              ? FileNamePart(record.fgdb)
                              : ComponiNomeDB(ctx.home, record.host, record.fgdb, record.protoc);
}

}  // namespace

std::vector<std::string> TypeMappingRules(bool timestamp_to_date_time) {
  std::vector<std::string> rules;
  if (timestamp_to_date_time) rules.emplace_back(kMapTimestampToDateTime);
  rules.emplace_back(kMapBcdToDouble);
  rules.emplace_back(kMapFmtBcdToDouble);
  rules.emplace_back(kMapSingleToDouble);
  rules.emplace_back(kMapByteStringToWide);
  return rules;
}

void CreaConnessione(TRecDatabase& record, bool short_description, int dialect,
                     Connection& connection, const CatalogueContext& ctx) {
  connection.ClearParams();
  if (record.IsMySQL()) {
    ConfigureMySql(record, short_description, connection);
  } else {
    ConfigureFirebird(record, short_description, dialect, connection, ctx);
  }
  connection.login_prompt = false;
  connection.MapRules() = TypeMappingRules(record.NO_DATEMAPRULES != "1");
  connection.auto_reconnect = true;
  connection.tag = record.descrizione_db;
  connection.lock_timeout = std::chrono::seconds(ctx.installation.lock_timeout_seconds);
}

std::unique_ptr<Connection> CreaConnessione(TRecDatabase& record, bool short_description,
                                            int dialect, const CatalogueContext& ctx) {
  auto connection = std::make_unique<Connection>();
  CreaConnessione(record, short_description, dialect, *connection, ctx);
  return connection;
}

}  // namespace oxsms::practice
