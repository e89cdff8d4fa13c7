// Errors of the email subsystem. Each carries the Italian text the caller
// logs ("Attendere invio di altre email ancora in corso", "Destinatari non
// passati", "Configurazione SMTP non trovata", ...); none carries a password,
// the API key or a message body.
#pragma once

#include <string>

#include "platform/error.h"

namespace oxsms::email {

// A send that cannot be made: missing settings or recipients, the slot
// taken, a sender refused. Configuration category unless the cause is the
// remote side (EmailDeliveryError).
class EmailError : public platform::Error {
 public:
  explicit EmailError(const std::string& message,
                      platform::ErrorCategory category = platform::ErrorCategory::kConfiguration)
      : platform::Error(category, message) {}
};

// The SMTP server or the maker's email service could not be reached, refused
// the login or the message. `transient` is true when trying again later may
// succeed (no connection, timeout, a 4xx reply); false when it will not
// (login refused, certificate not trusted, STARTTLS not offered).
class EmailDeliveryError : public EmailError {
 public:
  EmailDeliveryError(const std::string& message, bool transient)
      : EmailError(message, platform::ErrorCategory::kRemoteService), transient_(transient) {}
  bool transient() const noexcept { return transient_; }

 private:
  bool transient_;
};

}  // namespace oxsms::email
