#include "practice/appointment_key.h"

#include <cstdio>
#include <vector>

#include "platform/error.h"
#include "practice/agenda_lines.h"

namespace oxsms::practice {
namespace {

std::string TwoDigits(int value) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "%02d", value);
  return buffer;
}

[[noreturn]] void RaiseInvalidTime(std::string_view text) {
  throw platform::DataError("'" + std::string(text) + "' non è un orario valido");
}

// A number of at most two digits; -1 when the part is not one.
int SmallNumber(std::string_view part) {
  if (part.empty() || part.size() > 2) return -1;
  int value = 0;
  for (char c : part) {
    if (c < '0' || c > '9') return -1;
    value = value * 10 + (c - '0');
  }
  return value;
}

}  // namespace

std::string FormatHourMinute(platform::TDateTime value) {
  const auto t = platform::DecodeTime(value);
  return TwoDigits(t.hour) + kTimeSeparator + TwoDigits(t.minute);
}

std::string FormatAppointmentKey(platform::TDateTime date, platform::TDateTime time) {
  return platform::FormatDate(platform::DateOf(date)) + "," + FormatHourMinute(time);
}

platform::TDateTime OraDaChiave(std::string_view key) {
  const auto comma = key.find(',');
  if (comma == std::string_view::npos) return 0;
  const std::string text = TrimBlanks(key.substr(comma + 1));
  std::vector<std::string_view> parts;
  std::string_view rest(text);
  while (true) {
    const auto sep = rest.find_first_of(".:");
    parts.push_back(rest.substr(0, sep));
    if (sep == std::string_view::npos) break;
    rest = rest.substr(sep + 1);
  }
  if (parts.size() < 2 || parts.size() > 3) RaiseInvalidTime(text);
  const int hour = SmallNumber(parts[0]);
  const int minute = SmallNumber(parts[1]);
  const int second = parts.size() == 3 ? SmallNumber(parts[2]) : 0;
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) {
    RaiseInvalidTime(text);
  }
  return platform::EncodeTime(hour, minute, second);
}

long long MillisecondOfDay(platform::TDateTime value) {
  const auto t = platform::DecodeTime(value);
  return ((t.hour * 60LL + t.minute) * 60LL + t.second) * 1000LL + t.millisecond;
}

}  // namespace oxsms::practice
