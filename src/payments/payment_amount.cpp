#include "payments/payment_amount.h"

#include <cmath>
#include <cstdlib>
#include <limits>

#include "payments/payment_error.h"

namespace oxsms::payments {
namespace {

constexpr double kUnitsPerEuro = 10000.0;

practice::Currency RoundedUnits(double euros) {
  // 2^53 units are about 900 billion euros: beyond that a double holds no
  // exact unit any more, and no fee of a practice comes near it.
  constexpr double kLimit = 9007199254740992.0;
  const double units = std::round(euros * kUnitsPerEuro);
  if (!std::isfinite(units) || std::fabs(units) > kLimit) {
    throw PaymentError("Importo non valido");
  }
  return static_cast<practice::Currency>(units);
}

practice::Currency UnitsOfText(std::string text) {
  for (char& c : text) {
    if (c == ',') c = '.';
  }
  if (text.empty()) throw PaymentError("Importo non valido");
  char* end = nullptr;
  const double euros = std::strtod(text.c_str(), &end);
  if (end != text.c_str() + text.size()) throw PaymentError("Importo non valido: " + text);
  return RoundedUnits(euros);
}

template <typename Json>
practice::Currency FromJson(const Json& value) {
  if (value.is_number()) return RoundedUnits(value.template get<double>());
  if (value.is_string()) return UnitsOfText(value.template get<std::string>());
  throw PaymentError("Importo non valido");
}

}  // namespace

double EuroNumber(practice::Currency amount) {
  // The nearest double of a value with four decimals prints back with those
  // same decimals (shortest round-trip output of the JSON writer).
  return static_cast<double>(amount) / kUnitsPerEuro;
}

practice::Currency CurrencyFromJson(const nlohmann::json& value) { return FromJson(value); }
practice::Currency CurrencyFromJson(const nlohmann::ordered_json& value) { return FromJson(value); }

std::string FormatEuro(practice::Currency amount) {
  const bool negative = amount < 0;
  const unsigned long long units =
      negative ? 0ULL - static_cast<unsigned long long>(amount) : static_cast<unsigned long long>(amount);
  std::string decimals = std::to_string(units % 10000);
  decimals.insert(0, 4 - decimals.size(), '0');
  while (decimals.size() > 2 && decimals.back() == '0') decimals.pop_back();
  return (negative ? "-" : "") + std::to_string(units / 10000) + "." + decimals;
}

}  // namespace oxsms::payments
