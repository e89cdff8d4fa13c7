#include "service_run.h"

#include <chrono>

#include "dispatch/daily_report.h"
#include "dispatch/email_circular.h"
#include "dispatch/run_parts.h"
#include "dispatch/tdm1.h"
#include "email/in_progress_slot.h"
#include "email/rest_email_transport.h"
#include "email/smtp_transport.h"
#include "fixed_clock.h"
#include "net/curl_http_client.h"
#include "net/host_guard.h"
#include "platform/activity_log.h"
#include "platform/ini_file.h"
#include "platform/installation.h"
#include "platform/monotonic_clock.h"
#include "platform/operator_prompt.h"
#include "platform/registry_file.h"
#include "practice/catalogue_context.h"
#include "process_meter.h"

namespace oxsms::bench {

ChildResult RunDailyRun(const std::filesystem::path& home_dir) {
  const platform::HomeFolder home(home_dir);
  const platform::Installation installation =
      platform::Installation::Load(platform::IniFile(home.File("config.ini")));
  practice::CredentialCipher cipher;
  const practice::CatalogueContext catalogue{home, installation, cipher, nullptr};
  FixedClock clock(RunMoment());
  platform::ActivityLog log(home.File("sms.log"), clock);
  const platform::FileRegistry registry(home.File(platform::FileRegistry::kDefaultFileName));

  // The run's parts as the service builds them.
  net::CurlOptions curl_options;
  curl_options.ca_file = installation.ca_file;
  curl_options.log = &log;
  net::CurlHttpClient curl(curl_options);
  const platform::SteadyClock elapsed;
  net::HostGuardHttpClient http(curl, std::chrono::seconds(60), elapsed);
  platform::HeadlessOperator operator_prompt([&log](std::string_view text) { log.WriteLog(text); });
  platform::HeadlessDesktop desktop([&log](std::string_view text) { log.WriteLog(text); });
  email::InProgressSlot email_slot;
  email::SmtpTransport smtp({installation.ca_file});
  email::RestEmailTransport rest(http, {installation.email_url, installation.email_probe_host,
                                        installation.email_fallback_url, installation.api_key});
  dispatch::EmailCircular email(smtp, rest, email_slot, log);
  dispatch::DailyReport report(home.dir(), 30, log);
  dispatch::TDM1 dm1(catalogue, log, clock, registry,
                     dispatch::RunParts{http, &http, operator_prompt, channels::SleepFor, email,
                                        elapsed, desktop, &report});
  dm1.AsService = true;
  http.SetWaitingWork([&dm1] { return dm1.WriteQueuedBookkeeping(); });

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
