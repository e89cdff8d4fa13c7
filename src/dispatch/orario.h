// The send time as the settings store it: a time of day written with '.'
// between hours, minutes and seconds ("11.00", "11.00.00").
#pragma once

#include <string>
#include <string_view>

#include "platform/date_time.h"
#include "platform/error.h"

namespace oxsms::dispatch {

// A text that is no valid time of day.
class ConversionError : public platform::DataError {
 public:
  using platform::DataError::DataError;
};

// The time of day (fraction of a day) of "h.mm" or "h.mm.ss": hours 0-23,
// minutes and seconds 0-59, one or two digits each; blanks around the text
// are ignored. Raises ConversionError for anything else.
platform::TDateTime StrToOrario(std::string_view text);

// Two-digit 24-hour hours, minutes and seconds joined by '.' (11:00 gives
// "11.00.00"). Only the time-of-day part of the value counts.
std::string OrarioToStr(platform::TDateTime time);

}  // namespace oxsms::dispatch
