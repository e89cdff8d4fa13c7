// The desktop of the computer a program runs on, as far as the manual
// WhatsApp hand-off needs it: an address handed to the program registered
// for its scheme ("whatsapp://"), and a system-modal message box that waits
// for the operator.
//
// On Windows the shell and the message box of an interactive session stand
// behind this interface (desktop_handoff_win.cpp); where there is no
// operator's desktop (Linux, the Windows service, a run without a visible
// window station) the headless stand-in below takes their place.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace oxsms::platform {

class DesktopHandoff {
 public:
  virtual ~DesktopHandoff() = default;

  // Whether an operator's desktop stands behind this object: only then do
  // the calls below reach a program and a person.
  virtual bool HasOperator() const = 0;

  // Opens `address` with the desktop's handler for its scheme (the "open"
  // verb, a normal window). The outcome is not reported: the handler may be
  // missing, or may refuse the address.
  virtual void OpenAddress(const std::string& address) = 0;

  // A system-modal information message box titled `title`; returns when the
  // operator has closed it.
  virtual void ShowSystemModalInformation(const std::string& title, const std::string& text) = 0;
};

// The stand-in without an operator: opens nothing, shows nothing, never
// blocks, and writes one activity-log line per call (of an address only
// its scheme, since the rest may carry a patient's number and message).
class HeadlessDesktop : public DesktopHandoff {
 public:
  explicit HeadlessDesktop(std::function<void(std::string_view)> log);

  bool HasOperator() const override { return false; }
  // Logs "Nessun desktop: indirizzo <scheme>: non aperto".
  void OpenAddress(const std::string& address) override;
  // Logs "Messaggio all'operatore: <title>: <text>".
  void ShowSystemModalInformation(const std::string& title, const std::string& text) override;

 private:
  std::function<void(std::string_view)> log_;
};

// The desktop of this process: on Windows the shell and the message box
// when the process runs in the interactive, visible window station of a
// logged-on user; otherwise, and on every other system, a HeadlessDesktop
// over `log`.
std::unique_ptr<DesktopHandoff> MakeProcessDesktop(std::function<void(std::string_view)> log);

}  // namespace oxsms::platform
