// What a practice's databases record of a day's links, read back with plain
// SOCI: the payment-link codes of the agenda rows and of the accounting
// entries, and the confirmation-link codes of the agenda rows.
#pragma once

#include <filesystem>
#include <set>
#include <string>

#include "fixture/practice_options.h"

namespace oxsms::testing {

// The file of the practice's first database of `role` ("agenda",
// "pazienti", ...); empty when there is none.
std::filesystem::path DatabaseOf(const fixture::PracticeReport& report, const std::string& role);

// The payment-link codes (ID_LINKPAG) of both agenda tables, once per row.
std::multiset<std::string> RecordedLinks(const std::filesystem::path& agenda);
// The payment-link codes of the accounting entries (CONTAB, tipo 14).
std::multiset<std::string> AccountedLinks(const std::filesystem::path& patients);
// The confirmation-link codes (ID_WEB) of both agenda tables, once per row.
std::multiset<std::string> ConfirmationCodes(const std::filesystem::path& agenda);

}  // namespace oxsms::testing
