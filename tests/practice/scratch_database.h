// An empty database of one test on the backend under test: a Firebird file in
// a scratch folder, or a schema of its own on the private MariaDB server.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "practice/connection.h"
#include "support/database_env.h"

namespace oxsms::testing {

// A schema name prefix made of "oxsms_" and the letters and digits of a
// database name (every other character becomes '_').
std::string SchemaPrefix(const std::string& name);

class ScratchDatabase {
 public:
  // `name` is the file name on Firebird and the prefix of the schema's name
  // on MariaDB (which needs a server: call OXSMS_REQUIRE_BACKEND first).
  ScratchDatabase(Backend backend, const TempDir& dir, const std::string& name, int dialect = 3);

  Backend backend() const { return backend_; }
  // The database name as the connection's "Database" parameter holds it.
  const std::string& Name() const { return name_; }
  const MySqlServer& Server() const { return *server_; }

  // The keys of a config.ini section that names the database ("File" and,
  // on MariaDB, protocol 3 with the server and its account), one per line.
  std::string IniKeys() const;
  // A location text naming the database with its account, as group agendas
  // and catalogue rows hold one.
  std::string LocationText() const;

  // Points `c` at the database with the driver's own account.
  void Configure(practice::Connection& c) const;
  // The same with another password.
  void ConfigureWithPassword(practice::Connection& c, const std::string& password) const;

 private:
  Backend backend_;
  std::optional<MySqlServer> server_;
  std::unique_ptr<ScratchSchema> schema_;
  std::string name_;
};

}  // namespace oxsms::testing
