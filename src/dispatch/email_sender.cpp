#include "dispatch/email_sender.h"

#include <algorithm>

namespace oxsms::dispatch {

bool EmailUnavailable::InviaEmailCircolare(practice::Connection&, const std::string& recipients,
                                           const std::string&) {
  std::size_t count = recipients.empty() ? 0 : 1;
  count += static_cast<std::size_t>(std::count(recipients.begin(), recipients.end(), '\n'));
  log_.WriteLog("Invio email non disponibile in questa installazione: " + std::to_string(count) +
                " destinatari non inviati");
  return false;
}

}  // namespace oxsms::dispatch
