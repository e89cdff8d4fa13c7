#include "practice/credential_protection.h"

#include <optional>

#include "platform/code_page.h"

namespace oxsms::practice {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

void AppendHexByte(std::string& out, unsigned value) {
  out += kHexDigits[(value >> 4) & 0xF];
  out += kHexDigits[value & 0xF];
}

// Ciphertext bytes -> hex of the UTF-16LE memory of their code-page text.
std::string BytesToHexForm(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() * 4);
  for (const char b : bytes) {
    const char16_t unit = platform::Cp1252ByteToUtf16(static_cast<unsigned char>(b));
    AppendHexByte(out, unit & 0xFF);
    AppendHexByte(out, unit >> 8);
  }
  return out;
}

// Inverse of BytesToHexForm; nullopt unless the input is whole groups of four
// hex digits, each the code unit of some code-page byte.
std::optional<std::string> HexFormToBytes(std::string_view hex) {
  if (hex.size() % 4 != 0) return std::nullopt;
  std::string bytes;
  bytes.reserve(hex.size() / 4);
  for (std::size_t i = 0; i < hex.size(); i += 4) {
    unsigned unit = 0;
    // Digits i, i+1 are the low memory byte; i+2, i+3 the high one.
    constexpr int kShift[4] = {4, 0, 12, 8};
    for (int k = 0; k < 4; ++k) {
      const int v = HexValue(hex[i + k]);
      if (v < 0) return std::nullopt;
      unit |= static_cast<unsigned>(v) << kShift[k];
    }
    unsigned char byte = 0;
    if (!platform::Utf16ToCp1252Byte(static_cast<char16_t>(unit), &byte)) return std::nullopt;
    bytes += static_cast<char>(byte);
  }
  return bytes;
}

std::string DecryptToText(CredentialCipher& cipher, std::string_view sealed) {
  std::optional<std::string> plain = cipher.Decrypt(sealed);
  return plain ? platform::Cp1252ToUtf8(*plain) : std::string();
}

std::string QuoteSqlLiteral(std::string_view text) {
  if (text.find('\\') != std::string_view::npos || text.find('\0') != std::string_view::npos)
    throw CredentialError("Chiave anagrafica non valida: contiene caratteri non ammessi");
  std::string out = "'";
  for (const char c : text) {
    if (c == '\'') out += '\'';
    out += c;
  }
  out += '\'';
  return out;
}

}  // namespace

std::string CriptaHex(CredentialCipher& cipher, std::string_view text) {
  if (text.empty()) return {};
  return BytesToHexForm(cipher.Encrypt(platform::Utf8ToCp1252(text)));
}

std::string DecriptaHex(CredentialCipher& cipher, std::string_view hex) {
  if (hex.empty()) return {};
  std::optional<std::string> sealed = HexFormToBytes(hex);
  return sealed ? DecryptToText(cipher, *sealed) : std::string();
}

std::string Cripta(CredentialCipher& cipher, std::string_view text) {
  if (text.empty()) return {};
  return platform::Cp1252ToUtf8(cipher.Encrypt(platform::Utf8ToCp1252(text)));
}

std::string Decripta(CredentialCipher& cipher, std::string_view text) {
  if (text.empty()) return {};
  // A character no ciphertext byte maps to becomes '?', which then fails the
  // authentication: the result is empty, as for any damaged value.
  return DecryptToText(cipher, platform::Utf8ToCp1252(text));
}

const std::string& ColumnKeyCache::Get(std::string_view plain_key) {
  // An exception leaves the flag unset, so a corrected key is tried again.
  std::call_once(once_, [&] { quoted_ = QuoteSqlLiteral(plain_key); });
  return quoted_;
}

const std::string& ChiaveAnagrafica(const platform::Installation& installation) {
  static ColumnKeyCache cache;
  return cache.Get(installation.column_key);
}

}  // namespace oxsms::practice
