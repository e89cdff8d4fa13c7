#include "practice/connection.h"

#include <soci/firebird/soci-firebird.h>
#include <soci/mysql/soci-mysql.h>
#include <soci/soci.h>

#include <algorithm>
#include <cctype>

#include "platform/home_folder.h"
#include "practice/lock_wait.h"

namespace oxsms::practice {
namespace {

bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
           return std::tolower(x) == std::tolower(y);
         });
}

std::string NameOf(const std::string& param) { return param.substr(0, param.find('=')); }

constexpr const char* kMask = "***";
constexpr int kDefaultMySqlPort = 3306;
// An unreachable server must not hold the service thread for minutes.
constexpr int kMySqlConnectTimeoutSeconds = 20;

bool HasBlank(const std::string& value) {
  return std::any_of(value.begin(), value.end(),
                     [](unsigned char c) { return std::isspace(c) != 0; });
}

// One "name=value" of the Firebird backend's connect string. The backend
// reads a double-quoted value up to the next double quote and has no escape,
// so a value that would need quoting and holds a quote cannot be written.
std::string FirebirdOption(const char* name, const std::string& value) {
  const bool needs_quotes = HasBlank(value) || value.empty() || value.front() == '"';
  if (!needs_quotes) return std::string(" ") + name + "=" + value;
  if (value.find('"') != std::string::npos) {
    throw DatabaseError(std::string("Il valore di \"") + name +
                        "\" non può essere scritto nei parametri di connessione Firebird");
  }
  return std::string(" ") + name + "=\"" + value + "\"";
}

// One "name='value'" of the MySQL backend's connect string; the backend
// takes a backslash as the escape of the next character.
std::string MySqlOption(const char* name, const std::string& value) {
  std::string out = std::string(" ") + name + "='";
  for (char c : value) {
    if (c == '\'' || c == '\\') out += '\\';
    out += c;
  }
  return out + "'";
}

// "Port=" as a number; empty gives the default.
int PortNumber(const std::string& text, int default_port) {
  if (text.empty()) return default_port;
  int port = 0;
  for (unsigned char c : text) {
    if (!std::isdigit(c) || port > 65535) {
      throw DatabaseError("Porta del server di database non valida: " + text);
    }
    port = port * 10 + (c - '0');
  }
  if (port < 1 || port > 65535)
    throw DatabaseError("Porta del server di database non valida: " + text);
  return port;
}

// The longest value of a connect parameter the database clients take. The
// Firebird client keeps the account and password in one-byte-length items
// of a fixed buffer, which a longer value overruns; no file, schema or
// server name of a practice comes near the limits.
constexpr std::size_t kMaxAccountValue = 255;
constexpr std::size_t kMaxDatabaseValue = 1024;

// Raises DatabaseError naming the parameter (never its value) when the value
// is longer than `limit`.
void CheckLength(const char* name, const std::string& value, std::size_t limit) {
  if (value.size() <= limit) return;
  throw DatabaseError(std::string("Parametro di connessione \"") + name +
                      "\" troppo lungo: " + std::to_string(value.size()) +
                      " caratteri (al massimo " + std::to_string(limit) + ")");
}

void ReplaceAll(std::string& text, const std::string& what, const std::string& with) {
  if (what.empty()) return;
  for (auto pos = text.find(what); pos != std::string::npos;
       pos = text.find(what, pos + with.size())) {
    text.replace(pos, what.size(), with);
  }
}

}  // namespace

Connection::Connection() = default;
Connection::~Connection() { EndSession(nullptr); }

void Connection::ClearParams() {
  // An open session belongs to the old parameters.
  SetConnected(false);
  params_.clear();
}

void Connection::SetParam(const std::string& name, const std::string& value) {
  for (auto& p : params_) {
    if (SameName(NameOf(p), name)) {
      p = name + "=" + value;
      return;
    }
  }
  params_.push_back(name + "=" + value);
}

void Connection::AddParam(const std::string& name_equals_value) {
  const auto eq = name_equals_value.find('=');
  if (eq == std::string::npos) {
    SetParam(name_equals_value, "");
  } else {
    SetParam(name_equals_value.substr(0, eq), name_equals_value.substr(eq + 1));
  }
}

std::string Connection::Param(const std::string& name) const {
  for (const auto& p : params_) {
    if (SameName(NameOf(p), name)) {
      const auto eq = p.find('=');
      return eq == std::string::npos ? std::string() : p.substr(eq + 1);
    }
  }
  return {};
}

bool Connection::IsFirebird() const { return SameName(DriverName(), kDriverFirebird); }
bool Connection::IsMySQL() const { return SameName(DriverName(), kDriverMySQL); }

std::string Connection::ConnectString(bool for_log) const {
  const std::string database = Param("Database");
  const std::string server = Param("Server");
  const std::string user = Param("User_Name");
  const std::string password = Param("Password");
  if (database.empty())
    throw DatabaseError("Database non specificato nei parametri di connessione");
  CheckLength("Database", database, kMaxDatabaseValue);
  CheckLength("Server", server, kMaxAccountValue);
  CheckLength("User_Name", user, kMaxAccountValue);
  CheckLength("Password", password, kMaxAccountValue);
  std::string out;
  if (IsFirebird()) {
    std::string service;
    if (!server.empty()) {
      const std::string port = Param("Port");
      service =
          server + (port.empty() ? "" : "/" + std::to_string(PortNumber(port, 0))) + ":" + database;
    } else {
      service = platform::ToNativePath(database);
    }
    out = FirebirdOption("service", service);
    if (!user.empty()) out += FirebirdOption("user", user);
    if (!password.empty())
      out += for_log ? std::string(" password=") + kMask : FirebirdOption("password", password);
    out += " charset=UTF8";
  } else if (IsMySQL()) {
    out = MySqlOption("db", database);
    if (!user.empty()) out += MySqlOption("user", user);
    out += for_log ? std::string(" password=") + kMask : MySqlOption("password", password);
    if (!server.empty()) out += MySqlOption("host", server);
    out += " port=" + std::to_string(PortNumber(Param("Port"), kDefaultMySqlPort));
    out += " charset=utf8mb4";
    out += " connect_timeout=" + std::to_string(kMySqlConnectTimeoutSeconds);
    if (auto_reconnect) out += " reconnect=1";
  } else {
    throw DatabaseError("Driver di database sconosciuto: \"" + DriverName() + "\"");
  }
  return out.substr(1);
}

std::string Connection::DatabaseName() const {
  const std::string database = Param("Database");
  const std::string server = Param("Server");
  if (server.empty()) return database;
  const std::string port = Param("Port");
  const std::string at = server + (port.empty() ? "" : "/" + port);
  return IsMySQL() ? database + "@" + at : at + ":" + database;
}

DatabaseError Connection::Error(const std::string& driver_message) const {
  std::string message = driver_message;
  ReplaceAll(message, Param("Password"), kMask);
  while (!message.empty() && std::isspace(static_cast<unsigned char>(message.back()))) {
    message.pop_back();
  }
  return DatabaseError(message + " (database " + DatabaseName() + ")");
}

bool Connection::Connected() const { return session_ != nullptr; }

void Connection::SetConnected(bool connected) {
  if (connected) {
    if (session_ && auto_reconnect) CheckLink();
    if (session_) return;
    const std::string connect_string = ConnectString();
    try {
      if (IsFirebird()) {
        session_ = std::make_unique<soci::session>(soci::firebird, connect_string);
      } else {
        auto session = std::make_unique<soci::session>(soci::mysql, connect_string);
        SetMySqlLockTimeout(*session, lock_timeout);
        session_ = std::move(session);
      }
    } catch (const soci::soci_error& e) {
      throw Error(e.what());
    }
    return;
  }
  std::string commit_error;
  EndSession(&commit_error);
  if (!commit_error.empty()) throw Error(commit_error);
}

void Connection::CheckLink() {
  if (session_ && !session_->is_connected()) EndSession(nullptr);
}

void Connection::EndSession(std::string* commit_error) noexcept {
  if (!session_) return;
  ++transactions_ended_;
  bool clean = true;
  try {
    session_->commit();
    clean = session_->is_connected();
  } catch (const soci::soci_error& e) {
    clean = false;
    if (commit_error != nullptr) *commit_error = e.what();
  }
  // The Firebird backend commits and detaches again in its destructor and
  // raises when either fails, which would end the process. A Firebird session
  // whose link is gone is therefore abandoned (a small leak) rather than
  // destroyed. The MySQL backend's destructor does not raise.
  if (clean || !IsFirebird()) {
    prepared_.Clear();
    session_.reset();
  } else {
    // Its prepared statements would raise from their destructors too.
    prepared_.Abandon();
    static_cast<void>(session_.release());
  }
}

soci::session& Connection::Session() {
  if (!session_) SetConnected(true);
  if (IsFirebird()) StartFirebirdTransaction(*session_, lock_timeout);
  return *session_;
}

PreparedStatement& Connection::Prepared(const std::string& sql,
                                        const std::vector<StatementParameter>& parameters,
                                        bool returns_rows) {
  return prepared_.Get(Session(), sql, parameters, returns_rows);
}

PreparedStatement* Connection::PreparedIfPossible(
    const std::string& sql, const std::vector<StatementParameter>& parameters, bool returns_rows,
    std::string& error) {
  return prepared_.TryGet(Session(), sql, parameters, returns_rows, error);
}

void Connection::Commit() {
  if (!session_) return;
  ++transactions_ended_;
  try {
    session_->commit();
  } catch (const soci::soci_error& e) {
    throw Error(e.what());
  }
}

}  // namespace oxsms::practice
