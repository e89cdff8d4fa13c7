#include "service/activity_log.h"

#include <cstdio>
#include <iostream>

namespace oxsms::service {

ActivityLog::ActivityLog(std::filesystem::path file, const platform::Clock& clock)
    : file_(std::move(file)), clock_(clock) {}

void ActivityLog::WriteLog(std::string_view text) {
  const platform::TDateTime now = clock_.Now();
  Append(platform::FormatDate(now) + " " + platform::FormatTime(now, separator_) + " " +
         std::string(text));
}

void ActivityLog::WriteServiceState(bool started) {
  const platform::TDateTime now = clock_.Now();
  Append(std::string(started ? "Service started " : "Service stopped ") +
         platform::FormatDate(now) + " " + platform::FormatTime(now, separator_));
}

void ActivityLog::Append(const std::string& line) {
  std::lock_guard lock(mutex_);
  // "ab" creates a missing file and never truncates an existing one.
  std::FILE* f = std::fopen(file_.string().c_str(), "ab");
  bool ok = f != nullptr;
  if (ok) {
    ok = std::fwrite(line.data(), 1, line.size(), f) == line.size() &&
         std::fwrite("\r\n", 1, 2, f) == 2;
    ok = (std::fclose(f) == 0) && ok;
  }
  if (!ok) {
    std::cerr << "oxsms: impossibile scrivere nel log " << file_.string() << ": " << line
              << std::endl;
  }
}

}  // namespace oxsms::service
