// Wall time, CPU time and peak resident memory of the running process.
#pragma once

#include <chrono>

namespace oxsms::bench {

// CPU seconds (user and system, all threads) the process has used so far.
double ProcessCpuSeconds();

// The peak resident memory of the process so far, in MiB (VmHWM of
// /proc/self/status); 0 when it cannot be read.
double PeakResidentMiB();

// Measures one stretch of work: wall and CPU seconds from construction to
// Stop().
class Stopwatch {
 public:
  Stopwatch();
  void Stop();
  double wall_s() const { return wall_s_; }
  double cpu_s() const { return cpu_s_; }

 private:
  std::chrono::steady_clock::time_point wall_start_;
  double cpu_start_;
  double wall_s_ = 0;
  double cpu_s_ = 0;
};

}  // namespace oxsms::bench
