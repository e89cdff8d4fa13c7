// Dates and times as the practice databases deliver them: a day count since
// 30/12/1899 with the time of day as the fraction (local time, no zone).
#pragma once

#include <ctime>
#include <string>

#include "platform/error.h"

namespace oxsms::platform {

using TDateTime = double;

constexpr double kMinutesPerDay = 1440.0;
constexpr double kSecondsPerDay = 86400.0;

struct DateParts {
  int year = 1899, month = 12, day = 30;
};
struct TimeParts {
  int hour = 0, minute = 0, second = 0, millisecond = 0;
};

// Raises DataError for a date or time that does not exist.
TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeTime(int hour, int minute, int second, int millisecond = 0);
DateParts DecodeDate(TDateTime value);
TimeParts DecodeTime(TDateTime value);

// The whole days and the time of day of a value.
TDateTime DateOf(TDateTime value);
TDateTime TimeOf(TDateTime value);

// ISO day of the week: 1 = Monday … 7 = Sunday.
int DayOfTheWeek(TDateTime value);
bool IsLeapYear(int year);

// Conversions to and from the C calendar structure (local time, no zone).
TDateTime FromTm(const std::tm& tm);
std::tm ToTm(TDateTime value);

// "dd/mm/yyyy".
std::string FormatDate(TDateTime value);
// Hours, minutes and seconds, two digits each, joined by the separator.
std::string FormatTime(TDateTime value, char separator);
// "YYYY-MM-DD HH:MM:SS" (seconds optional); raises DataError.
TDateTime ParseIsoDateTime(const std::string& text);

}  // namespace oxsms::platform
