#include "channels/confirmation_request.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <vector>

#include "channels/channel_error.h"

namespace oxsms::channels {
namespace {

constexpr long long kMillisPerHour = 3600LL * 1000LL;
constexpr long long kMillisPerDay = 24LL * kMillisPerHour;

std::string_view Trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  while (true) {
    const auto at = text.find(separator);
    parts.push_back(text.substr(0, at));
    if (at == std::string_view::npos) return parts;
    text = text.substr(at + 1);
  }
}

// A number of 1 to `max_digits` digits; -1 when the part is not one.
int Digits(std::string_view part, std::size_t max_digits) {
  if (part.empty() || part.size() > max_digits) return -1;
  int value = 0;
  for (char c : part) {
    if (c < '0' || c > '9') return -1;
    value = value * 10 + (c - '0');
  }
  return value;
}

[[noreturn]] void RaiseInvalid(std::string_view text, const char* what) {
  throw ChannelError("'" + std::string(text) + "' " + what);
}

std::string Replaced(std::string text, char from, char to) {
  std::replace(text.begin(), text.end(), from, to);
  return text;
}

std::optional<platform::TimeParts> TryReadTime(const std::string& text, char separator) {
  try {
    return ReadLineTime(text, separator);
  } catch (const ChannelError&) {
    return std::nullopt;
  }
}

long long DayNumber(const platform::DateParts& date) {
  return std::llround(platform::EncodeDate(date.year, date.month, date.day));
}

long long MillisOfDay(const platform::TimeParts& time) {
  return ((time.hour * 60LL + time.minute) * 60LL + time.second) * 1000LL + time.millisecond;
}

}  // namespace

platform::DateParts ReadLineDate(std::string_view text) {
  const auto parts = Split(Trimmed(text), '/');
  if (parts.size() != 3) RaiseInvalid(text, "non è una data valida");
  const int day = Digits(parts[0], 2);
  const int month = Digits(parts[1], 2);
  int year = Digits(parts[2], 4);
  if (parts[2].size() == 2 && year >= 0) year += 2000;
  if (parts[2].size() == 1 || parts[2].size() == 3) year = -1;
  try {
    platform::EncodeDate(year, month, day);  // validates the calendar date
  } catch (const platform::DataError&) {
    RaiseInvalid(text, "non è una data valida");
  }
  return {year, month, day};
}

platform::TimeParts ReadLineTime(std::string_view text, char separator) {
  const auto parts = Split(Trimmed(text), separator);
  if (parts.size() < 2 || parts.size() > 3) RaiseInvalid(text, "non è un orario valido");
  const int hour = Digits(parts[0], 2);
  const int minute = Digits(parts[1], 2);
  const int second = parts.size() == 3 ? Digits(parts[2], 2) : 0;
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) {
    RaiseInvalid(text, "non è un orario valido");
  }
  return {hour, minute, second, 0};
}

AppointmentMoment ReadAppointmentMoment(practice::TLineRec& rec, char time_separator) {
  AppointmentMoment moment;
  moment.date = ReadLineDate(rec.Data);
  if (auto time = TryReadTime(rec.Ora, time_separator)) {
    moment.time = *time;
    return moment;
  }
  rec.Ora = Replaced(rec.Ora, ':', '.');
  if (auto time = TryReadTime(rec.Ora, time_separator)) {
    moment.time = *time;
    return moment;
  }
  rec.Ora = Replaced(rec.Ora, '.', ':');
  moment.time = ReadLineTime(rec.Ora, time_separator);
  return moment;
}

std::string FormatDataAppuntamento(const AppointmentMoment& moment) {
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", moment.date.year,
                moment.date.month, moment.date.day, moment.time.hour, moment.time.minute,
                moment.time.second);
  return text;
}

std::optional<long long> OreDisdetta(const AppointmentMoment& moment, double ore_disdetta) {
  // A setting far outside a day's range is no deadline: leave the member out
  // rather than send a number the service cannot mean.
  if (ore_disdetta == 0 || !std::isfinite(ore_disdetta) || std::fabs(ore_disdetta) > 1000) {
    return std::nullopt;
  }
  const long long day_start = DayNumber(moment.date) * kMillisPerDay;
  const long long appointment = day_start + MillisOfDay(moment.time);
  const long long deadline =
      day_start - kMillisPerDay + std::llround(ore_disdetta * static_cast<double>(kMillisPerDay));
  return std::llabs(appointment - deadline) / kMillisPerHour;
}

nlohmann::json BuildConfermaRequest(practice::TLineRec& rec, const ConfermaAccount& account,
                                    char time_separator) {
  const AppointmentMoment moment = ReadAppointmentMoment(rec, time_separator);
  nlohmann::json request = {{"user", account.user},
                            {"pwd", account.pwd},
                            {"data_appuntamento", FormatDataAppuntamento(moment)},
                            {"id_agenda", rec.id_agenda}};
  if (auto hours = OreDisdetta(moment, account.ore_disdetta)) request["ore_disdetta"] = *hours;
  return request;
}

}  // namespace oxsms::channels
