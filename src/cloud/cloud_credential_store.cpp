#include "cloud/cloud_credential_store.h"

#include <nlohmann/json.hpp>

#include "platform/ini_file.h"
#include "practice/credential_protection.h"
#include "practice/local_config.h"

namespace oxsms::cloud {
namespace {

constexpr int kCloudProtocol = 4;

std::string Text(const nlohmann::json& object, const char* name) {
  const auto it = object.find(name);
  return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

}  // namespace

std::optional<std::string> UpdatedCloudParam(const std::string& old_plain, const std::string& user,
                                             const std::string& password) {
  if (old_plain.empty()) {
    return nlohmann::json{{"user", user}, {"pwd", password}, {"login", true}}.dump();
  }
  nlohmann::json param = nlohmann::json::parse(old_plain, nullptr, /*allow_exceptions=*/false);
  if (!param.is_object()) return std::nullopt;
  if (Text(param, "user") == user && Text(param, "pwd") == password) return std::nullopt;
  param["user"] = user;
  param["pwd"] = password;
  return param.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

void CloudCredentialStore::Save(const std::string& user, const std::string& password) {
  try {
    platform::IniFile ini(home_.File(practice::kConfigIniName));
    const auto& section = practice::kSectionDatabase;
    if (ini.ReadInteger(section, practice::kKeyProtocol, 0) != kCloudProtocol) return;
    const std::string old_plain =
        practice::DecriptaHex(cipher_, ini.ReadString(section, practice::kKeyCloudParam, ""));
    const auto updated = UpdatedCloudParam(old_plain, user, password);
    if (!updated) return;
    ini.WriteString(section, practice::kKeyCloudParam, practice::CriptaHex(cipher_, *updated));
    log_.WriteLog("Account cloud " + user + " memorizzato in config.ini");
  } catch (const std::exception& e) {
    // The messages of the ini file and the cipher name files, never values.
    log_.WriteLog(std::string("Account cloud non memorizzato in config.ini: ") + e.what());
  }
}

}  // namespace oxsms::cloud
