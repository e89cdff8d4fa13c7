#include "service/oxsms_service.h"

#include <algorithm>
#include <cmath>
#include <exception>

#include "platform/error.h"

namespace oxsms::service {
namespace {

long MillisOfDay(platform::TDateTime value) {
  return std::lround(platform::TimeOf(value) * platform::kSecondsPerDay * 1000.0);
}

}  // namespace

TOXSMS::TOXSMS(platform::ActivityLog& log, platform::Clock& clock,
               const platform::MonotonicClock& elapsed, SendOrchestratorFactory make_dm1,
               std::chrono::milliseconds interval, JournalSchedule schedule,
               std::optional<platform::TDateTime> stop_at)
    : log_(log),
      clock_(clock),
      make_dm1_(std::move(make_dm1)),
      loop_(interval, elapsed),
      schedule_(schedule),
      stop_at_(stop_at) {}

void TOXSMS::ServiceExecute() {
  SimpleTimer1 = true;
  loop_.EnableTimer();
  log_.WriteServiceState(true);
  loop_.Run([this](ControlRequest r) { HandleRequest(r); }, [this] { TimerTick(); });
  if (SimpleTimer1) loop_.DisableTimer();
  // A stop has said so already: one "Service stopped" line per stop.
  if (!stop_logged_) log_.WriteServiceState(false);
}

void TOXSMS::HandleRequest(ControlRequest request) {
  bool done = false;
  switch (request) {
    case ControlRequest::kStop:
      ServiceStop(done);
      if (done) loop_.Terminate();
      break;
    case ControlRequest::kPause:
      ServicePause(done);
      break;
    case ControlRequest::kContinue:
      ServiceContinue(done);
      break;
  }
}

void TOXSMS::ServiceStop(bool& Stopped) {
  log_.WriteServiceState(false);
  stop_logged_ = true;
  if (SimpleTimer1) loop_.DisableTimer();
  Stopped = true;
}

void TOXSMS::ServicePause(bool& Paused) {
  log_.WriteServiceState(false);
  if (SimpleTimer1) loop_.DisableTimer();
  Paused = true;
}

void TOXSMS::ServiceContinue(bool& Continued) {
  log_.WriteServiceState(true);
  if (SimpleTimer1) loop_.EnableTimer();
  Continued = true;
}

bool TOXSMS::ReloadSettings() {
  // Creating the settings object or reading the configuration database can
  // fail (database down, damaged document); the service logs it and waits
  // for the next tick instead of ending.
  try {
    if (!dm1_) {
      dm1_ = make_dm1_();
      dm1_->SetAsService(true);
    }
    return dm1_->ReadConnect();
  } catch (const std::exception& e) {
    // The tick's boundary: whatever stops the settings is logged, not raised.
    log_.WriteLog(platform::Describe(e));
  } catch (...) {
    log_.WriteLog("Errore sconosciuto durante la lettura delle impostazioni");
  }
  return false;
}

bool TOXSMS::InSendWindow() {
  // Compared in whole milliseconds, so the closing instant (send time plus
  // five minutes, to the millisecond) still counts.
  const long start = MillisOfDay(dm1_->OrarioInvio());
  const long end = start + kWindowMillis;
  if (start > MillisOfDay(clock_.Now())) return false;
  if (end < MillisOfDay(clock_.Now())) return false;
  return true;
}

bool TOXSMS::JournalSaysRun() {
  const platform::TDateTime now = clock_.Now();
  const long start = MillisOfDay(dm1_->OrarioInvio());
  const long window_end = start + kWindowMillis;
  // A send time after the catch-up time still has its window.
  const long end = std::max(window_end, MillisOfDay(schedule_.catch_up));
  const long at = MillisOfDay(now);
  if (at < start || at > end) return false;
  try {
    const platform::DayEntry& today = schedule_.journal->Day(now);
    if (today.attempts == 0) {
      if (at > window_end) {
        log_.WriteLog("Invio del giorno non eseguito all'orario di invio " +
                      platform::FormatTime(dm1_->OrarioInvio(), '.').substr(0, 5) +
                      " (servizio non attivo o impostazioni non disponibili): recupero ora");
      }
      return true;
    }
    const std::optional<std::string> why = schedule_.journal->RetryDue(now);
    if (!why) return false;
    log_.WriteLog("Nuovo tentativo di invio (tentativo " + std::to_string(today.attempts + 1) +
                  "): " + *why);
    return true;
  } catch (const platform::Error& e) {
    // An unwritable journal (Save has logged it): no run that could not be
    // recorded.
    log_.WriteLog(e.what());
    return false;
  }
}

void TOXSMS::TimerTick() {
  clock_.OnTick();
  if (stop_at_ && clock_.Now() >= *stop_at_) {
    bool stopped = false;
    ServiceStop(stopped);
    loop_.Terminate();
    return;
  }
  if (!ReloadSettings()) return;
  if (schedule_.journal != nullptr && dm1_->KeepsJournal()) {
    if (!JournalSaysRun()) return;
  } else if (!InSendWindow()) {
    return;
  }

  loop_.DisableTimer();
  RunDailySend();
  loop_.EnableTimer();
}

bool TOXSMS::RunSendNow() {
  if (!ReloadSettings()) return false;
  return RunDailySend();
}

bool TOXSMS::RunDailySend() {
  log_.WriteLog("Avvio ricerca messaggi");
  bool ok = true;
  try {
    dm1_->InviaDaServizio();
    ok = !dm1_->LastRunFailed();
  } catch (const std::exception& e) {
    // The run logs the errors it handles; whatever escapes it is logged here
    // and must not stop the service.
    log_.WriteLog("Invio interrotto da un errore: " + platform::Describe(e));
    ok = false;
  } catch (...) {
    log_.WriteLog("Invio interrotto da un errore sconosciuto");
    ok = false;
  }
  log_.WriteLog("Fine ricerca messaggi");
  return ok;
}

}  // namespace oxsms::service
