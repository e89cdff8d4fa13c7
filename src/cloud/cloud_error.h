// Errors of the maker's cloud service: no usable reply. Transport failures
// stay net::HttpError.
#pragma once

#include <string>

#include "platform/error.h"

namespace oxsms::cloud {

class CloudError : public platform::Error {
 public:
  explicit CloudError(const std::string& message)
      : platform::Error(platform::ErrorCategory::kRemoteService, message) {}
};

}  // namespace oxsms::cloud
