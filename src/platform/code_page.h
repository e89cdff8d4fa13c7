// Conversions between the Windows-1252 code page, UTF-16 code units and the
// UTF-8 text the program keeps internally.
#pragma once

#include <string>
#include <string_view>

namespace oxsms::platform {

// The UTF-16 code unit of one Windows-1252 byte. The five bytes the code page
// leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the same-valued C1
// control, as the Windows conversion does.
char16_t Cp1252ByteToUtf16(unsigned char byte);

// The Windows-1252 byte of a UTF-16 code unit; false when the code page has none.
bool Utf16ToCp1252Byte(char16_t unit, unsigned char* byte);

// Windows-1252 bytes to UTF-8 text.
std::string Cp1252ToUtf8(std::string_view bytes);

// UTF-8 text to Windows-1252 bytes. A character outside the code page becomes
// '?', as the platform's best-fit-free conversion does.
std::string Utf8ToCp1252(std::string_view text);

// True when the bytes form valid UTF-8 (overlong forms and surrogates refused).
bool IsValidUtf8(std::string_view bytes);

// Text read from a file or a database whose encoding is not known for sure:
// kept when it is valid UTF-8, else taken as Windows-1252.
std::string ToUtf8Lenient(std::string_view bytes);

// UTF-8 to UTF-16 and back; invalid input sequences become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

}  // namespace oxsms::platform
