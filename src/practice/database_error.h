// Errors of the practice databases: the driver's message, with the database
// it concerns added as context.
#pragma once

#include <stdexcept>
#include <string>

namespace oxsms::practice {

class DatabaseError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace oxsms::practice
