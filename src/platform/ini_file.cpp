#include "platform/ini_file.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/code_page.h"
#include "platform/error.h"

namespace oxsms::platform {
namespace {

std::string Trim(const std::string& s) {
  const auto first = s.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  const auto last = s.find_last_not_of(" \t");
  return s.substr(first, last - first + 1);
}

bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
           return std::tolower(x) == std::tolower(y);
         });
}

std::string Unquote(const std::string& v) {
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
    return v.substr(1, v.size() - 2);
  }
  return v;
}

}  // namespace

IniFile::IniFile(std::filesystem::path path) : path_(std::move(path)) {
  std::ifstream in(path_, std::ios::binary);
  if (!in) return;
  std::stringstream buffer;
  buffer << in.rdbuf();
  std::string content = ToUtf8Lenient(buffer.str());
  // Every byte-order mark at the start is a mark, not text: a file that
  // tools saved with a second one must not read differently once this class
  // has written it back (without any).
  while (content.rfind("\xEF\xBB\xBF", 0) == 0) content.erase(0, 3);

  std::string current;
  std::istringstream lines(content);
  std::string raw;
  while (std::getline(lines, raw)) {
    if (!raw.empty() && raw.back() == '\r') raw.pop_back();
    Line line;
    line.text = raw;
    const std::string t = Trim(raw);
    if (!t.empty() && t.front() == '[') {
      const auto close = t.find(']');
      line.is_section = true;
      line.section = Trim(t.substr(1, close == std::string::npos ? std::string::npos : close - 1));
      current = line.section;
    } else if (!t.empty() && t.front() != ';') {
      const auto eq = t.find('=');
      if (eq != std::string::npos) {
        line.is_key = true;
        line.section = current;
        line.key = Trim(t.substr(0, eq));
        line.value = Unquote(Trim(t.substr(eq + 1)));
      }
    }
    lines_.push_back(std::move(line));
  }
}

int IniFile::FindKey(const std::string& section, const std::string& key) const {
  for (size_t i = 0; i < lines_.size(); ++i) {
    const Line& l = lines_[i];
    if (l.is_key && SameName(l.section, section) && SameName(l.key, key)) return static_cast<int>(i);
  }
  return -1;
}

bool IniFile::SectionExists(const std::string& section) const {
  return std::any_of(lines_.begin(), lines_.end(), [&](const Line& l) {
    return l.is_section && SameName(l.section, section);
  });
}

bool IniFile::ValueExists(const std::string& section, const std::string& key) const {
  return FindKey(section, key) >= 0;
}

std::string IniFile::ReadString(const std::string& section, const std::string& key,
                                const std::string& default_value) const {
  const int i = FindKey(section, key);
  return i < 0 ? default_value : lines_[i].value;
}

long IniFile::ReadInteger(const std::string& section, const std::string& key,
                          long default_value) const {
  const std::string v = ReadString(section, key, "");
  if (v.empty()) return default_value;
  const bool hex = v.size() > 2 && v[0] == '0' && (v[1] == 'x' || v[1] == 'X');
  char* end = nullptr;
  const long n = std::strtol(hex ? v.c_str() + 2 : v.c_str(), &end, hex ? 16 : 10);
  return (end && *end == '\0') ? n : default_value;
}

bool IniFile::ReadBool(const std::string& section, const std::string& key,
                       bool default_value) const {
  const std::string v = ReadString(section, key, "");
  if (SameName(v, "true")) return true;
  if (SameName(v, "false")) return false;
  return ReadInteger(section, key, default_value ? 1 : 0) != 0;
}

void IniFile::WriteString(const std::string& section, const std::string& key,
                          const std::string& value) {
  if (value.find_first_of("\r\n") != std::string::npos) {
    throw DataError("Valore non valido per la chiave " + key);
  }
  const int i = FindKey(section, key);
  if (i >= 0) {
    Line& l = lines_[i];
    l.value = value;
    l.text = l.key + "=" + value;
  } else {
    Line entry;
    entry.is_key = true;
    entry.section = section;
    entry.key = key;
    entry.value = value;
    entry.text = key + "=" + value;
    // After the last key line of the section, or a new section at the end.
    int insert_at = -1;
    bool in_section = false;
    for (size_t k = 0; k < lines_.size(); ++k) {
      if (lines_[k].is_section) in_section = SameName(lines_[k].section, section);
      if (in_section && (lines_[k].is_section || lines_[k].is_key)) insert_at = static_cast<int>(k);
    }
    if (insert_at < 0) {
      Line header;
      header.is_section = true;
      header.section = section;
      header.text = "[" + section + "]";
      lines_.push_back(header);
      lines_.push_back(entry);
    } else {
      lines_.insert(lines_.begin() + insert_at + 1, entry);
    }
  }
  Save();
}

void IniFile::WriteInteger(const std::string& section, const std::string& key, long value) {
  WriteString(section, key, std::to_string(value));
}

void IniFile::WriteBool(const std::string& section, const std::string& key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

namespace {

Error WriteFailure(const std::filesystem::path& path) {
  return Error(ErrorCategory::kConfiguration, "Impossibile scrivere il file " + path.string());
}

}  // namespace

void IniFile::Save() const {
  // A link (the package's home links config.ini to /etc/oxsms) is written
  // through: renaming over it would replace the link by a file of its own.
  std::error_code ec;
  std::filesystem::path target = path_;
  if (std::filesystem::symlink_status(path_, ec).type() == std::filesystem::file_type::symlink) {
    target = std::filesystem::canonical(path_, ec);
    if (ec) throw WriteFailure(path_);
  }
  const std::filesystem::path temp = target.string() + ".tmp";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) throw WriteFailure(path_);
    for (const Line& l : lines_) out << l.text << "\r\n";
    out.flush();
    if (!out) throw WriteFailure(path_);
  }
  // The file holds passwords: the new one keeps the old one's permissions.
  const auto old_status = std::filesystem::status(target, ec);
  if (!ec && std::filesystem::exists(old_status)) {
    std::filesystem::permissions(temp, old_status.permissions(), ec);
  }
  std::filesystem::rename(temp, target, ec);
  if (ec) {
    std::filesystem::remove(temp, ec);
    throw WriteFailure(path_);
  }
}

}  // namespace oxsms::platform
