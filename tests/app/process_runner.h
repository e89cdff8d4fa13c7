// Starts a program of ours as a child process and sends it signals.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace oxsms::testing {

class ChildProcess {
 public:
  ChildProcess(const std::string& program, const std::vector<std::string>& args);
  ~ChildProcess();  // kills a child still running
  void Signal(int sig);
  // Waits for the exit; returns the exit status, or -1 on timeout.
  int Wait(std::chrono::milliseconds timeout);

 private:
  pid_t pid_ = -1;
};

// Polls until the file contains the text (true) or the timeout passes.
bool WaitForText(const std::string& file, const std::string& text,
                 std::chrono::milliseconds timeout, int occurrences = 1);

}  // namespace oxsms::testing
