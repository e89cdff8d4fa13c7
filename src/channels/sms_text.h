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

// The number as it goes on the wire, from the number as the patient wrote it
// (split by the recipient line into `Paese` and `Cellulare`): only '+' and
// digits are kept ("+39 (338) 015-9840" and "333 1234567 (mamma)" are
// numbers); a number that then begins with '+' carries its own country code,
// one that begins with "00" has it after the "00" ("0039 337 5218764" gives
// "+393375218764"), any other gets `Paese` in front as RecipientNumber
// does. The stored number is never changed: this is for the wire only.
std::string WireNumber(std::string_view paese, std::string_view cellulare);

// True when a wire number (WireNumber) can reach a telephone: '+' and 8 to 15
// digits, the international numbering limit with the country code. A number
// outside it ("+390", "+39333", 21 digits) makes the gateway refuse the whole
// batch, so such a line is left out before the batch goes.
bool IsDialable(std::string_view wire_number);

// The fewest and most digits of a dialable number, country code included.
inline constexpr std::size_t kMinNumberDigits = 8;
inline constexpr std::size_t kMaxNumberDigits = 15;

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

// The lines joined by CR LF, as a multi-line log entry; a CR or LF inside a
// line (patient data) is shown as a blank, so each line stays one log line.
std::string JoinLines(const std::vector<std::string>& lines);

}  // namespace oxsms::channels
