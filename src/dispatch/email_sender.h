// The email channel as the daily run sees it: the circular of one email
// batch. An interface, so that an installation without email delivery (or a
// test) passes a stand-in.
#pragma once

#include <string>

#include "platform/activity_log.h"
#include "practice/connection.h"

namespace oxsms::dispatch {

// The email subsystem's circular for one email batch.
class EmailBatchSender {
 public:
  virtual ~EmailBatchSender() = default;
  // Sends the typical message `message_name` to every recipient line of
  // `recipients` (lines separated by CR LF), reading the email settings over
  // the connected configuration database `config`. Returns false when this
  // installation cannot deliver email (nothing was sent, and the sender has
  // said so in the log); raises on a failed delivery.
  virtual bool InviaEmailCircolare(practice::Connection& config, const std::string& recipients,
                                   const std::string& message_name) = 0;
};

// Stand-in while email delivery is not part of the installation: one log line
// per batch, nothing sent.
class EmailUnavailable : public EmailBatchSender {
 public:
  explicit EmailUnavailable(platform::ActivityLog& log) : log_(log) {}
  bool InviaEmailCircolare(practice::Connection& config, const std::string& recipients,
                           const std::string& message_name) override;

 private:
  platform::ActivityLog& log_;
};

}  // namespace oxsms::dispatch
