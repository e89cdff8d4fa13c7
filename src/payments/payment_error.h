// Errors of the payment service client. Each carries the Italian text the
// caller logs; none carries a credential or the API key.
#pragma once

#include <string>

#include "platform/error.h"

namespace oxsms::payments {

// The payment service cannot be used: an empty reply ("Errore del server "
// + host), a reply the client cannot read, an unusable amount.
class PaymentError : public platform::Error {
 public:
  explicit PaymentError(const std::string& message)
      : platform::Error(platform::ErrorCategory::kRemoteService, message) {}
};

}  // namespace oxsms::payments
