#include "platform/activity_log.h"

#include <cstdio>
#include <iostream>

namespace oxsms::platform {
namespace {

// The text as far as a log line carries it: a longer one is cut at a
// character boundary and says so, with its full length.
std::string CappedText(std::string_view text) {
  if (text.size() <= ActivityLog::kMaxTextBytes) return std::string(text);
  std::size_t cut = ActivityLog::kMaxTextBytes;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return std::string(text.substr(0, cut)) + " [...] (testo troncato: " +
         std::to_string(text.size()) + " byte)";
}

}  // namespace

ActivityLog::ActivityLog(std::filesystem::path file, const Clock& clock)
    : file_(std::move(file)), clock_(clock) {}

void ActivityLog::WriteLog(std::string_view text) {
  const TDateTime now = clock_.Now();
  Append(FormatDate(now) + " " + FormatTime(now, separator_) + " " +
         CappedText(text));
}

void ActivityLog::WriteServiceState(bool started) {
  const TDateTime now = clock_.Now();
  Append(std::string(started ? "Service started " : "Service stopped ") +
         FormatDate(now) + " " + FormatTime(now, separator_));
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

}  // namespace oxsms::platform
