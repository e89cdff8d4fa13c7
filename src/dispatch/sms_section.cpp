#include "dispatch/sms_section.h"

namespace oxsms::dispatch {
namespace {
constexpr const char* kSection = "sms";
}

SmsGatewaySettings ReadSmsSection(const platform::IniFile& ini,
                                  const SmsGatewaySettings& defaults) {
  SmsGatewaySettings gateway = defaults;
  const std::string host = ini.ReadString(kSection, "rest_host", "");
  gateway.rest_host = host.empty() ? kDefaultRestHost : host;
  gateway.ftp_limit = ini.ReadInteger(kSection, "ftp_limit", kDefaultFtpLimit);
  if (ini.ValueExists(kSection, "sendSms")) {
    gateway.sendSms = ini.ReadBool(kSection, "sendSms", defaults.sendSms);
    gateway.sendEmail = ini.ReadBool(kSection, "sendEmail", defaults.sendEmail);
    gateway.sendWhts = ini.ReadBool(kSection, "sendWhts", defaults.sendWhts);
    gateway.sendWhtsB = ini.ReadBool(kSection, "sendWhtsB", defaults.sendWhtsB);
  }
  return gateway;
}

}  // namespace oxsms::dispatch
