// The description of one practice database.
#pragma once

#include <cstdint>
#include <string>

namespace oxsms::practice {

struct TRecDatabase {
  std::string fgdb;  // Firebird: database file path; MySQL: schema name
  std::string host;  // server host; empty for a local file
  std::string user;
  std::string pwd;
  std::string role;     // MySQL port as text (empty = 3306)
  std::string pwdfile;  // carried from the catalogue, not used here
  std::string vista;
  bool local = false;
  int16_t protoc = 0;  // 0..2 Firebird, 3 and 4 MySQL
  bool login = false;
  bool loginfile = false;
  bool inactive = false;
  std::string filtro_db;
  std::string schema_db;  // when set, wins over fgdb
  std::string descrizione_db;
  std::string id_configurazione;
  std::string server_ftp, user_ftp, pwd_ftp, port_ftp, bucket_ftp;
  std::string NO_DATEMAPRULES;  // "1" switches off the timestamp mapping rule

  bool IsMySQL() const { return protoc >= 3; }
};

}  // namespace oxsms::practice
