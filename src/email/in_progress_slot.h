// The in-progress slot: the messages in delivery in this process. A send
// operation takes the slot when it creates its message and the delivery
// releases it when it has ended, on whichever thread it ran. While a message
// is in delivery a new send fails with "Attendere invio di altre email ancora
// in corso". A single send through the maker's REST service does not wait
// for the slot: it takes a place beside the delivery in progress, and each
// delivery releases only its own place, never another's.
//
// Thread-safe. One object per process; it must outlive every delivery.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <set>

namespace oxsms::email {

class InProgressSlot {
 public:
  using Ticket = std::uint64_t;

  // Takes the slot; raises EmailError "Attendere invio di altre email ancora
  // in corso" when a message is in delivery.
  Ticket Take();
  // Takes a place whether or not a message is in delivery.
  Ticket TakeAlongside();
  // Ends the delivery of `ticket`; other places stay taken.
  void Release(Ticket ticket) noexcept;
  bool Busy() const;
  // Returns when no message is in delivery.
  void WaitIdle() const;

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable idle_;
  std::set<Ticket> held_;
  Ticket next_ = 1;
};

// Releases a ticket when it goes out of scope, unless handed on.
class SlotPlace {
 public:
  SlotPlace(InProgressSlot& slot, InProgressSlot::Ticket ticket) : slot_(&slot), ticket_(ticket) {}
  ~SlotPlace() {
    if (slot_ != nullptr) slot_->Release(ticket_);
  }
  SlotPlace(SlotPlace&& other) noexcept : slot_(other.slot_), ticket_(other.ticket_) {
    other.slot_ = nullptr;
  }
  SlotPlace(const SlotPlace&) = delete;
  SlotPlace& operator=(const SlotPlace&) = delete;
  SlotPlace& operator=(SlotPlace&&) = delete;

 private:
  InProgressSlot* slot_;
  InProgressSlot::Ticket ticket_;
};

}  // namespace oxsms::email
