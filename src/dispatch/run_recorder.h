// What the daily run tells about itself beyond the channels' lines: when it
// began and ended, whether it sends for real, and which kind of message the
// lines that follow belong to. One object per process, given to TDM1 at
// creation; only the service thread calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "channels/run_lines.h"
#include "dispatch/run_report.h"
#include "platform/date_time.h"

namespace oxsms::dispatch {

class RunRecorder : public channels::RunLines {
 public:
  // A run begins; `test` when it sends nothing (test mode, a preview).
  virtual void BeginRun(platform::TDateTime start, bool test) = 0;
  // The lines that follow belong to `kind`.
  virtual void BeginKind(SendKind kind) = 0;
  // The run ended, also when it ended on an error. Lines still open then
  // are kept with an unknown outcome.
  virtual void EndRun(platform::TDateTime end) = 0;
  // Lines told since the run began.
  virtual std::size_t LineCount() const = 0;
};

// Keeps nothing: where no report of the run is wanted.
class NoRunRecorder : public RunRecorder {
 public:
  void BeginRun(platform::TDateTime, bool) override {}
  void BeginKind(SendKind) override {}
  void EndRun(platform::TDateTime) override {}
  std::size_t LineCount() const override { return 0; }
  std::size_t Composed(channels::LineChannel, const std::string&, const std::string&) override {
    return 0;
  }
  void Ended(std::size_t, channels::LineOutcome, const std::string&) override {}
  void PendingEnded(channels::LineOutcome, const std::string&) override {}
  void LeftOut(channels::LineChannel, const std::string&, const std::string&) override {}
  void Credit(int32_t) override {}
};

}  // namespace oxsms::dispatch
