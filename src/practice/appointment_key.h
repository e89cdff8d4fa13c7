// The appointment key of the search: the appointment's date in the short date
// format, "," and its time of day as two-digit hours and minutes joined by the
// process time separator ('.'), for example "12/05/2025,09.30". Recipient
// lines carry it as their last two comma-separated parts.
#pragma once

#include <string>
#include <string_view>

#include "platform/date_time.h"

namespace oxsms::practice {

// The process time separator of every date/time text of the service.
inline constexpr char kTimeSeparator = '.';

// "hh.mm" of the time of day of a value.
std::string FormatHourMinute(platform::TDateTime value);

// The key of an appointment on `date` at `time` (only the date part of the
// first and the time of day of the second are used).
std::string FormatAppointmentKey(platform::TDateTime date, platform::TDateTime time);

// `OraDaChiave`: the time of day of a key, read from the text after its first
// ",": hours and minutes, optionally seconds, separated by '.' (':' is
// accepted too). A key without "," gives 0. Raises platform::DataError when
// the text after "," is not a time.
platform::TDateTime OraDaChiave(std::string_view key);

// The time of day of a value in whole milliseconds, so times read from a
// database and times parsed from a key compare exactly.
long long MillisecondOfDay(platform::TDateTime value);

}  // namespace oxsms::practice
