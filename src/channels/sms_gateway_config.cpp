#include "channels/sms_gateway_config.h"

#include <algorithm>
#include <cctype>

namespace oxsms::channels {

platform::DialogResult ReadUnattendedAliasAnswer(const platform::IniFile& ini) {
  std::string value = ini.ReadString("sms", "alias_non_verificato", "invia");
  std::transform(value.begin(), value.end(), value.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return value == "annulla" ? platform::DialogResult::No : platform::DialogResult::Yes;
}

SmsGatewayConfig MakeSmsGatewayConfig(std::string rest_host,
                                      const platform::Installation& installation,
                                      const platform::IniFile& ini,
                                      const platform::HomeFolder& home) {
  SmsGatewayConfig config;
  config.rest_host = std::move(rest_host);
  config.api_key = installation.api_key;
  config.batch_user = installation.batch_user;
  config.batch_password = installation.batch_password;
  config.test_batch_folder = home.dir();
  config.unattended_alias_answer = ReadUnattendedAliasAnswer(ini);
  return config;
}

}  // namespace oxsms::channels
