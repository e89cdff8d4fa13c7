// The run journal's settings, section "sms" of config.ini, read once at
// start: "diario_invii" (Boolean, default on) keeps the journal
// "diario_invii.json" in the home folder; "ora_recupero" (a time "hh.mm",
// default "20.00") is the time of day after which no missed or failed run is
// started any more that day; "giorni_rapporto" (0-3650, default 30) is how
// many days of reports "rapporto_YYYY-MM-DD.json" the home folder keeps (0:
// none is written).
#pragma once

#include "platform/activity_log.h"
#include "platform/date_time.h"
#include "platform/ini_file.h"

namespace oxsms::app {

struct JournalSettings {
  bool enabled = true;
  platform::TDateTime catch_up = 20.0 / 24.0;
  int report_days = 30;
};

// A catch-up time that is no valid time, or a number of report days out of
// range, is logged and the default kept.
JournalSettings ReadJournalSettings(const platform::IniFile& ini, platform::ActivityLog& log);

}  // namespace oxsms::app
