#include "process_meter.h"

#include <sys/resource.h>

#include <fstream>
#include <string>

namespace oxsms::bench {

double ProcessCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double PeakResidentMiB() {
  // VmHWM belongs to this process image alone; getrusage's maximum would
  // also carry the parent's pages over fork and exec.
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;  // kB
  }
  return 0;
}

Stopwatch::Stopwatch()
    : wall_start_(std::chrono::steady_clock::now()), cpu_start_(ProcessCpuSeconds()) {}

void Stopwatch::Stop() {
  wall_s_ = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall_start_).count();
  cpu_s_ = ProcessCpuSeconds() - cpu_start_;
}

}  // namespace oxsms::bench
