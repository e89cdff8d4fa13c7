// A monotonic clock that tests move by hand. Thread-safe, since the code it
// stands in for may read it from a worker thread.
#pragma once

#include <atomic>
#include <chrono>

#include "platform/monotonic_clock.h"

namespace oxsms::testing {

class ManualMonotonicClock : public platform::MonotonicClock {
 public:
  TimePoint Now() const override { return TimePoint(ticks_.load()); }
  void Advance(std::chrono::steady_clock::duration by) { ticks_ += by; }

 private:
  std::atomic<std::chrono::steady_clock::duration> ticks_{std::chrono::hours(1)};
};

}  // namespace oxsms::testing
