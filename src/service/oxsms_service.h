// The service object: owns the five-minute timer and, from the first tick on,
// the send-orchestration object DM1. Every handler runs on the service thread
// inside ServiceExecute's request loop.
#pragma once

#include <chrono>
#include <memory>
#include <optional>

#include "platform/activity_log.h"
#include "platform/clock.h"
#include "platform/run_journal.h"
#include "service/send_orchestrator.h"
#include "service/service_loop.h"

namespace oxsms::service {

// With a run journal the scheduler no longer relies on the window alone:
// from the send time to the catch-up time a tick runs the day's run when the
// journal holds no attempt of today (the service was not running, or the
// settings could not be read, at the send time), or when a kind of today
// failed for a reason that may pass and its pause is over (5, 10, 20, 40,
// then 60 minutes after the attempt before). Each such run says why in the
// log. Without a journal only the five-minute window counts.
struct JournalSchedule {
  platform::RunJournal* journal = nullptr;  // nullptr: no journal
  // Time of day after which no run is started any more that day (20.00).
  platform::TDateTime catch_up = 20.0 / 24.0;
};

class TOXSMS {
 public:
  static constexpr const char* kServiceName = "OXSMS";
  static constexpr const char* kDisplayName = "Odontix Invio Sms per gli appuntamenti";
  static constexpr std::chrono::milliseconds kTimerInterval{300000};
  // The send window is as wide as the timer interval.
  static constexpr long kWindowMillis = 5 * 60 * 1000;

  // `elapsed` measures the timer's interval; it, `log` and `clock` must
  // outlive the object. With `stop_at` the service stops by itself at the
  // first tick whose clock has reached that moment (a simulated day on a
  // simulated clock ends there, as a stop request would end it).
  TOXSMS(platform::ActivityLog& log, platform::Clock& clock,
         const platform::MonotonicClock& elapsed, SendOrchestratorFactory make_dm1,
         std::chrono::milliseconds interval = kTimerInterval, JournalSchedule schedule = {},
         std::optional<platform::TDateTime> stop_at = std::nullopt);

  // The service's main routine: returns when the service is told to stop.
  void ServiceExecute();
  void ServiceStop(bool& Stopped);
  void ServicePause(bool& Paused);
  void ServiceContinue(bool& Continued);
  void TimerTick();
  // One daily send at once, outside the timer and its window (the command
  // line's --run-now): reloads the settings and runs the send with the same
  // log lines as a tick. Returns false when the settings were not available,
  // or when the run left a message unsent or ended on an error.
  bool RunSendNow();

  // Thread-safe: hands a control request to the service thread.
  void Control(ControlRequest request) { loop_.Post(request); }

  SendOrchestrator* DM1() const { return dm1_.get(); }
  bool TimerEnabled() const { return loop_.TimerEnabled(); }

 private:
  void HandleRequest(ControlRequest request);
  // Creates DM1 when needed and reloads the settings; false skips the tick.
  bool ReloadSettings();
  bool InSendWindow();
  // With the journal: true when this tick must run (the reason logged).
  bool JournalSaysRun();
  // True when the run sent everything it had to.
  bool RunDailySend();

  platform::ActivityLog& log_;
  platform::Clock& clock_;
  SendOrchestratorFactory make_dm1_;
  ServiceLoop loop_;
  JournalSchedule schedule_;
  std::optional<platform::TDateTime> stop_at_;
  bool SimpleTimer1 = false;  // the timer exists from the first execute on
  bool stop_logged_ = false;  // ServiceStop wrote "Service stopped"
  std::unique_ptr<SendOrchestrator> dm1_;
};

}  // namespace oxsms::service
