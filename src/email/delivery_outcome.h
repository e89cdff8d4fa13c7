// What the delivery of one message (or of one recipient line) came to.
#pragma once

#include <string>

namespace oxsms::email {

struct DeliveryOutcome {
  bool delivered = false;
  std::string error;          // why not, for the log; empty when delivered
  bool transient = false;     // a later try may succeed
  bool message_only = false;  // the failure concerns this message alone
  bool in_doubt = false;      // handed over without an answer: it may have gone

  static DeliveryOutcome Delivered() { return DeliveryOutcome{true, {}, false, false, false}; }
  static DeliveryOutcome Failed(std::string why, bool transient, bool message_only,
                                bool in_doubt = false) {
    return DeliveryOutcome{false, std::move(why), transient, message_only, in_doubt};
  }
};

}  // namespace oxsms::email
