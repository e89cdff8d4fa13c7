// The source of "now" for everything that depends on the time of day, so that
// tests and the simulated-day mode can live a whole day in seconds.
#pragma once

#include <chrono>
#include <mutex>

#include "platform/date_time.h"

namespace oxsms::platform {

class Clock {
 public:
  virtual ~Clock() = default;
  // The current local date and time.
  virtual TDateTime Now() const = 0;
  // Called once per timer tick, before the tick's work; only a simulated
  // clock moves on here.
  virtual void OnTick() {}
};

// The machine's local time.
class SystemClock : public Clock {
 public:
  TDateTime Now() const override;
};

// A simulated clock: starts at a given time, moves on by a fixed step at each
// tick and also with the real time that passes (so a long run moves it on).
// Thread-safe.
class SimulatedClock : public Clock {
 public:
  SimulatedClock(TDateTime start, double step_days);
  TDateTime Now() const override;
  void OnTick() override;

 private:
  mutable std::mutex mutex_;
  TDateTime start_;
  double step_days_;
  long ticks_ = 0;
  std::chrono::steady_clock::time_point real_start_;
};

}  // namespace oxsms::platform
