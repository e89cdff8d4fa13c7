#include "channels/sms_text.h"

#include "platform/code_page.h"

namespace oxsms::channels {

std::string RecipientNumber(std::string_view paese, std::string_view cellulare) {
  std::string number;
  if (paese.empty()) {
    number = "+39";
  } else if (paese.front() != '+') {
    number = "+";
    number += paese;
  } else {
    number = paese;
  }
  number += cellulare;
  return number;
}

std::size_t TextLength(std::string_view text) { return platform::Utf8ToUtf16(text).size(); }

std::string CutText(std::string_view text, std::size_t max_chars) {
  std::u16string units = platform::Utf8ToUtf16(text);
  if (units.size() <= max_chars) return std::string(text);
  units.resize(max_chars);
  if (!units.empty() && units.back() >= 0xD800 && units.back() <= 0xDBFF) units.pop_back();
  return platform::Utf16ToUtf8(units);
}

int32_t CreditsFor(std::string_view text) {
  const std::size_t length = TextLength(text);
  return static_cast<int32_t>((length + kCharsPerCredit - 1) / kCharsPerCredit);
}

std::string FixedField(std::string_view text, std::size_t width) {
  std::string field = CutText(text, width);
  const std::size_t length = TextLength(field);
  if (length < width) field.append(width - length, ' ');
  return field;
}

namespace {

std::string PlusAndDigits(std::string_view text) {
  std::string kept;
  for (char c : text) {
    if (c == '+' || (c >= '0' && c <= '9')) kept += c;
  }
  return kept;
}

}  // namespace

std::string WireNumber(std::string_view paese, std::string_view cellulare) {
  const std::string number = PlusAndDigits(cellulare);
  if (number.starts_with('+')) return number;
  if (number.starts_with("00")) return "+" + number.substr(2);
  return PlusAndDigits(RecipientNumber(paese, number));
}

bool IsDialable(std::string_view wire_number) {
  if (!wire_number.starts_with('+')) return false;
  const std::string_view digits = wire_number.substr(1);
  if (digits.size() < kMinNumberDigits || digits.size() > kMaxNumberDigits) return false;
  for (char c : digits) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

std::string SingleLine(std::string_view text) {
  std::string line(text);
  for (char& c : line) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return line;
}

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) text += "\r\n";
    text += SingleLine(lines[i]);
  }
  return text;
}

}  // namespace oxsms::channels
