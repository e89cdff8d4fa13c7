// A statement on a patient database, prepared once and executed per value (a
// lookup by badge repeats for every patient of a search). Driver errors
// become DatabaseError naming the database, with the column key blanked out.
#pragma once

#include <soci/soci.h>

#include <memory>
#include <string>

#include "platform/installation.h"
#include "practice/connection.h"

namespace oxsms::practice {

// The quoted column key for the statements of a patient database: the
// installation's `ChiaveAnagrafica` on MySQL, empty on Firebird (where the
// columns are plain and no key is needed).
std::string ColumnKeyFor(const Connection& connection, const platform::Installation& installation);

// The text inside the quotes of a quoted key, to blank it out of messages.
std::string KeyInsideQuotes(const std::string& quoted_key);

class PatientLookup {
 public:
  // Prepares `sql`, which binds ":badge".
  PatientLookup(Connection& connection, const std::string& sql, std::string secret);
  // Executes for `badge`; true when a row was found (the first one).
  bool Find(const std::string& badge);
  const soci::row& Row() const { return row_; }

 private:
  Connection& connection_;
  std::string secret_;
  std::string badge_;
  soci::row row_;
  std::unique_ptr<soci::statement> statement_;
};

}  // namespace oxsms::practice
