// Delivery by the practice's own SMTP server over libcurl: one connection per
// message, STARTTLS required when the settings ask for it (CBSSL), the
// server's certificate always verified, login with user and password when
// AuthType is 1. The message goes out in ISO-8859-1 with Date, Message-ID,
// From (DaEmail with DaNome), To, Cc and the subject; Bcc and the settings'
// EmailBCC travel only in the envelope.
#pragma once

#include <chrono>
#include <string>

#include "email/email_transport.h"

namespace oxsms::email {

struct SmtpOptions {
  // Trusted CA certificates (PEM); empty = the system's bundle.
  std::string ca_file;
  std::chrono::milliseconds connect_timeout{15000};
  // A server that sends nothing for this long is given up.
  std::chrono::seconds read_timeout{40};
};

class SmtpTransport : public EmailTransport {
 public:
  explicit SmtpTransport(SmtpOptions options = {});

  // See EmailTransport. Raises EmailError "Configurazione SMTP non trovata"
  // when Host is empty, EmailError for a sender missing, no recipient, a
  // port that is no number or an attachment that cannot be read (nothing is
  // sent then), and EmailDeliveryError naming the server for a failed
  // delivery (see DescribeSmtpFailure). Never logs; libcurl stays quiet.
  void Deliver(const EmailMessage& message, const EmailSettings& settings) override;

 private:
  SmtpOptions options_;
};

}  // namespace oxsms::email
