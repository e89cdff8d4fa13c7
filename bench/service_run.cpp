#include "service_run.h"

#include "dispatch/tdm1.h"
#include "fixed_clock.h"
#include "platform/activity_log.h"
#include "platform/ini_file.h"
#include "platform/installation.h"
#include "platform/registry_file.h"
#include "practice/catalogue_context.h"
#include "practice/cloud_credentials.h"
#include "process_meter.h"

namespace oxsms::bench {

ChildResult RunDailyRun(const std::filesystem::path& home_dir) {
  const platform::HomeFolder home(home_dir);
  const platform::Installation installation =
      platform::Installation::Load(platform::IniFile(home.File("config.ini")));
  practice::CloudSession cloud;
  const practice::CatalogueContext catalogue{home, installation, cloud, nullptr};
  FixedClock clock(RunMoment());
  platform::ActivityLog log(home.File("sms.log"), clock);
  const platform::FileRegistry registry(home.File(platform::FileRegistry::kDefaultFileName));

  dispatch::TDM1 dm1(catalogue, log, clock, registry);
  dm1.AsService = true;

  const StatementCounts before = CurrentStatementCounts();
  Stopwatch watch;
  try {
    dm1.InviaDaServizio();
  } catch (const std::exception&) {
    // The service host drops it too; the reason is in sms.log.
  }
  watch.Stop();

  return MeasuredResult(watch, before);
}

}  // namespace oxsms::bench
