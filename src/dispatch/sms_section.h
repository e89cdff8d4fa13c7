// Section "sms" of config.ini: the SMS gateway's address and batch threshold,
// read once when the settings object is created, and optionally the initial
// channel flags.
#pragma once

#include <string>

#include "platform/ini_file.h"

namespace oxsms::dispatch {

// The maker's SMS gateway over plain HTTP on port 8184, where "rest_host" is
// not set.
inline constexpr const char* kDefaultRestHost = "http://sms.velksoftware.it:8184";
// The batch size from which SMS are uploaded as a file.
inline constexpr long kDefaultFtpLimit = 50;

struct SmsGatewaySettings {
  std::string rest_host = kDefaultRestHost;
  long ftp_limit = kDefaultFtpLimit;
  // The initial channel flags. The daily run does not start from them: each
  // kind of send sets its own channels (SendState).
  bool sendSms = true;
  bool sendEmail = false;
  bool sendWhts = false;
  bool sendWhtsB = false;
};

// Reads "rest_host" (an empty value counts as absent) and "ftp_limit".
// Only when the key "sendSms" exists are "sendSms", "sendEmail", "sendWhts"
// and "sendWhtsB" read, each defaulting to its value in `defaults`.
SmsGatewaySettings ReadSmsSection(const platform::IniFile& ini,
                                  const SmsGatewaySettings& defaults = {});

}  // namespace oxsms::dispatch
