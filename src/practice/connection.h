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

#include <memory>
#include <string>
#include <vector>

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

  // Parameters. SetParam replaces a parameter of the same name (without
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
  std::string tag;  // free text of the owner (the database's description)

  // The SOCI connect string for the current parameters (the password masked
  // when for_log is set). Raises DatabaseError when the driver is unknown.
  std::string ConnectString(bool for_log = false) const;

  bool Connected() const;
  // Opening raises DatabaseError with the driver's message and the database
  // name; closing commits what is pending.
  void SetConnected(bool connected);
  void Open() { SetConnected(true); }
  void Close() { SetConnected(false); }

  // The open session (opened on first use).
  soci::session& Session();
  // Commits the current transaction, if the connection is open.
  void Commit();

 private:
  std::vector<std::string> params_;
  std::vector<std::string> map_rules_;
  std::unique_ptr<soci::session> session_;
};

}  // namespace oxsms::practice
