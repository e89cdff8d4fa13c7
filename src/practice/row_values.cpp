#include "practice/row_values.h"

#include <soci/soci.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "platform/code_page.h"
#include "platform/error.h"
#include "practice/agenda_lines.h"

namespace oxsms::practice {
namespace {

bool IsNull(const soci::row& row, std::size_t column) {
  return row.get_indicator(column) == soci::i_null;
}

soci::data_type TypeOf(const soci::row& row, std::size_t column) {
  return row.get_properties(column).get_data_type();
}

std::string DoubleText(double value) {
  if (std::floor(value) == value && std::fabs(value) < 1e15) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.0f", value);
    return buffer;
  }
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%.15g", value);
  return buffer;
}

// A TIME column arrives as a std::tm with only the time of day set.
bool IsTimeOnly(const std::tm& tm) { return tm.tm_year == 0 && tm.tm_mon == 0 && tm.tm_mday == 0; }

platform::TDateTime FromDriverTm(const std::tm& tm) {
  const platform::TDateTime time =
      platform::EncodeTime(tm.tm_hour, tm.tm_min, tm.tm_sec > 59 ? 59 : tm.tm_sec);
  if (IsTimeOnly(tm)) return time;
  return platform::EncodeDate(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday) + time;
}

platform::TDateTime ParseDateText(const std::string& text) {
  const std::string t = TrimBlanks(text);
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
  const int n = std::sscanf(t.c_str(), "%d-%d-%d %d:%d:%d", &y, &mo, &d, &h, &mi, &s);
  if (n == 3 || n >= 5) return platform::EncodeDate(y, mo, d) + platform::EncodeTime(h, mi, s);
  if (std::sscanf(t.c_str(), "%d:%d:%d", &h, &mi, &s) >= 2) return platform::EncodeTime(h, mi, s);
  throw platform::DataError("'" + t + "' non è una data valida");
}

// "-12.3456" as units of 0.0001, exactly.
Currency ParseDecimal(const std::string& text) {
  const std::string t = TrimBlanks(text);
  std::size_t i = 0;
  bool negative = false;
  if (i < t.size() && (t[i] == '-' || t[i] == '+')) negative = t[i++] == '-';
  Currency whole = 0;
  Currency fraction = 0;
  int decimals = 0;
  bool digits = false;
  for (; i < t.size() && t[i] >= '0' && t[i] <= '9'; ++i, digits = true) {
    whole = whole * 10 + (t[i] - '0');
  }
  if (i < t.size() && t[i] == '.') {
    for (++i; i < t.size() && t[i] >= '0' && t[i] <= '9'; ++i, digits = true) {
      if (decimals < 4) {
        fraction = fraction * 10 + (t[i] - '0');
        ++decimals;
      }
    }
  }
  if (!digits || i != t.size()) throw platform::DataError("'" + t + "' non è un importo valido");
  for (; decimals < 4; ++decimals) fraction *= 10;
  const Currency value = whole * 10000 + fraction;
  return negative ? -value : value;
}

}  // namespace

std::string TextOf(const soci::row& row, std::size_t column) {
  if (IsNull(row, column)) return {};
  switch (TypeOf(row, column)) {
    case soci::dt_string:
    case soci::dt_xml:
      return platform::ToUtf8Lenient(WithoutTrailingBlanks(row.get<std::string>(column)));
    case soci::dt_integer:
      return std::to_string(row.get<int>(column));
    case soci::dt_long_long:
      return std::to_string(row.get<long long>(column));
    case soci::dt_unsigned_long_long:
      return std::to_string(row.get<unsigned long long>(column));
    case soci::dt_double:
      return DoubleText(row.get<double>(column));
    case soci::dt_date: {
      const platform::TDateTime value = FromDriverTm(row.get<std::tm>(column));
      std::string text = platform::FormatDate(value);
      if (platform::TimeOf(value) != 0) text += " " + platform::FormatTime(value, '.');
      return text;
    }
    case soci::dt_blob:
      break;
  }
  return {};
}

std::optional<long long> IntegerOf(const soci::row& row, std::size_t column) {
  if (IsNull(row, column)) return std::nullopt;
  switch (TypeOf(row, column)) {
    case soci::dt_integer:
      return row.get<int>(column);
    case soci::dt_long_long:
      return row.get<long long>(column);
    case soci::dt_unsigned_long_long:
      return static_cast<long long>(row.get<unsigned long long>(column));
    case soci::dt_double: {
      const double v = row.get<double>(column);
      if (std::floor(v) == v && std::fabs(v) < 9e18) return static_cast<long long>(v);
      return std::nullopt;
    }
    case soci::dt_string: {
      const std::string text = TrimBlanks(row.get<std::string>(column));
      if (text.empty()) return std::nullopt;
      char* end = nullptr;
      errno = 0;
      const long long v = std::strtoll(text.c_str(), &end, 10);
      if (errno != 0 || *end != '\0') return std::nullopt;
      return v;
    }
    default:
      return std::nullopt;
  }
}

std::optional<platform::TDateTime> DateTimeOf(const soci::row& row, std::size_t column) {
  if (IsNull(row, column)) return std::nullopt;
  switch (TypeOf(row, column)) {
    case soci::dt_date:
      return FromDriverTm(row.get<std::tm>(column));
    case soci::dt_double:
      return row.get<double>(column);
    case soci::dt_string: {
      const std::string text = row.get<std::string>(column);
      if (TrimBlanks(text).empty()) return std::nullopt;
      return ParseDateText(text);
    }
    default:
      throw platform::DataError("Colonna " + row.get_properties(column).get_name() +
                                  ": data non valida");
  }
}

Currency CurrencyOf(const soci::row& row, std::size_t column) {
  if (IsNull(row, column)) return 0;
  switch (TypeOf(row, column)) {
    case soci::dt_string:
      return TrimBlanks(row.get<std::string>(column)).empty()
                 ? 0
                 : ParseDecimal(row.get<std::string>(column));
    case soci::dt_double:
      return std::llround(row.get<double>(column) * 10000.0);
    case soci::dt_integer:
      return static_cast<Currency>(row.get<int>(column)) * 10000;
    case soci::dt_long_long:
      return row.get<long long>(column) * 10000;
    case soci::dt_unsigned_long_long:
      return static_cast<Currency>(row.get<unsigned long long>(column)) * 10000;
    default:
      throw platform::DataError("Colonna " + row.get_properties(column).get_name() +
                                  ": importo non valido");
  }
}

}  // namespace oxsms::practice
