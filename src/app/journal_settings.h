// The run journal's settings, section "sms" of config.ini, read once at
// start: "diario_invii" (Boolean, default on) keeps the journal
// "diario_invii.json" in the home folder; "ora_recupero" (a time "hh.mm",
// default "20.00") is the time of day after which no missed or failed run is
// started any more that day.
#pragma once

#include "platform/activity_log.h"
#include "platform/date_time.h"
#include "platform/ini_file.h"

namespace oxsms::app {

struct JournalSettings {
  bool enabled = true;
  platform::TDateTime catch_up = 20.0 / 24.0;
};

// A catch-up time that is no valid time is logged and the default kept.
JournalSettings ReadJournalSettings(const platform::IniFile& ini, platform::ActivityLog& log);

}  // namespace oxsms::app
