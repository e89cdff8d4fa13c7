#include "platform/desktop_handoff.h"

#include <utility>

namespace oxsms::platform {

HeadlessDesktop::HeadlessDesktop(std::function<void(std::string_view)> log)
    : log_(std::move(log)) {}

void HeadlessDesktop::OpenAddress(const std::string& address) {
  const std::size_t colon = address.find(':');
  const std::string scheme =
      colon == std::string::npos ? std::string("senza schema") : address.substr(0, colon);
  log_("Nessun desktop: indirizzo " + scheme + ": non aperto");
}

void HeadlessDesktop::ShowSystemModalInformation(const std::string& title,
                                                 const std::string& text) {
  log_("Messaggio all'operatore: " + title + ": " + text);
}

}  // namespace oxsms::platform
