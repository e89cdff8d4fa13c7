// The folder that holds config.ini, sms.log and the other side files of the
// service: the executable's own folder, unless the command line names another.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace oxsms::platform {

class HomeFolder {
 public:
  explicit HomeFolder(std::filesystem::path dir);
  // The folder of the running executable.
  static HomeFolder OfExecutable();

  const std::filesystem::path& dir() const { return dir_; }
  std::filesystem::path File(std::string_view name) const { return dir_ / name; }
  // The folder as text with a trailing separator, as database names are
  // composed from it ("<folder>database\agenda.fdb").
  std::string TextWithSeparator() const;

 private:
  std::filesystem::path dir_;
};

// Database paths are kept in the suite's text form with "\" separators (they
// are shared with Windows programs); on this platform a file is opened with
// the separators converted.
std::string ToNativePath(std::string_view text);

}  // namespace oxsms::platform
