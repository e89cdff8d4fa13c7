// Amounts of the payment service: fixed-point currency with four decimals in
// the practice's data, JSON numbers in euros on the wire ("importo",
// "prezzo", "fee").
#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "practice/recipient_records.h"

namespace oxsms::payments {

// The JSON number in euros of an amount: 123456 (12.3456 euros) is written
// 12.3456, 600000 is written 60.0.
double EuroNumber(practice::Currency amount);

// An amount given as a JSON number in euros, or as a text holding one ("12.5"
// or "12,5"), rounded to four decimals. Raises PaymentError for anything
// else, for a value that is not finite and for one beyond the currency range.
practice::Currency CurrencyFromJson(const nlohmann::json& value);
practice::Currency CurrencyFromJson(const nlohmann::ordered_json& value);

// "12.3456", "60.00": at least two decimals, at most four, for log lines.
std::string FormatEuro(practice::Currency amount);

}  // namespace oxsms::payments
