// The patient codes (ANAGRAFICA.codice_cliente) the contact lookup read, by
// patient database and badge; nullopt for a patient without one. The payment
// bookkeeping of an appointment with a fee asks for the same code again.
// Filled by the recipient search and read by the link bookkeeping of the same
// send run; only the service thread uses it.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <utility>

#include "practice/connection.h"

namespace oxsms::practice {

using PatientCodes = std::map<std::pair<const Connection*, std::string>, std::optional<int>>;

}  // namespace oxsms::practice
