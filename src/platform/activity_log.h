// The activity log "sms.log": one dated line per call, appended and closed at
// once so the file can be read or copied while the service runs. UTF-8, lines
// ended by CR LF, date dd/mm/yyyy and time with the process's time separator
// (the system's ':' until the settings object switches it to '.').
//
// Writing never throws: a line that cannot be written is reported on standard
// error (the journal under systemd). An existing log is never emptied.
#pragma once

#include <atomic>
#include <cstddef>
#include <filesystem>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/clock.h"

namespace oxsms::platform {

class ActivityLog {
 public:
  ActivityLog(std::filesystem::path file, const Clock& clock);

  const std::filesystem::path& file() const { return file_; }

  // "<date> <time> <text>". Also written for an empty text. A text longer
  // than kMaxTextBytes is cut there and ends in " [...] (testo troncato: N
  // byte)", so an oversized setting cannot bloat every line that names it.
  void WriteLog(std::string_view text);
  static constexpr std::size_t kMaxTextBytes = 4096;
  // "Service started <date> <time>" or "Service stopped <date> <time>".
  void WriteServiceState(bool started);

  void SetTimeSeparator(char separator) { separator_ = separator; }
  char TimeSeparator() const { return separator_; }

 private:
  void Append(const std::string& line);

  std::filesystem::path file_;
  const Clock& clock_;
  std::atomic<char> separator_{':'};
  std::mutex mutex_;
};

}  // namespace oxsms::platform
