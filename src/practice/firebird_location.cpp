#include "practice/firebird_location.h"

namespace oxsms::practice {

bool NamesServer(std::string_view text) {
  if (text.substr(0, 2) == "\\\\") return text.size() > 2 && text[2] != '\\';
  const auto at = text.find('@');
  const auto colon = text.find(':');
  if (at != std::string_view::npos && (colon == std::string_view::npos || at < colon)) {
    return at > 0;
  }
  if (colon == std::string_view::npos) return false;
  // A single letter before ":" is a drive letter.
  return colon > 1;
}

}  // namespace oxsms::practice
