#include "platform/date_time.h"

#include <cmath>
#include <cstdio>

namespace oxsms::platform {
namespace {

// Days from 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
long DaysFromCivil(long y, unsigned m, unsigned d) {
  y -= m <= 2;
  const long era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long>(doe) - 719468;
}

DateParts CivilFromDays(long z) {
  z += 719468;
  const long era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long y = static_cast<long>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned d = doy - (153 * mp + 2) / 5 + 1;
  const unsigned m = mp < 10 ? mp + 3 : mp - 9;
  return {static_cast<int>(y + (m <= 2)), static_cast<int>(m), static_cast<int>(d)};
}

constexpr long kEpochOffset = 25569;  // 1970-01-01 as a day count from 1899-12-30

int DaysInMonth(int year, int month) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Milliseconds of the day, rounded, so 0.4583333 reads as 11:00:00.000.
long MillisOfDay(TDateTime value) {
  const double frac = std::fabs(value - std::trunc(value));
  return std::lround(frac * kSecondsPerDay * 1000.0);
}

}  // namespace

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

TDateTime EncodeDate(int year, int month, int day) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
      day > DaysInMonth(year, month)) {
    throw DataError("Data non valida");
  }
  return static_cast<double>(DaysFromCivil(year, month, day) + kEpochOffset);
}

TDateTime EncodeTime(int hour, int minute, int second, int millisecond) {
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 ||
      millisecond < 0 || millisecond > 999) {
    throw DataError("Ora non valida");
  }
  return (((hour * 60.0 + minute) * 60.0 + second) * 1000.0 + millisecond) /
         (kSecondsPerDay * 1000.0);
}

TDateTime DateOf(TDateTime value) {
  // A time that rounds to midnight belongs to the next day.
  double days = std::floor(value);
  if (MillisOfDay(value) >= 86400000L) days += 1;
  return days;
}

TDateTime TimeOf(TDateTime value) {
  const long ms = MillisOfDay(value) % 86400000L;
  return ms / (kSecondsPerDay * 1000.0);
}

DateParts DecodeDate(TDateTime value) {
  return CivilFromDays(static_cast<long>(DateOf(value)) - kEpochOffset);
}

TimeParts DecodeTime(TDateTime value) {
  long ms = MillisOfDay(value) % 86400000L;
  TimeParts t;
  t.hour = static_cast<int>(ms / 3600000L);
  ms %= 3600000L;
  t.minute = static_cast<int>(ms / 60000L);
  ms %= 60000L;
  t.second = static_cast<int>(ms / 1000L);
  t.millisecond = static_cast<int>(ms % 1000L);
  return t;
}

int DayOfTheWeek(TDateTime value) {
  // 1899-12-30 was a Saturday (ISO 6).
  const long days = static_cast<long>(DateOf(value));
  return static_cast<int>(((days % 7) + 7 + 5) % 7) + 1;
}

TDateTime FromTm(const std::tm& tm) {
  return EncodeDate(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday) +
         EncodeTime(tm.tm_hour, tm.tm_min, tm.tm_sec > 59 ? 59 : tm.tm_sec);
}

std::tm ToTm(TDateTime value) {
  const DateParts d = DecodeDate(value);
  const TimeParts t = DecodeTime(value);
  std::tm tm{};
  tm.tm_year = d.year - 1900;
  tm.tm_mon = d.month - 1;
  tm.tm_mday = d.day;
  tm.tm_hour = t.hour;
  tm.tm_min = t.minute;
  tm.tm_sec = t.second;
  tm.tm_wday = DayOfTheWeek(value) % 7;
  tm.tm_isdst = -1;
  return tm;
}

std::string FormatDate(TDateTime value) {
  const DateParts d = DecodeDate(value);
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d/%02d/%04d", d.day, d.month, d.year);
  return buf;
}

std::string FormatTime(TDateTime value, char separator) {
  const TimeParts t = DecodeTime(value);
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d%c%02d%c%02d", t.hour, separator, t.minute, separator,
                t.second);
  return buf;
}

TDateTime ParseIsoDateTime(const std::string& text) {
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
  char tail = 0;
  const int n = std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d%c", &y, &mo, &d, &h, &mi, &s, &tail);
  if (n < 5 || n > 6) throw DataError("Data e ora non valide: " + text);
  return EncodeDate(y, mo, d) + EncodeTime(h, mi, s);
}

}  // namespace oxsms::platform
