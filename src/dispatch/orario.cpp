#include "dispatch/orario.h"

#include <cctype>
#include <vector>

namespace oxsms::dispatch {
namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

[[noreturn]] void Invalid(std::string_view text) {
  throw ConversionError("'" + std::string(text) + "' non è un orario valido");
}

}  // namespace

platform::TDateTime StrToOrario(std::string_view text) {
  const std::string_view t = Trim(text);
  std::vector<int> parts;
  size_t pos = 0;
  while (true) {
    size_t end = pos;
    while (end < t.size() && std::isdigit(static_cast<unsigned char>(t[end]))) ++end;
    if (end == pos || end - pos > 2) Invalid(text);
    parts.push_back(std::stoi(std::string(t.substr(pos, end - pos))));
    if (end == t.size()) break;
    if (t[end] != '.') Invalid(text);
    pos = end + 1;
  }
  if (parts.size() < 2 || parts.size() > 3) Invalid(text);
  const int second = parts.size() == 3 ? parts[2] : 0;
  if (parts[0] > 23 || parts[1] > 59 || second > 59) Invalid(text);
  return platform::EncodeTime(parts[0], parts[1], second);
}

std::string OrarioToStr(platform::TDateTime time) { return platform::FormatTime(time, '.'); }

}  // namespace oxsms::dispatch
