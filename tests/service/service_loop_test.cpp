#include "service/service_loop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace oxsms::service {
namespace {

using namespace std::chrono_literals;

TEST(ServiceLoopTest, TicksOnTheRunningThreadAndRequestsNeverOverlapATick) {
  ServiceLoop loop(5ms);
  std::atomic<int> ticks{0};
  std::atomic<bool> in_tick{false};
  std::atomic<bool> overlap{false};
  const auto run_thread = std::this_thread::get_id();
  bool wrong_thread = false;
  loop.EnableTimer();
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
        in_tick = false;
      });
  poster.join();
  EXPECT_FALSE(overlap);
  EXPECT_FALSE(wrong_thread);
  EXPECT_GT(ticks, 0);
}

TEST(ServiceLoopTest, DisabledTimerDoesNotTickAndStopIsHandledAtOnceWhenIdle) {
  ServiceLoop loop(std::chrono::hours(1));
  int ticks = 0;
  loop.EnableTimer();
  loop.DisableTimer();
  const auto start = std::chrono::steady_clock::now();
  std::thread poster([&] {
    std::this_thread::sleep_for(20ms);
    loop.Post(ControlRequest::kStop);
  });
  loop.Run([&](ControlRequest) { loop.Terminate(); }, [&] { ++ticks; });
  poster.join();
  EXPECT_EQ(ticks, 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 30s);
}

TEST(ServiceLoopTest, EnablingStartsAFreshIntervalFromThatMoment) {
  ServiceLoop loop(40ms);
  std::vector<std::chrono::steady_clock::time_point> ticks;
  std::chrono::steady_clock::time_point enabled_at;
  loop.EnableTimer();
  loop.Run([](ControlRequest) {},
           [&] {
             ticks.push_back(std::chrono::steady_clock::now());
             if (ticks.size() == 1) {
               // A long run with the timer off, as the daily run does.
               loop.DisableTimer();
               std::this_thread::sleep_for(60ms);
               loop.EnableTimer();
               enabled_at = std::chrono::steady_clock::now();
             } else {
               loop.Terminate();
             }
           });
  ASSERT_EQ(ticks.size(), 2u);
  EXPECT_GE(ticks[1] - enabled_at, 39ms);
}

}  // namespace
}  // namespace oxsms::service
