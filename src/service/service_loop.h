// The request loop of the service thread: control requests posted from other
// threads (the service control manager, signal handling) and the ticks of one
// interval timer are handled here, one after another, on the thread that
// calls Run(). A tick never overlaps another tick or a control request.
//
// The timer starts a fresh interval whenever it is enabled; while disabled it
// does not tick. Intervals are measured on the monotonic clock passed in.
// Waiting is a condition-variable wait for the time the clock says is left,
// so a request is handled at once when the loop is idle; after each wait the
// clock is read again (a clock that a test moves is seen at the next wait's
// end at the latest, one interval of real time).
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

#include "platform/monotonic_clock.h"
#include "platform/service_control.h"

namespace oxsms::service {

// The requests of the service manager (signals on Linux), as they arrive.
using ControlRequest = platform::ServiceControl;

class ServiceLoop {
 public:
  using Duration = std::chrono::steady_clock::duration;

  // `clock` must outlive the loop.
  ServiceLoop(Duration interval, const platform::MonotonicClock& clock);

  // Thread-safe: queues a control request for the service thread.
  void Post(ControlRequest request);

  // Runs until Terminate() is called (by a handler on the service thread, or
  // from any thread). Handlers run on the calling thread.
  void Run(const std::function<void(ControlRequest)>& on_request,
           const std::function<void()>& on_tick);
  // Thread-safe: makes Run() return after the handler in progress.
  void Terminate();

  // Timer control; meant for the service thread but safe from any thread.
  void EnableTimer();
  void DisableTimer();
  bool TimerEnabled() const;
  Duration interval() const { return interval_; }

 private:
  const Duration interval_;
  const platform::MonotonicClock& clock_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<ControlRequest> requests_;
  bool terminated_ = false;
  bool timer_enabled_ = false;
  platform::MonotonicClock::TimePoint next_tick_;
};

}  // namespace oxsms::service
