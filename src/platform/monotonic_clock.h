// The source of elapsed time for waits and windows (how long a queue has
// waited, when a check is due again, when the next timer tick falls), apart
// from the wall clock of the time of day: it never goes back and does not
// follow changes of the system time. Code that measures a window takes one by
// reference, so that tests move it by hand instead of sleeping.
#pragma once

#include <chrono>

namespace oxsms::platform {

class MonotonicClock {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;
  virtual ~MonotonicClock() = default;
  virtual TimePoint Now() const = 0;
};

// std::chrono::steady_clock. Stateless: one instance serves every thread.
class SteadyClock : public MonotonicClock {
 public:
  TimePoint Now() const override { return std::chrono::steady_clock::now(); }
};

}  // namespace oxsms::platform
