// The measured daily run: the service's own settings object over the
// practice in `home`, created as the service host creates it at its first
// tick, then InviaDaServizio at the run moment, timed alone.
#pragma once

#include <filesystem>

#include "child_result.h"

namespace oxsms::bench {

// Raises what creating the settings object raises; InviaDaServizio's own
// errors are in the practice's sms.log, as in the service.
ChildResult RunDailyRun(const std::filesystem::path& home);

}  // namespace oxsms::bench
