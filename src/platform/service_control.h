// How the process meets the operating system's service manager.
//
// On Windows: the service control manager (register, unregister, and the
// control requests stop, pause, continue and shutdown). On Linux the process
// runs in the foreground under systemd or a terminal, and the signals stand in
// for the control requests: SIGTERM and SIGINT stop, SIGUSR1 pauses, SIGUSR2
// continues.
#pragma once

#include <functional>
#include <string>

namespace oxsms::platform {

enum class ServiceControl { kStop, kPause, kContinue };

struct ServiceHandlers {
  // The service's main routine, run on the service thread; returns when stopped.
  std::function<void()> execute;
  // Called on another thread for each control request; must only hand the
  // request over to the service thread.
  std::function<void(ServiceControl)> control;
};

// Runs the service until execute returns. Returns the process exit code.
int RunService(const std::string& service_name, const ServiceHandlers& handlers);

// Registers or unregisters the service (Windows); on Linux these print what
// to do with the shipped systemd unit and return false.
bool InstallService(const std::string& service_name, const std::string& display_name,
                    const std::string& command_line, std::string* error);
bool UninstallService(const std::string& service_name, std::string* error);

}  // namespace oxsms::platform
