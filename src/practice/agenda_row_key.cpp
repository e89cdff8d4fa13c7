#include "practice/agenda_row_key.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <vector>

#include "platform/error.h"
#include "practice/agenda_lines.h"
#include "practice/appointment_key.h"

namespace oxsms::practice {
namespace {

// A whole number of `min_digits` to `max_digits` digits, or -1.
int NumberPart(std::string_view part, std::size_t min_digits, std::size_t max_digits) {
  if (part.size() < min_digits || part.size() > max_digits) return -1;
  int value = 0;
  for (char c : part) {
    if (c < '0' || c > '9') return -1;
    value = value * 10 + (c - '0');
  }
  return value;
}

[[noreturn]] void RaiseInvalidDate(std::string_view text) {
  throw platform::DataError("'" + std::string(text) + "' non è una data valida");
}

}  // namespace

std::string AgendaTableOfLine(std::string_view id_agenda) {
  std::string table = TableOfAgendaLine(id_agenda);
  std::transform(table.begin(), table.end(), table.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return table;
}

std::string TimeWithDots(std::string ora) {
  std::replace(ora.begin(), ora.end(), ':', kTimeSeparator);
  return ora;
}

platform::TDateTime ParseShortDate(std::string_view text) {
  const std::string trimmed = TrimBlanks(text);
  std::vector<std::string_view> parts;
  std::string_view rest(trimmed);
  for (auto slash = rest.find('/'); slash != std::string_view::npos; slash = rest.find('/')) {
    parts.push_back(rest.substr(0, slash));
    rest.remove_prefix(slash + 1);
  }
  parts.push_back(rest);
  if (parts.size() != 3) RaiseInvalidDate(text);
  const int day = NumberPart(parts[0], 1, 2);
  const int month = NumberPart(parts[1], 1, 2);
  const int year = NumberPart(parts[2], 4, 4);
  if (day < 1 || month < 1 || year < 1) RaiseInvalidDate(text);
  try {
    return platform::EncodeDate(year, month, day);
  } catch (const platform::DataError&) {
    RaiseInvalidDate(text);
  }
}

AgendaRowKey RowKeyOf(std::string_view data, std::string_view ora) {
  AgendaRowKey key;
  key.data = platform::ToTm(ParseShortDate(data));
  // OraDaChiave reads the time after the first ',' of a key.
  key.ora = platform::ToTm(OraDaChiave("," + TimeWithDots(std::string(ora))));
  return key;
}

std::string TimeOfDayText(const std::tm& ora) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", ora.tm_hour, ora.tm_min, ora.tm_sec);
  return text;
}

}  // namespace oxsms::practice
