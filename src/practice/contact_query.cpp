#include "practice/contact_query.h"

#include <soci/soci.h>

#include <limits>

#include "practice/patient_statements.h"
#include "practice/row_values.h"

namespace oxsms::practice {

PatientContact ContactOf(const soci::row& row, bool second_contacts) {
  PatientContact contact;
  contact.cognome = TextOf(row, ContactColumns::kCognome);
  contact.nome = TextOf(row, ContactColumns::kNome);
  contact.telcell = TextOf(row, ContactColumns::kTelCell);
  contact.sms = static_cast<long>(IntegerOf(row, ContactColumns::kSms).value_or(0));
  contact.email = TextOf(row, ContactColumns::kEmail);
  if (second_contacts) {
    contact.telcell2 = TextOf(row, ContactColumns::kTelCell2);
    contact.email2 = TextOf(row, ContactColumns::kEmail2);
  }
  // CODICE_CLIENTE closes the list, after the second contacts when present.
  const auto code = IntegerOf(row, second_contacts ? ContactColumns::kEmail2 + 1
                                                   : ContactColumns::kEmail + 1);
  if (code && *code >= std::numeric_limits<int>::min() && *code <= std::numeric_limits<int>::max()) {
    contact.codice_cliente = static_cast<int>(*code);
  }
  return contact;
}

ContactQuery::ContactQuery(Connection& connection, bool second_contacts,
                           const std::string& quoted_key, std::string secret)
    : second_contacts_(second_contacts),
      lookup_(connection, ContactStatement(second_contacts, !connection.IsFirebird(), quoted_key),
              std::move(secret)) {}

std::optional<PatientContact> ContactQuery::Find(const std::string& badge) {
  if (!lookup_.Find(badge)) return std::nullopt;
  return ContactOf(lookup_.Row(), second_contacts_);
}

}  // namespace oxsms::practice
