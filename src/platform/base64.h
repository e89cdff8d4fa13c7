// Base64 in the MIME layout used for every encoded text the program exchanges:
// the standard alphabet (A-Z a-z 0-9 + /, '=' padding), lines of at most 76
// characters separated by CR LF.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace oxsms::platform {

// Encodes bytes; a text is encoded by passing its UTF-8 bytes. Lines of 76
// characters are joined by CR LF; there is no line break after the last line.
// Empty input gives an empty result.
std::string EncodeBase64Mime(std::string_view bytes);

// As EncodeBase64Mime, appended to `out`, with the lines joined by
// `line_break` instead of CR LF: the encoding can be written straight into a
// text where CR LF has to appear escaped.
void AppendBase64Mime(std::string& out, std::string_view bytes, std::string_view line_break);
// The size of that encoding of `byte_count` bytes.
std::size_t Base64MimeSize(std::size_t byte_count, std::size_t line_break_size);

// Decodes Base64 text, ignoring CR, LF, blanks and tabs wherever they occur.
// Accepts a last quantum with or without its '=' padding. Returns nullopt when
// the text holds any other character outside the alphabet, padding anywhere
// but at the end, or a dangling single character. Empty input gives "".
std::optional<std::string> TryDecodeBase64(std::string_view text);

// As TryDecodeBase64, but invalid input gives an empty result: callers treat
// an empty value as "no value", as with any missing setting.
std::string DecodeBase64(std::string_view text);

}  // namespace oxsms::platform
