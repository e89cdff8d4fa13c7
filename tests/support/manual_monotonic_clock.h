// A monotonic clock that tests move by hand. Thread-safe, since the code it
// stands in for may read it from a worker thread.
#pragma once

#include <atomic>
#include <chrono>

#include "platform/monotonic_clock.h"

namespace oxsms::testing {

class ManualMonotonicClock : public platform::MonotonicClock {
 public:
  TimePoint Now() const override {
    return TimePoint(std::chrono::steady_clock::duration(ticks_.load()));
  }
  void Advance(std::chrono::steady_clock::duration by) { ticks_ += by.count(); }

 private:
  // Starts an hour after the epoch, so that "a while ago" is never before it.
  std::atomic<std::chrono::steady_clock::duration::rep> ticks_{
      std::chrono::steady_clock::duration(std::chrono::hours(1)).count()};
};

}  // namespace oxsms::testing
