// Errors of the messaging channels. Each carries the Italian text that the
// daily run writes to the activity log; none carries a credential.
#pragma once

#include <string>

#include "platform/error.h"

namespace oxsms::channels {

// A send that cannot be made or was refused: account not configured or
// refused, credit exhausted, a message not acknowledged.
class ChannelError : public platform::Error {
 public:
  explicit ChannelError(const std::string& message)
      : platform::Error(platform::ErrorCategory::kRemoteService, message) {}
};

// A remote service answered, but not in a form the channel can use: an HTTP
// error status, a body that is not the expected JSON. The text names the
// endpoint path, never the request.
class GatewayReplyError : public ChannelError {
 public:
  using ChannelError::ChannelError;
};

}  // namespace oxsms::channels
