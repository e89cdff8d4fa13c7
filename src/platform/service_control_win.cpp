// Windows: the service control manager. The control handler only hands each
// request to the service thread and reports the new state.
#ifdef _WIN32

#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <mutex>
#include <string>

#include "platform/service_control.h"

namespace oxsms::platform {
namespace {

struct ServiceState {
  std::wstring name;
  const ServiceHandlers* handlers = nullptr;
  SERVICE_STATUS_HANDLE status_handle = nullptr;
  SERVICE_STATUS status{};
  std::mutex mutex;
} g_service;

std::wstring Widen(const std::string& text) {
  if (text.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(n, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
  return out;
}

std::string LastErrorText(const char* what) {
  return std::string(what) + " (errore " + std::to_string(GetLastError()) + ")";
}

void ReportState(DWORD state) {
  std::lock_guard lock(g_service.mutex);
  g_service.status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  g_service.status.dwCurrentState = state;
  g_service.status.dwControlsAccepted =
      state == SERVICE_START_PENDING ? 0
                                     : SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_PAUSE_CONTINUE |
                                           SERVICE_ACCEPT_SHUTDOWN;
  g_service.status.dwWin32ExitCode = NO_ERROR;
  g_service.status.dwWaitHint = state == SERVICE_STOP_PENDING ? 30000 : 0;
  if (g_service.status_handle) SetServiceStatus(g_service.status_handle, &g_service.status);
}

DWORD WINAPI ControlHandler(DWORD control, DWORD, LPVOID, LPVOID) {
  switch (control) {
    case SERVICE_CONTROL_STOP:
    case SERVICE_CONTROL_SHUTDOWN:
      ReportState(SERVICE_STOP_PENDING);
      g_service.handlers->control(ServiceControl::kStop);
      return NO_ERROR;
    case SERVICE_CONTROL_PAUSE:
      g_service.handlers->control(ServiceControl::kPause);
      ReportState(SERVICE_PAUSED);
      return NO_ERROR;
    case SERVICE_CONTROL_CONTINUE:
      g_service.handlers->control(ServiceControl::kContinue);
      ReportState(SERVICE_RUNNING);
      return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE:
      return NO_ERROR;
    default:
      return ERROR_CALL_NOT_IMPLEMENTED;
  }
}

void WINAPI ServiceMain(DWORD, LPWSTR*) {
  g_service.status_handle =
      RegisterServiceCtrlHandlerExW(g_service.name.c_str(), ControlHandler, nullptr);
  if (!g_service.status_handle) return;
  ReportState(SERVICE_START_PENDING);
  ReportState(SERVICE_RUNNING);
  g_service.handlers->execute();
  ReportState(SERVICE_STOPPED);
}

}  // namespace

int RunService(const std::string& service_name, const ServiceHandlers& handlers) {
  g_service.name = Widen(service_name);
  g_service.handlers = &handlers;
  SERVICE_TABLE_ENTRYW table[] = {{g_service.name.data(), ServiceMain}, {nullptr, nullptr}};
  return StartServiceCtrlDispatcherW(table) ? 0 : static_cast<int>(GetLastError());
}

bool InstallService(const std::string& service_name, const std::string& display_name,
                    const std::string& command_line, std::string* error) {
  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CREATE_SERVICE);
  if (!manager) {
    if (error) *error = LastErrorText("Impossibile aprire il gestore dei servizi");
    return false;
  }
  SC_HANDLE service = CreateServiceW(
      manager, Widen(service_name).c_str(), Widen(display_name).c_str(), SERVICE_ALL_ACCESS,
      SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START, SERVICE_ERROR_NORMAL,
      Widen(command_line).c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
  const bool ok = service != nullptr;
  if (!ok && error) *error = LastErrorText("Impossibile installare il servizio");
  if (service) CloseServiceHandle(service);
  CloseServiceHandle(manager);
  return ok;
}

bool UninstallService(const std::string& service_name, std::string* error) {
  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
  if (!manager) {
    if (error) *error = LastErrorText("Impossibile aprire il gestore dei servizi");
    return false;
  }
  SC_HANDLE service = OpenServiceW(manager, Widen(service_name).c_str(), DELETE);
  bool ok = service != nullptr && DeleteService(service);
  if (!ok && error) *error = LastErrorText("Impossibile rimuovere il servizio");
  if (service) CloseServiceHandle(service);
  CloseServiceHandle(manager);
  return ok;
}

}  // namespace oxsms::platform

#endif  // _WIN32
