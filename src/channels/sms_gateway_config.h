// The installation values of the SMS gateway client, gathered once when the
// settings object is created.
#pragma once

#include <filesystem>
#include <string>

#include "platform/home_folder.h"
#include "platform/ini_file.h"
#include "platform/installation.h"
#include "platform/operator_prompt.h"

namespace oxsms::channels {

struct SmsGatewayConfig {
  std::string rest_host;       // the gateway's base address ("rest_host")
  std::string api_key;         // for the alias check; never logged
  std::string batch_user;      // header account of a large batch
  std::string batch_password;  // never logged
  // Where the test mode saves the batch it would have uploaded.
  std::filesystem::path test_batch_folder;
  // The answer to "send although the alias is not verified?" when nobody can
  // answer: Yes sends, No drops the batch.
  platform::DialogResult unattended_alias_answer = platform::DialogResult::Yes;
};

// Section "sms", key "alias_non_verificato": "annulla" (any letter case)
// gives No; "invia", an absent key or any other value gives Yes.
platform::DialogResult ReadUnattendedAliasAnswer(const platform::IniFile& ini);

SmsGatewayConfig MakeSmsGatewayConfig(std::string rest_host,
                                      const platform::Installation& installation,
                                      const platform::IniFile& ini,
                                      const platform::HomeFolder& home);

}  // namespace oxsms::channels
