#include "practice/local_config.h"

namespace oxsms::practice {

std::unique_ptr<platform::IniFile> ApriIniLocale(const platform::HomeFolder& home,
                                                 const std::string& file_name) {
  return std::make_unique<platform::IniFile>(
      home.File(file_name.empty() ? kConfigIniName : file_name));
}

std::string ComponiNomeDBLocale(const platform::HomeFolder& home, std::string host,
                                const std::string& path, int protoc, bool database_folder) {
  // The suite asks only from Windows 6 (Vista) on; every system this program
  // runs on is at least that.
  if (host.empty() && ApriIniLocale(home)->ReadBool(kSectionDatabase, kKeyUseLocalhost, false)) {
    host = "localhost";
    protoc = 0;
  }
  std::string result;
  if (!host.empty()) {
    if (protoc == 1) result = "\\\\";
    result += host;
    if (protoc == 1) result += "\\";
    if (protoc == 0) result += ":";
    if (protoc == 2) result += "@";
  }
  if (path.find_first_of("\\/") != std::string::npos) return result + path;
  return result + home.TextWithSeparator() + (database_folder ? "database\\" : "") + path;
}

}  // namespace oxsms::practice
