// Wires the real settings object and daily run to the service host.
#pragma once

#include "dispatch/run_recorder.h"
#include "platform/activity_log.h"
#include "platform/clock.h"
#include "platform/desktop_handoff.h"
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
// run send every kind whatever the journal holds. `report` (nullptr: none;
// must outlive the objects) keeps every run's lines. `desktop` (nullptr: the
// headless one; must outlive the objects) is the manual WhatsApp hand-off's.
service::SendOrchestratorFactory MakeSendOrchestratorFactory(
    const platform::HomeFolder& home, platform::ActivityLog& log, const platform::Clock& clock,
    bool test_mode = false, platform::RunJournal* journal = nullptr, bool force = false,
    dispatch::RunRecorder* report = nullptr, platform::DesktopHandoff* desktop = nullptr);

}  // namespace oxsms::app
