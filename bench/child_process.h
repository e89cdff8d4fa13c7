// Runs this executable again as a child process with other arguments, so a
// measured piece of work has a process of its own: its memory peak and CPU
// time are then its own, not the driver's, the simulator's or the practice
// generator's.
#pragma once

#include <string>
#include <vector>

namespace oxsms::bench {

// Starts this program with `arguments` (not including the program name) and
// waits for it. Raises std::runtime_error when it cannot be started, or ends
// by a signal or with a non-zero status.
void RunSelf(const std::vector<std::string>& arguments);

}  // namespace oxsms::bench
