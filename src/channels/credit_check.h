// The credit checks a batch passes before it is sent, by SMS or by WhatsApp
// template: both spend the same gateway credit.
#pragma once

#include <cstddef>

#include "channels/sms_host.h"
#include "platform/activity_log.h"

namespace oxsms::channels {

inline constexpr const char* kCreditOver = "Disponibilità di sms terminata";

// Logs and raises ChannelError when there is no credit left, or less than
// `lines` messages may still be sent.
void RequireBatchCredit(const SmsCounters& counters, std::size_t lines, platform::ActivityLog& log);

}  // namespace oxsms::channels
