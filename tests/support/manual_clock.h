// A clock that tests set by hand.
#pragma once

#include "platform/clock.h"

namespace oxsms::testing {

class ManualClock : public platform::Clock {
 public:
  explicit ManualClock(platform::TDateTime now = 0) : now_(now) {}
  platform::TDateTime Now() const override { return now_; }
  void Set(platform::TDateTime now) { now_ = now; }
  void Advance(platform::TDateTime days) { now_ += days; }

 private:
  platform::TDateTime now_;
};

}  // namespace oxsms::testing
