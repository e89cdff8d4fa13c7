// Column values of a fetched row, whatever type the driver chose for them:
// the practice databases differ (Firebird dialect 1 or 3, MySQL), so a badge
// may be text or a number, a date a DATE or a TIMESTAMP, an amount a NUMERIC
// delivered as text or as a double. A NULL reads as empty text, 0, or no date.
// Text columns may be CHAR as well as VARCHAR: a CHAR value arrives padded
// with blanks to the column's length, so text is read without trailing
// blanks, as the suite's own programs read it (no value read here has
// meaningful trailing blanks).
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "platform/date_time.h"
#include "practice/recipient_records.h"

namespace soci {
class row;
}

namespace oxsms::practice {

// Text of a column: strings without their trailing blanks (taken as
// Windows-1252 when not UTF-8), integers in decimal, doubles in their shortest form, dates as
// "dd/mm/yyyy" (with " hh.mm.ss" when the time of day is not midnight).
std::string TextOf(const soci::row& row, std::size_t column);

// An integer column, or a text holding a whole decimal number; nullopt for
// NULL or anything else.
std::optional<long long> IntegerOf(const soci::row& row, std::size_t column);

// A date-time column (or a text "YYYY-MM-DD[ HH:MM[:SS]]"); nullopt for NULL.
// A TIME column gives the time of day (alone from Firebird, on 01/01/1900
// from MySQL: callers of a time take its time of day). Raises
// platform::DataError for a text that is not a date.
std::optional<platform::TDateTime> DateTimeOf(const soci::row& row, std::size_t column);

// An amount with four decimals; NULL reads as 0. A decimal text is read
// exactly; a double is rounded to the fourth decimal. Raises
// platform::DataError for a text that is not a number.
Currency CurrencyOf(const soci::row& row, std::size_t column);

}  // namespace oxsms::practice
