// Outside Windows no operator's desktop is reached: the hand-off is the
// headless stand-in.
#ifndef _WIN32

#include <utility>

#include "platform/desktop_handoff.h"

namespace oxsms::platform {

std::unique_ptr<DesktopHandoff> MakeProcessDesktop(std::function<void(std::string_view)> log) {
  return std::make_unique<HeadlessDesktop>(std::move(log));
}

}  // namespace oxsms::platform

#endif  // !_WIN32
