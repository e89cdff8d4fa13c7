#include "email/email_address.h"

#include <string>

#include "platform/code_page.h"

namespace oxsms::email {
namespace {

enum class State { kStart, kAtom, kQuoted, kQuotedChar, kQuoteClosed, kLocalDot, kExpectLabel,
                   kLabel, kHyphen, kStopped };

bool IsAtom(char32_t c) {
  if (c < 33 || c > 255 || c == 127) return false;
  for (char special : std::string_view("()<>@,;:\\/\".[]")) {
    if (c == static_cast<unsigned char>(special)) return false;
  }
  return true;
}

bool IsLetter(char32_t c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsDigit(char32_t c) { return c >= '0' && c <= '9'; }

State Next(State state, char32_t c) {
  switch (state) {
    case State::kStart:
    case State::kLocalDot:
      if (IsAtom(c)) return State::kAtom;
      if (c == '"') return State::kQuoted;
      break;
    case State::kAtom:
      if (c == '@') return State::kExpectLabel;
      if (c == '.') return State::kLocalDot;
      if (IsAtom(c)) return State::kAtom;
      break;
    case State::kQuoted:
      if (c == '\\') return State::kQuotedChar;
      if (c == '"') return State::kQuoteClosed;
      if (c <= 255 && c != '\r') return State::kQuoted;
      break;
    case State::kQuotedChar:
      return State::kQuoted;
    case State::kQuoteClosed:
      if (c == '@') return State::kExpectLabel;
      if (c == '.') return State::kLocalDot;
      break;
    case State::kExpectLabel:
      if (IsLetter(c)) return State::kLabel;
      break;
    case State::kLabel:
      if (c == '.') return State::kExpectLabel;
      if (c == '-') return State::kHyphen;
      if (IsLetter(c) || IsDigit(c)) return State::kLabel;
      break;
    case State::kHyphen:
      if (IsLetter(c) || IsDigit(c)) return State::kLabel;
      if (c == '-') return State::kHyphen;
      break;
    case State::kStopped:
      break;
  }
  return State::kStopped;
}

// The code points of valid UTF-8 (surrogate pairs joined).
std::u32string CodePoints(std::string_view text) {
  const std::u16string units = platform::Utf8ToUtf16(text);
  std::u32string points;
  for (std::size_t i = 0; i < units.size(); ++i) {
    char32_t c = units[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < units.size()) {
      c = 0x10000 + ((c - 0xD800) << 10) + (units[++i] - 0xDC00);
    }
    points.push_back(c);
  }
  return points;
}

}  // namespace

bool EmailValida(std::string_view text) {
  if (!platform::IsValidUtf8(text)) return false;
  State state = State::kStart;
  int labels = 0;
  for (char32_t c : CodePoints(text)) {
    state = Next(state, c);
    if (state == State::kStopped) return false;
    if (state == State::kExpectLabel) ++labels;
  }
  return state == State::kLabel && labels >= 2;
}

}  // namespace oxsms::email
