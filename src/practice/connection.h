// A database connection configured by a list of "Name=Value" parameters, as
// the suite's data-access layer describes one: "DriverID=FB" or
// "DriverID=MySQL", "Database=", "Server=", "Port=", "Protocol=TCPIP",
// "User_Name=", "Password=", "SQLDialect=". Configuring never contacts the
// server; the connection opens on first use of Session() or when set
// connected. A local Firebird file opens in embedded mode; a "Server=" goes
// over TCP/IP.
//
// Only the service thread uses a connection; it is not thread-safe.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "practice/database_error.h"
#include "practice/prepared_statement.h"

namespace soci {
class session;
}

namespace oxsms::practice {

// Driver names of the parameter "DriverID".
inline constexpr const char* kDriverFirebird = "FB";
inline constexpr const char* kDriverMySQL = "MySQL";

// Type-mapping rules of a connection, in the order they are added.
inline constexpr const char* kMapTimestampToDateTime = "dtDateTimeStamp->dtDateTime";
inline constexpr const char* kMapBcdToDouble = "dtBCD->dtDouble";
inline constexpr const char* kMapFmtBcdToDouble = "dtFmtBCD->dtDouble";
inline constexpr const char* kMapSingleToDouble = "dtSingle->dtDouble";
inline constexpr const char* kMapByteStringToWide = "dtByteString->dtWideString";

class Connection {
 public:
  Connection();
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // Parameters. ClearParams closes an open session first (see
  // SetConnected(false)). SetParam replaces a parameter of the same name (without
  // regard to case) or appends it; Param returns "" for an absent one.
  void ClearParams();
  void SetParam(const std::string& name, const std::string& value);
  void AddParam(const std::string& name_equals_value);
  std::string Param(const std::string& name) const;
  const std::vector<std::string>& Params() const { return params_; }

  // "FB" or "MySQL" (the parameter "DriverID").
  std::string DriverName() const { return Param("DriverID"); }
  void SetDriverName(const std::string& driver) { SetParam("DriverID", driver); }
  bool IsFirebird() const;
  bool IsMySQL() const;

  std::vector<std::string>& MapRules() { return map_rules_; }
  const std::vector<std::string>& MapRules() const { return map_rules_; }

  bool login_prompt = false;
  bool auto_reconnect = true;
  // How long a statement waits for a row that another program holds locked
  // before it fails with the driver's lock time-out error (see lock_wait.h).
  static constexpr std::chrono::seconds kDefaultLockTimeout{10};
  std::chrono::seconds lock_timeout = kDefaultLockTimeout;
  std::string tag;  // free text of the owner (the database's description)

  // The SOCI connect string for the current parameters (the password masked
  // when for_log is set). Firebird: "Database=" is the file; with "Server="
  // the service becomes "server:file" ("server/port:file" when "Port=" is
  // set) and the file is the server's own path; without, the file is opened
  // embedded with its separators converted to this platform's. Character set
  // UTF8. MySQL: "Database=", "User_Name=", "Password=", "Server=", "Port="
  // (default 3306), character set utf8mb4. Raises DatabaseError when the
  // driver is unknown, the database is not named, the port is not a number,
  // a value cannot be written in the driver's connect string or is longer
  // than the client takes (user, password and server 255 characters, the
  // database 1024).
  std::string ConnectString(bool for_log = false) const;

  // The database as named in messages: the file or schema with its server
  // (never the account or password).
  std::string DatabaseName() const;

  // A DatabaseError carrying the driver's message and the database name, with
  // any occurrence of the password removed from the driver's text.
  DatabaseError Error(const std::string& driver_message) const;

  bool Connected() const;
  // Opening raises DatabaseError with the driver's message and the database
  // name. Setting an open connection connected again checks the link when
  // auto_reconnect is set (CheckLink). Closing commits what is pending; a
  // failed commit raises DatabaseError after the connection is closed.
  void SetConnected(bool connected);
  void Open() { SetConnected(true); }
  void Close() { SetConnected(false); }
  // A round trip to the server: when the link has been lost the session ends
  // (what it had not committed is gone), so that the next use reopens it.
  void CheckLink();

  // The open session (opened on first use), inside a transaction whose lock
  // waits end after lock_timeout. Statements run on it raise
  // soci::soci_error; Error() turns one into a DatabaseError.
  soci::session& Session();
  // Commits the current transaction, if the connection is open; raises
  // DatabaseError when the commit fails.
  void Commit();
  // How many transactions have ended on this connection (commits, and
  // sessions ended): tells a transaction from a later one.
  std::uint64_t TransactionsEnded() const { return transactions_ended_; }

  // The statement `sql` prepared on the session (opened on first use), kept
  // until the session ends: repeated lookups and updates skip the
  // preparation. A statement that could not be prepared raises the same
  // soci::soci_error again at every later request of the session.
  PreparedStatement& Prepared(const std::string& sql,
                              const std::vector<StatementParameter>& parameters,
                              bool returns_rows);
  // As Prepared, but a statement that cannot be prepared gives nullptr and
  // the driver's message in `error` (for Error()), without an exception.
  PreparedStatement* PreparedIfPossible(const std::string& sql,
                                        const std::vector<StatementParameter>& parameters,
                                        bool returns_rows, std::string& error);

 private:
  std::vector<std::string> params_;
  std::vector<std::string> map_rules_;
  // Commits and ends the session; the driver's message of a failed commit
  // goes to commit_error when given.
  void EndSession(std::string* commit_error) noexcept;

  // Declared after the session: its statements go before the session does.
  std::unique_ptr<soci::session> session_;
  StatementCache prepared_;
  std::uint64_t transactions_ended_ = 0;
};

}  // namespace oxsms::practice
