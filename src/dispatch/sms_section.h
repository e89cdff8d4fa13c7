// Section "sms" of config.ini: the SMS gateway's address and batch threshold,
// read once when the settings object is created, and optionally the initial
// channel flags.
#pragma once

#include <string>

#include "dispatch/tdm1_fields.h"
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
};

// Reads "rest_host" (an empty value counts as absent) and "ftp_limit".
// Only when the key "sendSms" exists are "sendSms", "sendEmail", "sendWhts"
// and "sendWhtsB" read into the flags, each defaulting to its current value.
SmsGatewaySettings ReadSmsSection(const platform::IniFile& ini, TDM1Fields& fields);

}  // namespace oxsms::dispatch
