#include "payments/payment_address.h"

#include "net/maker_rest.h"

namespace oxsms::payments {

std::string WithoutMinusOne(const std::string& code) {
  std::string result;
  result.reserve(code.size());
  for (std::size_t i = 0; i < code.size(); ++i) {
    if (code.compare(i, 2, "-1") == 0) {
      ++i;
      continue;
    }
    result.push_back(code[i]);
  }
  return result;
}

std::string PaymentAddress(const std::string& payment_url, const std::string& code) {
  return "https://" + net::HostOf(payment_url) + "/s/" + WithoutMinusOne(code);
}

}  // namespace oxsms::payments
