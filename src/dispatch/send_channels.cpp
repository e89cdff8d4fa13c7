#include "dispatch/send_channels.h"

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

channels::SendResult WhatsAppTemplatesUnavailable::MultiSendWhtsB(
    const std::vector<std::string>& batch) {
  const std::string message = "Invio WhatsApp con template non disponibile in questa installazione: " +
                              std::to_string(batch.size()) + " destinatari non inviati";
  log_.WriteLog(message);
  channels::SendResult result;
  result.Fail(static_cast<int>(batch.size()), channels::SendFailure::kRefused, message);
  return result;
}

}  // namespace oxsms::dispatch
