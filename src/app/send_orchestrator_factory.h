// Wires the real settings object and daily run to the service host.
#pragma once

#include "platform/activity_log.h"
#include "platform/clock.h"
#include "platform/home_folder.h"
#include "platform/run_journal.h"
#include "service/send_orchestrator.h"

namespace oxsms::app {

// The factory creates `TDM1` over config.ini in `home`; the installation
// values are read from config.ini when the factory is made. `home`, `log` and
// `clock` must outlive every object the factory creates. In test mode every
// reload switches the settings' test flag on: nothing is sent, what would be
// sent is logged, and the run journal is left alone. `journal` (nullptr:
// none; must outlive the objects) is kept by every run; `force` makes every
// run send every kind whatever the journal holds.
service::SendOrchestratorFactory MakeSendOrchestratorFactory(const platform::HomeFolder& home,
                                                             platform::ActivityLog& log,
                                                             const platform::Clock& clock,
                                                             bool test_mode = false,
                                                             platform::RunJournal* journal = nullptr,
                                                             bool force = false);

}  // namespace oxsms::app
