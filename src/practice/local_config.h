// The local configuration file "config.ini" in the executable's folder: its
// keys that name databases, and the database names composed from it.
#pragma once

#include <memory>
#include <string>

#include "platform/home_folder.h"
#include "platform/ini_file.h"

namespace oxsms::practice {

inline constexpr const char* kConfigIniName = "config.ini";
inline constexpr const char* kSectionDatabase = "Database";
inline constexpr const char* kSectionDatabaseAg = "Database Ag";

// Keys of the sections "Database" and "Database Ag".
inline constexpr const char* kKeyFile = "File";
inline constexpr const char* kKeyHost = "host";
inline constexpr const char* kKeyProtocol = "protocollo";
inline constexpr const char* kKeyUser = "User";
inline constexpr const char* kKeyPassword = "pwd";
inline constexpr const char* kKeyPort = "ruolo";
inline constexpr const char* kKeyCloud = "cloud";
inline constexpr const char* kKeyCloudParam = "cloud_param";
inline constexpr const char* kKeyUseLocalhost = "uselocalhost";
inline constexpr const char* kKeyAdministrator = "AdminVelk";

inline constexpr const char* kDefaultConfigFile = "CONFIG.GDB";
inline constexpr const char* kDefaultUser = "SYSDBA";

// `ApriIniLocale`: the profile file `file_name` in the executable's folder,
// "config.ini" when no name is given. A missing file reads as empty.
std::unique_ptr<platform::IniFile> ApriIniLocale(const platform::HomeFolder& home,
                                                 const std::string& file_name = "");

// `ComponiNomeDBLocale`: the Firebird database name of a file of the suite's
// folder layout. An empty host becomes "localhost" (protocol 0) when
// "uselocalhost" of section "Database" is true. With a host, protocol 1 gives
// "\\host\path", 0 "host:path", 2 "host@path" (any other code puts the host
// directly before the path). A path without "\" or "/" lies in the
// executable's folder, under "database\" when `database_folder` is set.
std::string ComponiNomeDBLocale(const platform::HomeFolder& home, std::string host,
                                const std::string& path, int protoc, bool database_folder);

}  // namespace oxsms::practice
