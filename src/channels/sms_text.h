// Text rules of the SMS channel: recipient numbers, message length and
// credits, fixed-width fields. Lengths count UTF-16 code units, as the
// gateway and the suite's desktop programs count characters.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace oxsms::channels {

// Characters per SMS credit, and the longest text sent (three credits).
inline constexpr std::size_t kCharsPerCredit = 160;
inline constexpr std::size_t kMaxMessageChars = 480;

// The number in international form: "+39" in front when `Paese` is empty,
// "+" and `Paese` when `Paese` does not begin with "+", else `Paese` as is.
std::string RecipientNumber(std::string_view paese, std::string_view cellulare);

// True when the number left after the cleaning of the recipient line is made
// of digits only. A number like "(349)1949947" cannot be dialled, and the
// gateway would refuse the whole batch because of it.
bool IsDialable(std::string_view cellulare);

// The length of a UTF-8 text in UTF-16 code units.
std::size_t TextLength(std::string_view text);

// The first `max_chars` characters of a UTF-8 text; a surrogate pair is never
// split (the cut then keeps one character less).
std::string CutText(std::string_view text, std::size_t max_chars);

// Credits of one message: one per started 160 characters, 0 for an empty text.
int32_t CreditsFor(std::string_view text);

// The text left-aligned in a field of exactly `width` characters: cut when
// longer, padded with blanks when shorter.
std::string FixedField(std::string_view text, std::size_t width);

// The text with every CR and LF turned into a blank, so that it cannot start
// a new line of a line-oriented upload.
std::string SingleLine(std::string_view text);

// The lines joined by CR LF, as a multi-line log entry.
std::string JoinLines(const std::vector<std::string>& lines);

}  // namespace oxsms::channels
