#include "practice/settings_profile.h"

#include <cerrno>
#include <cstdlib>

#include "platform/code_page.h"
#include "practice/agenda_lines.h"

namespace oxsms::practice {
namespace {

std::string Unquoted(std::string value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

}  // namespace

SettingsProfile::SettingsProfile(std::string_view bytes) {
  std::string text = platform::ToUtf8Lenient(bytes);
  if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);
  Section* current = nullptr;
  for (const auto& raw : SplitLines(text)) {
    const std::string line = TrimBlanks(raw);
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      const auto close = line.find(']');
      const std::string name = TrimBlanks(line.substr(1, close == std::string::npos
                                                                ? std::string::npos
                                                                : close - 1));
      current = Find(name) ? nullptr : &sections_.emplace_back(Section{name, {}});
      continue;
    }
    if (current == nullptr) continue;
    const auto eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string key = TrimBlanks(line.substr(0, eq));
    if (key.empty()) continue;
    bool known = false;
    for (const auto& e : current->entries) known = known || SameTextIgnoringCase(e.key, key);
    if (!known) current->entries.push_back({key, Unquoted(TrimBlanks(line.substr(eq + 1)))});
  }
}

const SettingsProfile::Section* SettingsProfile::Find(std::string_view section) const {
  for (const auto& s : sections_) {
    if (SameTextIgnoringCase(s.name, section)) return &s;
  }
  return nullptr;
}

std::vector<std::string> SettingsProfile::SectionValues(std::string_view section) const {
  std::vector<std::string> lines;
  if (const Section* s = Find(section)) {
    for (const auto& e : s->entries) lines.push_back(e.key + "=" + e.value);
  }
  return lines;
}

long SettingsProfile::ReadInteger(std::string_view section, std::string_view key,
                                  long default_value) const {
  const Section* s = Find(section);
  if (s == nullptr) return default_value;
  for (const auto& e : s->entries) {
    if (!SameTextIgnoringCase(e.key, key)) continue;
    if (e.value.empty()) return default_value;
    errno = 0;
    char* end = nullptr;
    const long value = std::strtol(e.value.c_str(), &end, 10);
    return (errno != 0 || *end != '\0') ? default_value : value;
  }
  return default_value;
}

}  // namespace oxsms::practice
