// Starts a program of ours as a child process and sends it signals.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace oxsms::testing {

class ChildProcess {
 public:
  // `out` and `err`, when given, receive the child's standard output and error.
  ChildProcess(const std::string& program, const std::vector<std::string>& args,
               const std::filesystem::path& out = {}, const std::filesystem::path& err = {});
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

// Runs `program` (oxsmsd) once for the day of `now`, as "--run-now" does,
// on the practice in `home` with `extra` arguments added; returns its exit
// status, or -1 when it has not ended within `limit`.
int RunOxsmsdOnce(const std::string& program, const std::filesystem::path& home,
                  const std::vector<std::string>& extra = {},
                  const std::string& now = "2026-12-07 11:00:00",
                  std::chrono::milliseconds limit = std::chrono::minutes(2));

// What a program that ran to its end said.
struct ProgramOutput {
  int status = -1;  // exit status; -1 when it had not ended within the limit
  std::string out;  // standard output
  std::string err;  // standard error
};

// Runs `program` with `args` to its end (killed after `limit`), its standard
// output and error captured.
ProgramOutput RunProgram(const std::string& program, const std::vector<std::string>& args,
                         std::chrono::milliseconds limit = std::chrono::minutes(1));

// The activity log of the practice in `home` ("" when there is none yet).
std::string ActivityLogOf(const std::filesystem::path& home);

}  // namespace oxsms::testing
