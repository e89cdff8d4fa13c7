// The settings document of an agenda database: the binary field
// `Impostazioni` of table `IMPOSTAZIONI`, an INI text read by the rules of the
// Windows profile files (as platform::IniFile reads "config.ini": names
// matched without regard to case, ';' at the start of a line is a comment,
// blanks around names and values dropped, one pair of matching quotes around
// a value removed, the first occurrence of a section or key wins). It is read
// in memory: no scratch file is written.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace oxsms::practice {

class SettingsProfile {
 public:
  // Bytes in UTF-8 or Windows-1252 (taken as Windows-1252 when not UTF-8).
  explicit SettingsProfile(std::string_view bytes);

  // The "key=value" lines of a section, in their order, each key once (its
  // first occurrence). Lines without "=" are not values. Empty for a missing
  // section.
  std::vector<std::string> SectionValues(std::string_view section) const;

  // A value that is missing or not a whole decimal number gives the default.
  long ReadInteger(std::string_view section, std::string_view key, long default_value) const;

 private:
  struct Entry {
    std::string key;
    std::string value;
  };
  struct Section {
    std::string name;
    std::vector<Entry> entries;
  };
  const Section* Find(std::string_view section) const;

  std::vector<Section> sections_;
};

}  // namespace oxsms::practice
