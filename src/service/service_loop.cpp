#include "service/service_loop.h"

namespace oxsms::service {

ServiceLoop::ServiceLoop(Duration interval, const platform::MonotonicClock& clock)
    : interval_(interval), clock_(clock) {}

void ServiceLoop::Post(ControlRequest request) {
  {
    std::lock_guard lock(mutex_);
    requests_.push_back(request);
  }
  wake_.notify_all();
}

void ServiceLoop::Terminate() {
  {
    std::lock_guard lock(mutex_);
    terminated_ = true;
  }
  wake_.notify_all();
}

void ServiceLoop::EnableTimer() {
  {
    std::lock_guard lock(mutex_);
    timer_enabled_ = true;
    next_tick_ = clock_.Now() + interval_;
  }
  wake_.notify_all();
}

void ServiceLoop::DisableTimer() {
  std::lock_guard lock(mutex_);
  timer_enabled_ = false;
}

bool ServiceLoop::TimerEnabled() const {
  std::lock_guard lock(mutex_);
  return timer_enabled_;
}

void ServiceLoop::Run(const std::function<void(ControlRequest)>& on_request,
                      const std::function<void()>& on_tick) {
  std::unique_lock lock(mutex_);
  while (!terminated_) {
    if (!requests_.empty()) {
      const ControlRequest request = requests_.front();
      requests_.pop_front();
      lock.unlock();
      on_request(request);
      lock.lock();
      continue;
    }
    if (!timer_enabled_) {
      wake_.wait(lock);
      continue;
    }
    const auto now = clock_.Now();
    if (now >= next_tick_) {
      // The next interval counts from this tick; a handler that disables and
      // enables the timer starts a fresh one from the moment it enables it.
      next_tick_ = now + interval_;
      lock.unlock();
      on_tick();
      lock.lock();
      continue;
    }
    wake_.wait_for(lock, next_tick_ - now);
  }
}

}  // namespace oxsms::service
