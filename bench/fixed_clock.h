// The clock of the measured runs: always the run moment, so the search day
// and the log are the same on every machine and every day.
#pragma once

#include "bench_practice.h"
#include "platform/clock.h"

namespace oxsms::bench {

class FixedClock : public platform::Clock {
 public:
  explicit FixedClock(platform::TDateTime now) : now_(now) {}
  platform::TDateTime Now() const override { return now_; }

 private:
  platform::TDateTime now_;
};

}  // namespace oxsms::bench
