#include "email/in_progress_slot.h"

#include "email/email_error.h"

namespace oxsms::email {

InProgressSlot::Ticket InProgressSlot::Take() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!held_.empty()) throw EmailError("Attendere invio di altre email ancora in corso");
  const Ticket ticket = next_++;
  held_.insert(ticket);
  return ticket;
}

InProgressSlot::Ticket InProgressSlot::TakeAlongside() {
  std::lock_guard<std::mutex> lock(mutex_);
  const Ticket ticket = next_++;
  held_.insert(ticket);
  return ticket;
}

void InProgressSlot::Release(Ticket ticket) noexcept {
  bool idle = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    held_.erase(ticket);
    idle = held_.empty();
  }
  if (idle) idle_.notify_all();
}

bool InProgressSlot::Busy() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return !held_.empty();
}

void InProgressSlot::WaitIdle() const {
  std::unique_lock<std::mutex> lock(mutex_);
  idle_.wait(lock, [this] { return held_.empty(); });
}

}  // namespace oxsms::email
