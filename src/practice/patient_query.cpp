#include "practice/patient_query.h"

#include "practice/credential_protection.h"
#include "practice/search_database.h"

namespace oxsms::practice {

std::string ColumnKeyFor(const Connection& connection,
                         const platform::Installation& installation) {
  return connection.IsFirebird() ? std::string() : ChiaveAnagrafica(installation);
}

std::string KeyInsideQuotes(const std::string& quoted_key) {
  if (quoted_key.size() < 2) return quoted_key;
  return quoted_key.substr(1, quoted_key.size() - 2);
}

PatientLookup::PatientLookup(Connection& connection, const std::string& sql, std::string secret)
    : connection_(connection), secret_(std::move(secret)) {
  try {
    statement_ = std::make_unique<soci::statement>(
        (connection_.Session().prepare << sql, soci::use(badge_, "badge"), soci::into(row_)));
  } catch (const soci::soci_error& e) {
    throw StatementError(connection_, e, secret_);
  }
}

bool PatientLookup::Find(const std::string& badge) {
  badge_ = badge;
  try {
    return statement_->execute(true);
  } catch (const soci::soci_error& e) {
    throw StatementError(connection_, e, secret_);
  }
}

}  // namespace oxsms::practice
