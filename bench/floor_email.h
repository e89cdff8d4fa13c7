// The floor's emails: each recipient line gets the typical message
// "Appuntamento" with its own name, date and time, delivered with libcurl
// over one SMTP connection per message with its login, as the service
// delivers it, with the account the practice's email row holds. No settings read, no slot, no
// journal.
#pragma once

#include <string>
#include <vector>

#include "email/email_settings.h"

namespace oxsms::bench {

// The SMTP account of the practice as built with the sink at `smtp_port`.
email::EmailSettings FloorEmailSettings(int smtp_port);

// Sends one message per line ("surname,name,address,date,time"). Returns
// how many the server accepted; raises std::runtime_error when libcurl
// cannot be set up.
int SendFloorEmails(const std::vector<std::string>& lines, const email::EmailSettings& settings);

}  // namespace oxsms::bench
