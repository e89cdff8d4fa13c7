// The queue of the link bookkeeping's writes: recorded during a send and run
// later, a step at a time while the send waits for the link services
// (WriteOne) or together (WriteAll) before anything else reads the databases.
// Each runs exactly as it would have run when recorded, and in the same
// order; only the moment changes. The queue is written at once when it holds
// kPendingLimit writes or its first write is kPendingWindow old.
//
// Owns the queued writes; what they reference must outlive the queue or its
// last write. Only the service thread uses it; it takes no lock.
#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <functional>

#include "platform/activity_log.h"
#include "platform/monotonic_clock.h"

namespace oxsms::practice {

class DeferredWrites {
 public:
  static constexpr std::size_t kPendingLimit = 1024;
  static constexpr std::chrono::milliseconds kPendingWindow{500};

  // `log` and `clock` must outlive this object.
  DeferredWrites(platform::ActivityLog& log, const platform::MonotonicClock& clock)
      : log_(log), clock_(clock) {}

  // Queues one write; writes the queue when it is full or old enough.
  void Defer(std::function<void()> write);
  // Runs the queued writes in the order queued. Does nothing while the queue
  // is being written (a write that reaches back here).
  void WriteAll() noexcept;
  // Runs the oldest queued write; false when there was none or the queue is
  // being written.
  bool WriteOne() noexcept;

 private:
  // A write that raises is logged ("Link non registrati nell'archivio: ...")
  // and the queue goes on.
  void Run(const std::function<void()>& write) noexcept;

  platform::ActivityLog& log_;
  const platform::MonotonicClock& clock_;
  std::deque<std::function<void()>> pending_;
  platform::MonotonicClock::TimePoint pending_since_{};
  bool writing_ = false;
};

}  // namespace oxsms::practice
