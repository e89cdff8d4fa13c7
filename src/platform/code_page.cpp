#include "platform/code_page.h"

#include <array>

namespace oxsms::platform {
namespace {

// Windows-1252 bytes 0x80..0x9F.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// Decodes one UTF-8 sequence at text[i]; advances i. Returns false (and
// consumes one byte) on an invalid sequence.
bool DecodeUtf8(std::string_view text, size_t& i, char32_t& cp) {
  const auto b0 = static_cast<unsigned char>(text[i]);
  int extra = 0;
  char32_t min = 0;
  if (b0 < 0x80) {
    cp = b0;
    ++i;
    return true;
  } else if ((b0 & 0xE0) == 0xC0) {
    extra = 1, cp = b0 & 0x1F, min = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    extra = 2, cp = b0 & 0x0F, min = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    extra = 3, cp = b0 & 0x07, min = 0x10000;
  } else {
    ++i;
    return false;
  }
  if (i + extra >= text.size()) {
    ++i;
    return false;
  }
  for (int k = 1; k <= extra; ++k) {
    const auto b = static_cast<unsigned char>(text[i + k]);
    if ((b & 0xC0) != 0x80) {
      ++i;
      return false;
    }
    cp = (cp << 6) | (b & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    ++i;
    return false;
  }
  i += extra + 1;
  return true;
}

}  // namespace

char16_t Cp1252ByteToUtf16(unsigned char byte) {
  if (byte >= 0x80 && byte <= 0x9F) return kHighControls[byte - 0x80];
  return byte;
}

bool Utf16ToCp1252Byte(char16_t unit, unsigned char* byte) {
  if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) {
    *byte = static_cast<unsigned char>(unit);
    return true;
  }
  for (size_t k = 0; k < kHighControls.size(); ++k) {
    if (kHighControls[k] == unit) {
      *byte = static_cast<unsigned char>(0x80 + k);
      return true;
    }
  }
  return false;
}

std::string Cp1252ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 8);
  for (char c : bytes) AppendUtf8(out, Cp1252ByteToUtf16(static_cast<unsigned char>(c)));
  return out;
}

std::string Utf8ToCp1252(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    char32_t cp = 0;
    unsigned char byte = '?';
    if (DecodeUtf8(text, i, cp) && cp <= 0xFFFF &&
        Utf16ToCp1252Byte(static_cast<char16_t>(cp), &byte)) {
      out += static_cast<char>(byte);
    } else {
      out += '?';
    }
  }
  return out;
}

bool IsValidUtf8(std::string_view bytes) {
  size_t i = 0;
  char32_t cp = 0;
  while (i < bytes.size()) {
    if (!DecodeUtf8(bytes, i, cp)) return false;
  }
  return true;
}

std::string ToUtf8Lenient(std::string_view bytes) {
  return IsValidUtf8(bytes) ? std::string(bytes) : Cp1252ToUtf8(bytes);
}

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    char32_t cp = 0;
    if (!DecodeUtf8(text, i, cp)) cp = 0xFFFD;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (cp >> 10));
      out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t cp = text[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    AppendUtf8(out, cp);
  }
  return out;
}

}  // namespace oxsms::platform
