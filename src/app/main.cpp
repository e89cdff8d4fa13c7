// oxsmsd: the reminder service. On Windows it runs under the service control
// manager as OXSMS; on Linux in the foreground (systemd or a terminal), with
// signals as control requests.
#include <iostream>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "app/command_line.h"
#include "app/journal_settings.h"
#include "app/send_orchestrator_factory.h"
#include "dispatch/daily_report.h"
#include "platform/activity_log.h"
#include "platform/clock.h"
#include "platform/desktop_handoff.h"
#include "platform/error.h"
#include "platform/home_folder.h"
#include "platform/ini_file.h"
#include "platform/instance_lock.h"
#include "platform/monotonic_clock.h"
#include "platform/run_journal.h"
#include "platform/service_control.h"
#include "service/oxsms_service.h"

namespace {

using namespace oxsms;

// Exit code of a process that finds another oxsmsd on its home folder.
constexpr int kAlreadyRunning = 3;

std::unique_ptr<platform::Clock> MakeClock(const app::CommandLine& cl) {
  if (cl.fake_now) {
    return std::make_unique<platform::SimulatedClock>(*cl.fake_now, 5.0 / platform::kMinutesPerDay);
  }
  return std::make_unique<platform::SystemClock>();
}

int Install(const app::CommandLine& cl, const platform::HomeFolder& home) {
  std::string error;
  const std::string exe = (platform::HomeFolder::OfExecutable().dir() / "oxsmsd").string();
  std::string command = "\"" + exe + "\"";
  if (!cl.home.empty()) command += " --home \"" + home.dir().string() + "\"";
  const bool ok = cl.install ? platform::InstallService(service::TOXSMS::kServiceName,
                                                        service::TOXSMS::kDisplayName, command,
                                                        &error)
                             : platform::UninstallService(service::TOXSMS::kServiceName, &error);
  if (!ok) std::cerr << error << "\n";
  return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  app::CommandLine cl;
  try {
    cl = app::ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const platform::DataError& e) {
    std::cerr << "oxsmsd: " << e.what() << "\n" << app::Usage();
    return 2;
  }
  if (cl.help) {
    std::cout << app::Usage();
    return 0;
  }
  const platform::HomeFolder home =
      cl.home.empty() ? platform::HomeFolder::OfExecutable() : platform::HomeFolder(cl.home);
  if (cl.install || cl.uninstall) return Install(cl, home);

  // One oxsmsd per home folder, the service as well as a run by hand: two
  // would send every message twice. The lock ends with the process.
  const platform::InstanceLock lock(home.File(platform::InstanceLock::kFileName));
  if (!lock.held()) {
    std::cerr << "oxsmsd: " << (lock.busy() ? "un altro oxsmsd è già in esecuzione" : "impossibile")
              << " sulla cartella " << home.dir().string() << " (" << lock.error()
              << "): questo processo termina senza inviare nulla\n";
    return kAlreadyRunning;
  }

  const std::unique_ptr<platform::Clock> clock = MakeClock(cl);
  platform::ActivityLog log(home.File("sms.log"), *clock);
  const app::JournalSettings journal_settings =
      app::ReadJournalSettings(platform::IniFile(home.File("config.ini")), log);
  std::unique_ptr<platform::RunJournal> journal;
  if (journal_settings.enabled) {
    journal = std::make_unique<platform::RunJournal>(home.File(platform::RunJournal::kFileName), log);
  }
  dispatch::DailyReport report(home.dir(), journal_settings.report_days, log);
  const platform::SteadyClock elapsed;
  // A run by hand may have the operator who started it at the desktop (on
  // Windows, in a session that shows its windows); the service has nobody.
  const auto log_line = [&log](std::string_view text) { log.WriteLog(text); };
  const std::unique_ptr<platform::DesktopHandoff> desktop =
      cl.run_now ? platform::MakeProcessDesktop(log_line)
                 : std::make_unique<platform::HeadlessDesktop>(log_line);
  service::TOXSMS service(
      log, *clock, elapsed,
      app::MakeSendOrchestratorFactory(home, log, *clock, cl.test_mode, journal.get(), cl.force,
                                       &report, desktop.get()),
      std::chrono::milliseconds(cl.interval_ms),
      service::JournalSchedule{journal.get(), journal_settings.catch_up}, cl.stop_at);
  if (cl.run_now) return service.RunSendNow() ? 0 : 1;
  const platform::ServiceHandlers handlers{
      [&service] { service.ServiceExecute(); },
      [&service](platform::ServiceControl c) { service.Control(c); }};
  return platform::RunService(service::TOXSMS::kServiceName, handlers);
}
