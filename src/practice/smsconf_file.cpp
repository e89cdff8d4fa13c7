#include "practice/smsconf_file.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>

#include "platform/code_page.h"
#include "platform/error.h"

namespace oxsms::practice {
namespace {

constexpr std::size_t kHostOffset = 2;
constexpr std::size_t kHostCapacity = 30;
constexpr std::size_t kPathOffset = 33;
constexpr std::size_t kPathCapacity = 80;

// A short string: a length byte followed by a field of `capacity` bytes.
std::string ShortString(std::string_view record, std::size_t offset, std::size_t capacity) {
  const std::size_t length =
      std::min<std::size_t>(static_cast<unsigned char>(record[offset]), capacity);
  return platform::Cp1252ToUtf8(record.substr(offset + 1, length));
}

[[noreturn]] void CannotRead(const std::filesystem::path& file) {
  throw platform::Error(platform::ErrorCategory::kConfiguration,
                        "Impossibile leggere " + file.string());
}

}  // namespace

std::vector<SmsConfRecord> ParseSmsConf(std::string_view bytes) {
  std::vector<SmsConfRecord> records;
  for (std::size_t at = 0; at + kSmsConfRecordSize <= bytes.size(); at += kSmsConfRecordSize) {
    const auto record = bytes.substr(at, kSmsConfRecordSize);
    const auto flag = static_cast<int16_t>(static_cast<unsigned char>(record[0]) |
                                           (static_cast<unsigned char>(record[1]) << 8));
    SmsConfRecord r;
    r.switched_off = flag == 1;
    r.host = ShortString(record, kHostOffset, kHostCapacity);
    r.path = ShortString(record, kPathOffset, kPathCapacity);
    records.push_back(std::move(r));
  }
  return records;
}

std::optional<std::vector<SmsConfRecord>> ReadSmsConf(const std::filesystem::path& file) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(file, ec)) return std::nullopt;
  std::ifstream in(file, std::ios::binary);
  if (!in) CannotRead(file);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) CannotRead(file);
  return ParseSmsConf(bytes);
}

}  // namespace oxsms::practice
