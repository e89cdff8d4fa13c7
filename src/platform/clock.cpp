#include "platform/clock.h"

#include <ctime>

namespace oxsms::platform {

TDateTime SystemClock::Now() const {
  const auto now = std::chrono::system_clock::now();
  const std::time_t secs = std::chrono::system_clock::to_time_t(now);
  std::tm tm{};
#ifdef _WIN32
  localtime_s(&tm, &secs);
#else
  localtime_r(&secs, &tm);
#endif
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()) % 1000;
  return FromTm(tm) + ms.count() / (kSecondsPerDay * 1000.0);
}

SimulatedClock::SimulatedClock(TDateTime start, double step_days)
    : start_(start), step_days_(step_days), real_start_(std::chrono::steady_clock::now()) {}

TDateTime SimulatedClock::Now() const {
  std::lock_guard lock(mutex_);
  const std::chrono::duration<double> real = std::chrono::steady_clock::now() - real_start_;
  return start_ + ticks_ * step_days_ + real.count() / kSecondsPerDay;
}

void SimulatedClock::OnTick() {
  std::lock_guard lock(mutex_);
  ++ticks_;
}

}  // namespace oxsms::platform
