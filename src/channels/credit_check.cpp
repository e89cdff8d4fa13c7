#include "channels/credit_check.h"

#include <string>

#include "channels/channel_error.h"

namespace oxsms::channels {

void RequireBatchCredit(const SmsCounters& counters, std::size_t lines,
                        platform::ActivityLog& log) {
  if (counters.smsDisp < 1) {
    log.WriteLog(kCreditOver);
    throw ChannelError(kCreditOver);
  }
  if (counters.smsInviabili < 0 || static_cast<std::size_t>(counters.smsInviabili) < lines) {
    const std::string message =
        "Disponibilità di sms non sufficiente per l'invio di " + std::to_string(lines) + " sms";
    log.WriteLog(message);
    throw ChannelError(message);
  }
}

}  // namespace oxsms::channels
