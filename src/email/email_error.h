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
// `message_only` is true when the refusal concerns this message alone (a
// recipient the server does not take): the next message may still go, while
// any other failure would repeat for every message of the batch.
class EmailDeliveryError : public EmailError {
 public:
  EmailDeliveryError(const std::string& message, bool transient, bool message_only = false,
                     bool in_doubt = false)
      : EmailError(message, platform::ErrorCategory::kRemoteService),
        transient_(transient),
        message_only_(message_only),
        in_doubt_(in_doubt) {}
  bool transient() const noexcept { return transient_; }
  bool message_only() const noexcept { return message_only_; }
  // The message was handed over and no answer came: it may have gone.
  bool in_doubt() const noexcept { return in_doubt_; }

 private:
  bool transient_;
  bool message_only_;
  bool in_doubt_;
};

}  // namespace oxsms::email
