#include "reliability/soak_process.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace oxsms::soak {

ServiceProcess::ServiceProcess(std::string program, std::filesystem::path home, int interval_ms)
    : program_(std::move(program)), home_(std::move(home)), interval_ms_(interval_ms) {}

ServiceProcess::~ServiceProcess() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
}

void ServiceProcess::Start(platform::TDateTime fake_now) {
  std::vector<std::string> args{program_, "--home", home_.string(), "--fake-now",
                                IsoText(fake_now), "--interval-ms", std::to_string(interval_ms_)};
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  if (posix_spawn(&pid_, program_.c_str(), nullptr, nullptr, argv.data(), environ) != 0) {
    throw std::runtime_error("impossibile avviare " + program_);
  }
}

void ServiceProcess::Signal(int sig) const {
  if (pid_ > 0) kill(pid_, sig);
}

bool ServiceProcess::Ended(int& status) {
  if (pid_ <= 0) return true;
  int raw = 0;
  if (waitpid(pid_, &raw, WNOHANG) != pid_) return false;
  pid_ = -1;
  status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
  return true;
}

int ServiceProcess::WaitEnd(int seconds) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  int status = -1;
  while (std::chrono::steady_clock::now() < end) {
    if (Ended(status)) return status;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return -1;
}

long ServiceProcess::ResidentKb() const {
  std::ifstream in("/proc/" + std::to_string(pid_) + "/status");
  std::string line;
  while (std::getline(in, line)) {
    long kb = 0;
    if (std::sscanf(line.c_str(), "VmRSS: %ld kB", &kb) == 1) return kb;
  }
  return 0;
}

std::vector<LogLine> ServiceProcess::NewLogLines() {
  std::vector<LogLine> lines;
  std::ifstream in(home_ / "sms.log", std::ios::binary);
  if (!in) return lines;
  in.seekg(static_cast<std::streamoff>(offset_));
  std::string chunk((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  offset_ += chunk.size();
  partial_ += chunk;
  std::size_t start = 0;
  for (std::size_t nl = partial_.find('\n'); nl != std::string::npos;
       start = nl + 1, nl = partial_.find('\n', start)) {
    std::string text = partial_.substr(start, nl - start);
    if (!text.empty() && text.back() == '\r') text.pop_back();
    if (auto line = ParseLogLine(text)) {
      last_logged_ = line->when;
      lines.push_back(std::move(*line));
    }
  }
  partial_.erase(0, start);
  return lines;
}

std::optional<LogLine> ParseLogLine(const std::string& line) {
  int d = 0, mo = 0, y = 0, h = 0, mi = 0, s = 0, used = 0;
  if (std::sscanf(line.c_str(), "%2d/%2d/%4d %2d.%2d.%2d %n", &d, &mo, &y, &h, &mi, &s, &used) < 6 ||
      used == 0) {
    return std::nullopt;
  }
  return LogLine{platform::EncodeDate(y, mo, d) + platform::EncodeTime(h, mi, s),
                 line.substr(static_cast<std::size_t>(used))};
}

std::string IsoText(platform::TDateTime when) {
  const platform::DateParts d = platform::DecodeDate(when);
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %s", d.year, d.month, d.day,
                platform::FormatTime(when, ':').c_str());
  return text;
}

}  // namespace oxsms::soak
