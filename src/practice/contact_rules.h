// Decisions of the patient searches that need no database: which contacts
// the patient's consent code allows, how a mobile number is cleaned, how a
// recipient line is written.
#pragma once

#include <string>
#include <string_view>

#include "platform/date_time.h"

namespace oxsms::practice {

// Consent code `SMS` of `ANAGRAFICA`: 1 = mobile numbers, 2 = email
// addresses, 3 = both; 0 and any other value = neither.
bool ConsentAllowsSms(long code);
bool ConsentAllowsEmail(long code);

// `PulisciNumero`: removes every blank, ',', '-', '.', '/', '\' and every
// ASCII letter, then trims blanks and control characters at both ends.
// Digits, '+' and all other characters stay ("+39 (333) 1234" gives
// "+39(333)1234").
void PulisciNumero(std::string& text);

// A recipient line: surname, first name, contact (mobile number or email
// address) and the tail (the appointment key, or a birth date), joined by ",".
// A CR or LF in the data becomes a blank: the line stays one line of the
// batch and of the log.
std::string FormatRecipientLine(std::string_view surname, std::string_view first_name,
                                std::string_view contact, std::string_view tail);

// `CompleannoNelPeriodo`: true when the birthday, moved into the year of
// `start`, lies in [start, end] (full date-time values compared). A birthday
// that does not exist in that year (29 February) is never in the period.
bool CompleannoNelPeriodo(platform::TDateTime end, platform::TDateTime start,
                          platform::TDateTime birth);

}  // namespace oxsms::practice
