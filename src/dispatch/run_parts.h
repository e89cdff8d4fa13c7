// The parts of the daily run that the settings object uses but does not own:
// the composition root (the executable, a test, the benchmark) builds them
// and passes them to TDM1's constructor. Every referenced object must outlive
// the TDM1 it is given to.
#pragma once

#include "channels/sms_gateway.h"
#include "dispatch/email_sender.h"
#include "dispatch/run_recorder.h"
#include "net/host_guard.h"
#include "net/http_client.h"
#include "platform/desktop_handoff.h"
#include "platform/monotonic_clock.h"
#include "platform/operator_prompt.h"

namespace oxsms::dispatch {

struct RunParts {
  // Every request of the run's channels and link services. The owner sets
  // its waiting work (TDM1::WriteQueuedBookkeeping while a TDM1 uses it).
  net::HttpClient& http;
  // The guard in front of `http` whose paused hosts are asked again at the
  // start of each kind of send; nullptr when `http` has none.
  net::HostGuardHttpClient* host_guard;
  // The questions and messages of the channels (headless in the service).
  platform::OperatorPrompt& operator_prompt;
  // The pause of the SMS gateway's waits.
  channels::Sleeper sleep;
  // The email circular of each email batch.
  EmailBatchSender& email;
  // The elapsed time of the search object's windows (its queue of writes,
  // its commit window).
  const platform::MonotonicClock& elapsed;
  // The desktop of the manual WhatsApp hand-off (headless in the service).
  platform::DesktopHandoff& desktop;
  // Where each run tells its lines and their outcomes (the day's report, a
  // preview); nullptr: nowhere. When given, the searches also list the
  // patients they leave out.
  RunRecorder* report = nullptr;
};

}  // namespace oxsms::dispatch
