// The email channel of the daily run: each email batch becomes one circular
// of the email subsystem over a fresh email object (the settings and typical
// messages of the configuration database's email row), delivered by the
// practice's SMTP server or the maker's REST email service as the settings
// choose. The transports and the in-progress slot live for the process.
#pragma once

#include "dispatch/email_sender.h"
#include "email/email_transport.h"
#include "email/in_progress_slot.h"

namespace oxsms::dispatch {

class EmailCircular : public EmailBatchSender {
 public:
  // All parts must outlive the object.
  EmailCircular(email::EmailTransport& smtp, email::EmailTransport& rest,
                email::InProgressSlot& slot, platform::ActivityLog& log)
      : smtp_(smtp), rest_(rest), slot_(slot), log_(log) {}

  // Database errors reading the email row raise; every other failure is
  // counted in the outcome: refused (settings, sender, an address or the
  // message refused) or transient (no connection, time-out, a server that
  // asks to try later).
  EmailBatchOutcome InviaEmailCircolare(practice::Connection& config,
                                        const std::vector<std::string>& lines,
                                        const std::string& message_name) override;
  // The typical message filled in as the circular fills it: for each line
  // when the first line names a person, with the names taken out otherwise.
  void Compose(practice::Connection& config, const std::vector<std::string>& lines,
               const std::string& message_name,
               const std::function<void(const ComposedEmail&)>& each) override;

 private:
  email::EmailTransport& smtp_;
  email::EmailTransport& rest_;
  email::InProgressSlot& slot_;
  platform::ActivityLog& log_;
};

}  // namespace oxsms::dispatch
