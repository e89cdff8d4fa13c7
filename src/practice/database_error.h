// Errors of the practice databases: the driver's message, with the database
// it concerns added as context.
#pragma once

#include <string>

#include "platform/error.h"

namespace oxsms::practice {

class DatabaseError : public platform::Error {
 public:
  explicit DatabaseError(const std::string& message)
      : platform::Error(platform::ErrorCategory::kDatabase, message) {}
};

}  // namespace oxsms::practice
