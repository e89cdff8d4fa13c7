// What the service host needs of the send-orchestration object (the settings
// and the daily run). The application wires the real one in.
#pragma once

#include <functional>
#include <memory>

#include "platform/date_time.h"

namespace oxsms::service {

class SendOrchestrator {
 public:
  virtual ~SendOrchestrator() = default;
  // Reloads the settings; false when they are not available (skip the tick).
  virtual bool ReadConnect() = 0;
  // The daily send time as a fraction of a day (0 = midnight).
  virtual platform::TDateTime OrarioInvio() const = 0;
  virtual void SetAsService(bool as_service) = 0;
  // The whole daily run, synchronously; may raise.
  virtual void InviaDaServizio() = 0;
  // True when the last run left a message unsent or ended on an error.
  virtual bool LastRunFailed() const = 0;
  // True when the run keeps the run journal (it is configured and the test
  // mode is off); the scheduler then decides by the journal.
  virtual bool KeepsJournal() const { return false; }
};

// Creates the object: applies its defaults and reloads the settings once.
using SendOrchestratorFactory = std::function<std::unique_ptr<SendOrchestrator>()>;

}  // namespace oxsms::service
