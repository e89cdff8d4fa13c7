// The command line of oxsmsd.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/date_time.h"

namespace oxsms::app {

struct CommandLine {
  std::string home;                             // --home DIR
  std::optional<platform::TDateTime> fake_now;  // --fake-now "YYYY-MM-DD HH:MM:SS"
  long interval_ms = 300000;                    // --interval-ms N
  std::optional<platform::TDateTime> stop_at;   // --stop-at: with --fake-now only
  bool run_now = false;                         // --run-now: one daily send, then exit
  bool test_mode = false;                       // --test: nothing sent, everything logged
  bool force = false;                           // --force: runs every kind, whatever the
                                                // run journal says went out today
  bool install = false;                         // --install (Windows)
  bool uninstall = false;                       // --uninstall (Windows)
  bool help = false;
};

// Raises platform::DataError with a message for the user (an unknown option,
// a missing or unreadable value).
CommandLine ParseCommandLine(const std::vector<std::string>& args);
std::string Usage();

}  // namespace oxsms::app
