// Errors of the payment service client. Each carries the Italian text the
// caller logs; none carries a credential or the API key.
#pragma once

#include <stdexcept>
#include <string>

namespace oxsms::payments {

// The payment service cannot be used: an empty reply ("Errore del server "
// + host), a reply the client cannot read, an unusable amount.
class PaymentError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace oxsms::payments
