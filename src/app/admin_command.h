// oxsms, the administration command: the settings of the service on the
// practice of a home folder, read and changed without the desktop suite.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/home_folder.h"

namespace oxsms::app {

// Exit codes of oxsms.
inline constexpr int kAdminOk = 0;
// What was asked could not be done or found something wrong (a database
// that cannot be read or written, a check that failed).
inline constexpr int kAdminFailed = 1;
// A wrong command line or a value refused: nothing was changed.
inline constexpr int kAdminUsage = 2;

// A command line or a value the command refuses; its text is for the user.
class UsageError : public platform::DataError {
 public:
  using platform::DataError::DataError;
};

// Where a subcommand works and writes.
struct AdminEnv {
  const platform::HomeFolder& home;
  std::ostream& out;  // the answer: text that fits a terminal, or JSON
  std::ostream& err;  // errors and notes, as text
  bool json = false;  // --json: the answer as one JSON document
};

// Runs `oxsms ARGS...`; returns the exit code.
int RunAdminCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace oxsms::app
