// The registry where there is none: a read-only text file, by default
// "registry.ini" in the home folder, that holds the keys the service would
// find in the Windows registry. The service never writes it; an operator
// writes it by hand when migrating an installation.
//
// Format (UTF-8, lines ended by LF or CR LF):
//
//   ; comment (also '#'), blank lines ignored
//   [HKEY_LOCAL_MACHINE\Software\Velk Software\Odontix\SmsSvcParam]
//   User=studio.rossi
//   Time=11.30
//   CBSms=dword:00000001
//   2=dword:00000003
//   TestoInvio="Gentile <Nome>,\r\nle ricordiamo l'appuntamento"
//   [HKEY_CURRENT_USER\Software\Velk Software\Odontix\SmsSvcParam]
//   User=mario
//
// - A section names a hive and a key path: the hive is HKEY_LOCAL_MACHINE
//   (or HKLM) or HKEY_CURRENT_USER (or HKCU); the path is matched without
//   regard to letter case. A key exists when a section names it or a key
//   below it.
// - "name=value": blanks around name and value are dropped; the name may
//   stand in double quotes; names are matched without regard to case, and
//   the first line of a name wins.
// - "dword:" followed by one to eight hexadecimal digits is an integer value
//   (32 bits, so ffffffff is -1). Anything else is a string value.
// - A string in double quotes keeps its blanks and takes the escapes \\, \",
//   \r, \n and \t (for texts of several lines, or that begin with "dword:");
//   an unquoted string is taken as it stands.
// - A "dword:" value with bad digits, or a quoted string with a bad escape or
//   no closing quote, exists but reads as neither type.
//
// The file is read afresh each time a key is opened; a missing or unreadable
// file holds no keys.
#pragma once

#include <filesystem>

#include "platform/registry.h"

namespace oxsms::platform {

class FileRegistry : public Registry {
 public:
  static constexpr const char* kDefaultFileName = "registry.ini";

  explicit FileRegistry(std::filesystem::path file);

  const std::filesystem::path& file() const { return file_; }

  std::unique_ptr<RegistryKey> OpenKeyReadOnly(RegistryHive hive,
                                               const std::string& path) const override;

 private:
  std::filesystem::path file_;
};

}  // namespace oxsms::platform
