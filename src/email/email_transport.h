// Delivery of one built message: by the practice's SMTP server or by the
// maker's REST email service. The send operations choose the transport from
// the settings and count each message by what Deliver says.
#pragma once

#include "email/email_message.h"
#include "email/email_settings.h"

namespace oxsms::email {

class EmailTransport {
 public:
  virtual ~EmailTransport() = default;
  // Delivers `message` with the account of `settings`. Returns when the
  // server or service accepted it; raises EmailDeliveryError when it did not
  // (with transient() telling whether a later try may succeed) and
  // EmailError when the settings cannot be used. Never logs a secret.
  virtual void Deliver(const EmailMessage& message, const EmailSettings& settings) = 0;
};

}  // namespace oxsms::email
