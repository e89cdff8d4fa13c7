#include "service/service_loop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "support/manual_monotonic_clock.h"

namespace oxsms::service {
namespace {

using namespace std::chrono_literals;
using TimePoint = platform::MonotonicClock::TimePoint;

// Counts the loop's readings of a manual clock, so that a test knows when
// the loop has seen a move of it.
class ObservedClock : public platform::MonotonicClock {
 public:
  explicit ObservedClock(const testing::ManualMonotonicClock& inner) : inner_(inner) {}
  TimePoint Now() const override {
    ++reads_;
    return inner_.Now();
  }
  int Reads() const { return reads_.load(); }

 private:
  const testing::ManualMonotonicClock& inner_;
  mutable std::atomic<int> reads_{0};
};

// Waits (with a generous deadline against a hang) until `done` holds.
template <typename Done>
bool Eventually(Done done) {
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::yield();
  }
  return true;
}

TEST(ServiceLoopTest, TicksOnTheRunningThreadAndRequestsNeverOverlapATick) {
  testing::ManualMonotonicClock clock;
  ServiceLoop loop(5ms, clock);
  std::atomic<int> ticks{0};
  std::atomic<bool> in_tick{false};
  std::atomic<bool> overlap{false};
  const auto run_thread = std::this_thread::get_id();
  bool wrong_thread = false;
  loop.EnableTimer();
  clock.Advance(5ms);
  std::thread poster([&] {
    for (int i = 0; i < 20; ++i) {
      loop.Post(ControlRequest::kContinue);
      std::this_thread::sleep_for(1ms);
    }
    loop.Post(ControlRequest::kStop);
  });
  loop.Run(
      [&](ControlRequest r) {
        if (in_tick) overlap = true;
        if (std::this_thread::get_id() != run_thread) wrong_thread = true;
        if (r == ControlRequest::kStop) loop.Terminate();
      },
      [&] {
        in_tick = true;
        if (std::this_thread::get_id() != run_thread) wrong_thread = true;
        std::this_thread::sleep_for(3ms);
        ++ticks;
        // The next tick is due at once.
        clock.Advance(5ms);
        in_tick = false;
      });
  poster.join();
  EXPECT_FALSE(overlap);
  EXPECT_FALSE(wrong_thread);
  EXPECT_GT(ticks, 0);
}

TEST(ServiceLoopTest, DisabledTimerDoesNotTickAndStopIsHandledAtOnceWhenIdle) {
  testing::ManualMonotonicClock clock;
  ServiceLoop loop(std::chrono::hours(1), clock);
  int ticks = 0;
  loop.EnableTimer();
  loop.DisableTimer();
  // Long past the interval: a disabled timer still does not tick.
  clock.Advance(std::chrono::hours(2));
  std::thread poster([&] { loop.Post(ControlRequest::kStop); });
  loop.Run([&](ControlRequest) { loop.Terminate(); }, [&] { ++ticks; });
  poster.join();
  EXPECT_EQ(ticks, 0);
}

TEST(ServiceLoopTest, EnablingStartsAFreshIntervalFromThatMoment) {
  constexpr auto kInterval = 20ms;
  constexpr auto kStep = kInterval / 4;
  testing::ManualMonotonicClock clock;
  ObservedClock observed(clock);
  ServiceLoop loop(kInterval, observed);
  std::mutex mutex;
  std::vector<TimePoint> ticks;
  std::atomic<int> tick_count{0};
  TimePoint enabled_at;
  loop.EnableTimer();
  clock.Advance(kInterval);
  std::thread runner([&] {
    loop.Run([](ControlRequest) {},
             [&] {
               std::lock_guard lock(mutex);
               ticks.push_back(clock.Now());
               if (ticks.size() == 1) {
                 // A long run with the timer off, as the daily run does.
                 loop.DisableTimer();
                 clock.Advance(3 * kInterval);
                 loop.EnableTimer();
                 enabled_at = clock.Now();
               } else {
                 loop.Terminate();
               }
               ++tick_count;
             });
  });
  ASSERT_TRUE(Eventually([&] { return tick_count == 1; }));
  // Moves the clock a step at a time, each step seen by the loop before the next.
  for (int step = 0; step < 12 && tick_count < 2; ++step) {
    clock.Advance(kStep);
    const int seen = observed.Reads();
    ASSERT_TRUE(Eventually([&] { return observed.Reads() > seen || tick_count == 2; }));
  }
  if (tick_count < 2) loop.Terminate();
  runner.join();
  std::lock_guard lock(mutex);
  ASSERT_EQ(ticks.size(), 2u);
  EXPECT_GE(ticks[1] - enabled_at, kInterval);
  EXPECT_LE(ticks[1] - enabled_at, kInterval + kStep);
}

}  // namespace
}  // namespace oxsms::service
