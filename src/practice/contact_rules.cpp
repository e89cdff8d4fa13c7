#include "practice/contact_rules.h"

#include <algorithm>

#include "platform/error.h"
#include "practice/agenda_lines.h"

namespace oxsms::practice {

bool ConsentAllowsSms(long code) { return code == 1 || code == 3; }
bool ConsentAllowsEmail(long code) { return code == 2 || code == 3; }

void PulisciNumero(std::string& text) {
  auto removed = [](char c) {
    return c == ' ' || c == ',' || c == '-' || c == '.' || c == '/' || c == '\\' ||
           (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
  };
  text.erase(std::remove_if(text.begin(), text.end(), removed), text.end());
  text = TrimBlanks(text);
}

std::string FormatRecipientLine(std::string_view surname, std::string_view first_name,
                                std::string_view contact, std::string_view tail) {
  std::string line;
  line.reserve(surname.size() + first_name.size() + contact.size() + tail.size() + 3);
  line.append(surname).append(",").append(first_name).append(",");
  line.append(contact).append(",").append(tail);
  std::replace_if(line.begin(), line.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
  return line;
}

bool CompleannoNelPeriodo(platform::TDateTime end, platform::TDateTime start,
                          platform::TDateTime birth) {
  try {
    const int year = platform::DecodeDate(start).year;
    const auto parts = platform::DecodeDate(birth);
    const platform::TDateTime moved =
        platform::EncodeDate(year, parts.month, parts.day) + platform::TimeOf(birth);
    return start <= moved && moved <= end;
  } catch (const platform::DataError&) {  // 29 February in a common year
    return false;
  }
}

}  // namespace oxsms::practice
