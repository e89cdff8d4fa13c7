// The contact lookup of the appointment search: a patient looked up by badge
// in one patient database, read into what the search keeps of it.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "practice/connection.h"
#include "practice/patient_query.h"

namespace soci {
class row;
}  // namespace soci

namespace oxsms::practice {

// What the contact lookup reads of a patient.
struct PatientContact {
  std::string cognome;
  std::string nome;
  std::string telcell;
  std::string email;
  std::string telcell2;  // empty without the second contacts
  std::string email2;    // empty without the second contacts
  long sms = 0;          // consent code; NULL reads as 0
  std::optional<int> codice_cliente;
};

// The contact in a row of the contact statement.
PatientContact ContactOf(const soci::row& row, bool second_contacts);

class ContactQuery {
 public:
  // Badges looked up by one statement.
  static constexpr std::size_t kChunk = 20;

  // `quoted_key` is the column key (MySQL), `secret` its text to blank out of
  // driver messages. Prepares the statement; raises DatabaseError.
  ContactQuery(Connection& connection, bool second_contacts, const std::string& quoted_key,
               std::string secret);

  // The first patient with `badge`, or nullopt. Raises DatabaseError.
  std::optional<PatientContact> Find(const std::string& badge);
  // The contacts of up to kChunk badges, in their order, each what Find gives
  // for it. The rows of one statement are matched to the badges asked for
  // character by character; a badge that ends in a blank or is met in two
  // rows, and every badge of a chunk with a row that matches none of them
  // (the database compares without regard to case or trailing blanks), is
  // looked up alone. Raises DatabaseError.
  std::vector<std::optional<PatientContact>> FindChunk(const std::vector<std::string>& badges);

 private:
  Connection& connection_;
  std::string quoted_key_;
  std::string secret_;
  bool second_contacts_;
  PatientLookup lookup_;
};

}  // namespace oxsms::practice
