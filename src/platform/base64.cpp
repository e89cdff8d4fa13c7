#include "platform/base64.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace oxsms::platform {
namespace {

constexpr char kAlphabet[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::size_t kLineLength = 76;

constexpr int kSkip = -2;
constexpr int kPad = -3;
constexpr int kInvalid = -1;

constexpr std::array<int, 256> MakeDecodeTable() {
  std::array<int, 256> table{};
  for (auto& v : table) v = kInvalid;
  for (int i = 0; i < 64; ++i) table[static_cast<unsigned char>(kAlphabet[i])] = i;
  table['\r'] = table['\n'] = table[' '] = table['\t'] = kSkip;
  table['='] = kPad;
  return table;
}
constexpr std::array<int, 256> kDecode = MakeDecodeTable();

void AppendQuantum(std::string& out, std::uint32_t group, int significant_bytes) {
  out += static_cast<char>((group >> 16) & 0xFF);
  if (significant_bytes > 1) out += static_cast<char>((group >> 8) & 0xFF);
  if (significant_bytes > 2) out += static_cast<char>(group & 0xFF);
}

}  // namespace

std::size_t Base64MimeSize(std::size_t byte_count, std::size_t line_break_size) {
  const std::size_t chars = (byte_count + 2) / 3 * 4;
  return chars + (chars == 0 ? 0 : (chars - 1) / kLineLength * line_break_size);
}

void AppendBase64Mime(std::string& out, std::string_view bytes, std::string_view line_break) {
  std::size_t line = 0;
  auto put = [&](char c) {
    if (line == kLineLength) {
      out += line_break;
      line = 0;
    }
    out += c;
    ++line;
  };
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
    std::uint32_t group = static_cast<unsigned char>(bytes[i]) << 16;
    if (n > 1) group |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    if (n > 2) group |= static_cast<unsigned char>(bytes[i + 2]);
    put(kAlphabet[(group >> 18) & 0x3F]);
    put(kAlphabet[(group >> 12) & 0x3F]);
    put(n > 1 ? kAlphabet[(group >> 6) & 0x3F] : '=');
    put(n > 2 ? kAlphabet[group & 0x3F] : '=');
  }
}

std::string EncodeBase64Mime(std::string_view bytes) {
  std::string out;
  out.reserve(Base64MimeSize(bytes.size(), 2));
  AppendBase64Mime(out, bytes, "\r\n");
  return out;
}

std::optional<std::string> TryDecodeBase64(std::string_view text) {
  std::string out;
  out.reserve(text.size() / 4 * 3);
  std::uint32_t group = 0;
  int digits = 0;   // alphabet characters in the current quantum
  int padding = 0;  // '=' seen; only whitespace and more '=' may follow
  for (const char c : text) {
    const int v = kDecode[static_cast<unsigned char>(c)];
    if (v == kSkip) continue;
    if (v == kInvalid) return std::nullopt;
    if (v == kPad) {
      // '=' may only stand for the third and fourth character of a quantum.
      if (digits < 2 || digits + padding >= 4) return std::nullopt;
      ++padding;
      continue;
    }
    if (padding > 0) return std::nullopt;
    group = (group << 6) | static_cast<std::uint32_t>(v);
    if (++digits == 4) {
      AppendQuantum(out, group, 3);
      group = 0;
      digits = 0;
    }
  }
  if (digits == 1) return std::nullopt;
  if (digits > 1) {
    group <<= 6 * (4 - digits);
    AppendQuantum(out, group, digits - 1);
  }
  return out;
}

std::string DecodeBase64(std::string_view text) {
  return TryDecodeBase64(text).value_or(std::string());
}

}  // namespace oxsms::platform
