// The WhatsApp template channel as the daily run sees it: `MultiSendWhtsB`,
// the batch as template messages with the template fields of the current
// send. The run's wiring implements it over the WhatsApp template client.
#pragma once

#include <string>
#include <vector>

#include "channels/send_result.h"

namespace oxsms::dispatch {

class WhatsAppTemplateSender {
 public:
  virtual ~WhatsAppTemplateSender() = default;
  // Returns what went out; raises on a refused or failed batch.
  virtual channels::SendResult MultiSendWhtsB(const std::vector<std::string>& batch) = 0;
};

}  // namespace oxsms::dispatch
