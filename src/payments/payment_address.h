// The codes and addresses of payment links. A code may carry the marker
// "-1", which the desktop programs attach to a code; the service knows the
// code without it.
#pragma once

#include <string>

namespace oxsms::payments {

// The code with every "-1" removed, in one pass from the left ("AB-1" gives
// "AB", "A-1B-1" gives "AB").
std::string WithoutMinusOne(const std::string& code);

// The address given to a patient for a stored code: "https://" + the host
// part of `payment_url` + "/s/" + the code without "-1".
std::string PaymentAddress(const std::string& payment_url, const std::string& code);

}  // namespace oxsms::payments
