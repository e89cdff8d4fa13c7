// The channels a send hands its batches to, besides SMS: the email circular
// and the WhatsApp template messages. Each is an interface so that an
// installation without the channel - or a test - wires a stand-in.
#pragma once

#include <string>
#include <vector>

#include "channels/send_result.h"
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

// `MultiSendWhtsB`: the batch as WhatsApp template messages, with the
// template fields of the current send.
class WhatsAppTemplateSender {
 public:
  virtual ~WhatsAppTemplateSender() = default;
  // Returns what went out; raises on a refused or failed batch.
  virtual channels::SendResult MultiSendWhtsB(const std::vector<std::string>& batch) = 0;
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

// Stand-in while WhatsApp template messages are not part of the
// installation: one log line per batch, nothing sent.
class WhatsAppTemplatesUnavailable : public WhatsAppTemplateSender {
 public:
  explicit WhatsAppTemplatesUnavailable(platform::ActivityLog& log) : log_(log) {}
  channels::SendResult MultiSendWhtsB(const std::vector<std::string>& batch) override;

 private:
  platform::ActivityLog& log_;
};

}  // namespace oxsms::dispatch
