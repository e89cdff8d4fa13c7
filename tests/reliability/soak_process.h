// One oxsmsd process of the soak: started on a simulated clock, watched
// through its activity log, stopped, killed and restarted.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/date_time.h"

namespace oxsms::soak {

// A line of the activity log with its date and time.
struct LogLine {
  platform::TDateTime when = 0;
  std::string text;
};

class ServiceProcess {
 public:
  ServiceProcess(std::string program, std::filesystem::path home, int interval_ms);
  ~ServiceProcess();

  void Start(platform::TDateTime fake_now);
  void Signal(int sig) const;
  // True when the process has ended (reaped); its status in `status`.
  bool Ended(int& status);
  // Waits up to `seconds` for the end; the exit status, or -1.
  int WaitEnd(int seconds);
  pid_t pid() const { return pid_; }
  // VmRSS of the process in kB; 0 when it cannot be read.
  long ResidentKb() const;

  // The log lines written since the last call (whole lines only).
  std::vector<LogLine> NewLogLines();
  // The simulated moment of the last dated line read so far.
  platform::TDateTime last_logged() const { return last_logged_; }

 private:
  std::string program_;
  std::filesystem::path home_;
  int interval_ms_;
  pid_t pid_ = -1;
  std::uintmax_t offset_ = 0;
  std::string partial_;
  platform::TDateTime last_logged_ = 0;
};

// "dd/mm/yyyy hh.mm.ss text" read back; nothing for another form.
std::optional<LogLine> ParseLogLine(const std::string& line);
// "YYYY-MM-DD HH:MM:SS".
std::string IsoText(platform::TDateTime when);

}  // namespace oxsms::soak
