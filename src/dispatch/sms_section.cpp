#include "dispatch/sms_section.h"

namespace oxsms::dispatch {
namespace {
constexpr const char* kSection = "sms";
}

SmsGatewaySettings ReadSmsSection(const platform::IniFile& ini, TDM1Fields& fields) {
  SmsGatewaySettings gateway;
  const std::string host = ini.ReadString(kSection, "rest_host", "");
  if (!host.empty()) gateway.rest_host = host;
  gateway.ftp_limit = ini.ReadInteger(kSection, "ftp_limit", kDefaultFtpLimit);
  if (ini.ValueExists(kSection, "sendSms")) {
    fields.sendSms = ini.ReadBool(kSection, "sendSms", fields.sendSms);
    fields.sendEmail = ini.ReadBool(kSection, "sendEmail", fields.sendEmail);
    fields.sendWhts = ini.ReadBool(kSection, "sendWhts", fields.sendWhts);
    fields.sendWhtsB = ini.ReadBool(kSection, "sendWhtsB", fields.sendWhtsB);
  }
  return gateway;
}

}  // namespace oxsms::dispatch
