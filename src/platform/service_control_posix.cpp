// Linux stand-in of the service control manager: signals become control
// requests, handled by a thread of their own that never runs service code.
#ifndef _WIN32

#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <ctime>
#include <thread>

#include "platform/service_control.h"

namespace oxsms::platform {
namespace {

sigset_t ControlSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGUSR1);
  sigaddset(&set, SIGUSR2);
  return set;
}

}  // namespace

int RunService(const std::string& /*service_name*/, const ServiceHandlers& handlers) {
  // Blocked here, before the service starts other threads, so that only the
  // relay thread below ever receives them.
  const sigset_t set = ControlSignals();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);

  std::atomic<bool> done{false};
  std::thread relay([&] {
    const timespec poll{0, 200 * 1000 * 1000};
    while (!done) {
      const int sig = sigtimedwait(&set, nullptr, &poll);
      if (sig == SIGTERM || sig == SIGINT) handlers.control(ServiceControl::kStop);
      if (sig == SIGUSR1) handlers.control(ServiceControl::kPause);
      if (sig == SIGUSR2) handlers.control(ServiceControl::kContinue);
    }
  });
  handlers.execute();
  done = true;
  relay.join();
  return 0;
}

bool InstallService(const std::string&, const std::string&, const std::string&,
                    std::string* error) {
  if (error) *error = "Su Linux il servizio si installa con l'unita' systemd in packaging/oxsmsd.service";
  return false;
}

bool UninstallService(const std::string&, std::string* error) {
  if (error) *error = "Su Linux il servizio si rimuove con systemctl disable oxsmsd";
  return false;
}

}  // namespace oxsms::platform

#endif  // !_WIN32
