// "smsconf.bin": the optional list of additional agenda databases beside the
// executable, fixed records of 114 bytes from the start of the file:
//   offset 0, 2 bytes: 16-bit signed little-endian flag, 1 = switched off;
//   offset 2, 31 bytes: length byte (0..30) and 30 bytes of host text;
//   offset 33, 81 bytes: length byte (0..80) and 80 bytes of database path.
// Texts are in the Windows-1252 code page; an empty host means local.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace oxsms::practice {

inline constexpr std::size_t kSmsConfRecordSize = 114;
inline constexpr const char* kSmsConfFileName = "smsconf.bin";

struct SmsConfRecord {
  bool switched_off = false;
  std::string host;  // UTF-8
  std::string path;  // UTF-8
};

// The records of the file's bytes, in order. A length byte beyond its field
// is cut to the field. Bytes after the last whole record are ignored.
std::vector<SmsConfRecord> ParseSmsConf(std::string_view bytes);

// The records of the file; nullopt when the file does not exist. Raises
// platform::Error (configuration) when it exists but cannot be read.
std::optional<std::vector<SmsConfRecord>> ReadSmsConf(const std::filesystem::path& file);

}  // namespace oxsms::practice
