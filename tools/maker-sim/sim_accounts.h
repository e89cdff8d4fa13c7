// The practice accounts at the maker's services. The simulated SMS gateway
// owns them (its "accounts" state); the JSON services that take "user" and
// "pwd" in their requests check them against the same list, as the real
// services share one account per practice.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "maker-sim/sim_service.h"

namespace oxsms::makersim {

// Nothing when the account may use the service, else the refusal's
// "response_message". Called with the state lock held.
using AccountCheck =
    std::function<std::optional<std::string>(const std::string& user, const std::string& pwd)>;

// Checks against the "accounts" of `sms` (the SMS gateway service), read at
// each call so accounts added later through the control API count. An
// unknown user, a wrong password and an account the gateway itself refuses
// (its own "codice" not 0) are refused. `sms` must outlive the check.
AccountCheck AccountsOf(const SimService& sms);

}  // namespace oxsms::makersim
