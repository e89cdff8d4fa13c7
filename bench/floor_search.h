// The floor's reading of the practice: one SELECT per agenda table for the
// search day, one SELECT per patient database, and the recipient lines the
// service's search would make of them (one appointment per patient, the
// earliest of the day; one line per usable mobile number and per email
// address).
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "bench_practice.h"
#include "practice/recipient_records.h"

namespace oxsms::bench {

struct FloorRecipients {
  practice::RecipientLists lists;  // the phone lines
  // One line per email address of a patient who consents to email.
  std::vector<std::string> email_lines;
  // Confirmation codes already stored in the agenda, by StoredCodeKey.
  std::unordered_map<std::string, std::string> stored_codes;
};

// The key of an appointment row as the link bookkeeping addresses it: the
// table of the agenda line, the date and the time ("." separated).
std::string StoredCodeKey(const std::string& agenda_line, const std::string& date,
                          const std::string& time);

// Raises practice::DatabaseError when a database cannot be read.
FloorRecipients ReadFloorRecipients(const PracticePlan& plan, platform::TDateTime day);

}  // namespace oxsms::bench
