#include "practice/agenda_lines.h"

#include <algorithm>
#include <cctype>

namespace oxsms::practice {
namespace {

constexpr std::size_t kMaxTableNameLength = 63;
constexpr std::size_t kMaxLoggedNameLength = 80;

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::string TableOfAgendaLine(std::string_view line) {
  const auto first = line.find('=');
  if (first == std::string_view::npos) return std::string(line);
  const auto rest = line.substr(first + 1);
  return std::string(rest.substr(0, rest.find('=')));
}

bool IsPlainTableName(std::string_view name) {
  if (name.empty() || name.size() > kMaxTableNameLength) return false;
  if (!IsAsciiLetter(name.front())) return false;
  return std::all_of(name.begin(), name.end(),
                     [](char c) { return IsAsciiLetter(c) || IsAsciiDigit(c) || c == '_'; });
}

std::string PrintableName(std::string_view name) {
  std::string out(name.substr(0, kMaxLoggedNameLength));
  for (char& c : out) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
  }
  if (name.size() > kMaxLoggedNameLength) out += "...";
  return out;
}

std::string NameOfEntry(std::string_view entry) {
  return std::string(entry.substr(0, entry.find('=')));
}

std::string ValueOfEntry(std::string_view entry) {
  const auto eq = entry.find('=');
  return eq == std::string_view::npos ? std::string() : std::string(entry.substr(eq + 1));
}

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const auto end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) {
      lines.emplace_back(text.substr(start));
      break;
    }
    lines.emplace_back(text.substr(start, end - start));
    start = end + 1;
    if (text[end] == '\r' && start < text.size() && text[start] == '\n') ++start;
  }
  return lines;
}

std::string TrimBlanks(std::string_view text) {
  auto is_blank = [](char c) { return static_cast<unsigned char>(c) <= 0x20; };
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && is_blank(text[begin])) ++begin;
  while (end > begin && is_blank(text[end - 1])) --end;
  return std::string(text.substr(begin, end - begin));
}

std::string WithoutTrailingBlanks(std::string text) {
  const auto last = text.find_last_not_of(' ');
  text.erase(last == std::string::npos ? 0 : last + 1);
  return text;
}

bool SameTextIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
           return std::tolower(x) == std::tolower(y);
         });
}

}  // namespace oxsms::practice
