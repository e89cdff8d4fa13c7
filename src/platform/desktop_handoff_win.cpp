// The Windows shell and message box behind the desktop interface.
#ifdef _WIN32

#define NOMINMAX
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <string>

#include "platform/code_page.h"
#include "platform/desktop_handoff.h"

namespace oxsms::platform {
namespace {

std::wstring Wide(const std::string& utf8) {
  const std::u16string u16 = Utf8ToUtf16(utf8);
  return std::wstring(u16.begin(), u16.end());
}

class WindowsDesktop : public DesktopHandoff {
 public:
  bool HasOperator() const override { return true; }

  void OpenAddress(const std::string& address) override {
    // The outcome is not examined: the operator sees what the handler did.
    ShellExecuteW(nullptr, L"open", Wide(address).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  }

  void ShowSystemModalInformation(const std::string& title, const std::string& text) override {
    MessageBoxW(nullptr, Wide(text).c_str(), Wide(title).c_str(),
                MB_OK | MB_ICONINFORMATION | MB_SYSTEMMODAL);
  }
};

// A service, or a task run without a logged-on user, has a window station
// nobody sees: a message box there would wait for ever.
bool VisibleWindowStation() {
  HWINSTA station = GetProcessWindowStation();
  if (station == nullptr) return false;
  USEROBJECTFLAGS flags{};
  DWORD needed = 0;
  if (!GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof(flags), &needed)) return false;
  return (flags.dwFlags & WSF_VISIBLE) != 0;
}

}  // namespace

std::unique_ptr<DesktopHandoff> MakeProcessDesktop(std::function<void(std::string_view)> log) {
  if (!VisibleWindowStation()) return std::make_unique<HeadlessDesktop>(std::move(log));
  return std::make_unique<WindowsDesktop>();
}

}  // namespace oxsms::platform

#endif  // _WIN32
