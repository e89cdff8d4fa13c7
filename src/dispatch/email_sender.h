// The email channel as the daily run sees it: the circular of one email
// batch. An interface, so that an installation without email delivery (or a
// test) passes a stand-in.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "channels/send_result.h"
#include "platform/activity_log.h"
#include "practice/connection.h"

namespace oxsms::dispatch {

// What an email batch came to.
struct EmailBatchOutcome {
  // Per line of the batch, in order: true when its message went out (for a
  // circular sent as one message to all, every line of that message), or
  // was handed over without an answer and so must not go again by itself.
  std::vector<bool> delivered;
  // Messages accepted, lines that did not go out, and why.
  channels::SendResult result;
  // Per line, in order: why its message did not go out ("" when it went).
  std::vector<std::string> errors;
};

// The message one recipient line would get.
struct ComposedEmail {
  std::string recipient;  // "Cognome Nome (address)", or the address alone
  std::string text;       // subject, a line break, body
};

// The email subsystem's circular for one email batch.
class EmailBatchSender {
 public:
  virtual ~EmailBatchSender() = default;
  // Sends the typical message `message_name` to every recipient line of
  // `lines`, reading the email settings over the connected configuration
  // database `config`. Every line is accounted for in the outcome: what did
  // not go out is counted as failed with the reason (and whether a later try
  // may succeed), and logged by the sender. Raises only when the settings
  // cannot be read at all (database errors); nothing was sent then.
  virtual EmailBatchOutcome InviaEmailCircolare(practice::Connection& config,
                                                const std::vector<std::string>& lines,
                                                const std::string& message_name) = 0;
  // Gives `each` the message each line of `lines` would get from
  // InviaEmailCircolare, in order, one at a time (a day's emails are not
  // held together), without sending anything. Raises as InviaEmailCircolare
  // does when the settings cannot be read.
  virtual void Compose(practice::Connection& config, const std::vector<std::string>& lines,
                       const std::string& message_name,
                       const std::function<void(const ComposedEmail&)>& each) = 0;
};

// Stand-in where email delivery is not part of the installation: one log
// line per batch, every line failed.
class EmailUnavailable : public EmailBatchSender {
 public:
  explicit EmailUnavailable(platform::ActivityLog& log) : log_(log) {}
  EmailBatchOutcome InviaEmailCircolare(practice::Connection& config,
                                        const std::vector<std::string>& lines,
                                        const std::string& message_name) override;
  void Compose(practice::Connection& config, const std::vector<std::string>& lines,
               const std::string& message_name,
               const std::function<void(const ComposedEmail&)>& each) override;

 private:
  platform::ActivityLog& log_;
};

}  // namespace oxsms::dispatch
