// A profile file ("config.ini") read and written by the rules of the Windows
// profile API, which the suite's desktop programs use on the same file:
//  - section and key names are matched without regard to letter case;
//  - a line whose first non-blank character is ';' is a comment; a ';' later
//    in a line is part of the value;
//  - blanks around names and values are dropped, and one pair of matching
//    quotes around a whole value is removed; the rest of the value is kept whole;
//  - the first occurrence of a section or key wins.
// Writing keeps every other line of the file as it was (comments included)
// and replaces the file atomically, so a crash never leaves half a file; a
// file reached through a symbolic link is replaced where the link points
// (the link stays), with the old file's permissions.
// Text is kept as UTF-8; a file in Windows-1252 is converted when read.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "platform/error.h"

namespace oxsms::platform {

class IniFile {
 public:
  // Loads the file when it exists; a missing file reads as empty.
  explicit IniFile(std::filesystem::path path);

  const std::filesystem::path& path() const { return path_; }

  bool SectionExists(const std::string& section) const;
  bool ValueExists(const std::string& section, const std::string& key) const;

  std::string ReadString(const std::string& section, const std::string& key,
                         const std::string& default_value) const;
  // A value that is not a whole decimal (or 0x hexadecimal) number gives the default.
  long ReadInteger(const std::string& section, const std::string& key, long default_value) const;
  // "0" is false, any other number true; "true"/"false" in any case are accepted.
  bool ReadBool(const std::string& section, const std::string& key, bool default_value) const;

  // Changes the value in memory and writes the file at once. Raises
  // DataError for a value holding CR or LF, and Error (kConfiguration) when
  // the file cannot be written.
  void WriteString(const std::string& section, const std::string& key, const std::string& value);
  void WriteInteger(const std::string& section, const std::string& key, long value);
  void WriteBool(const std::string& section, const std::string& key, bool value);

 private:
  struct Line {
    std::string text;     // the line as it stands in the file
    std::string section;  // set on section headers
    std::string key;      // set on key lines
    std::string value;
    bool is_section = false;
    bool is_key = false;
  };

  // Index of the value line, or -1.
  int FindKey(const std::string& section, const std::string& key) const;
  void Save() const;

  std::filesystem::path path_;
  std::vector<Line> lines_;
};

}  // namespace oxsms::platform
