#include "platform/registry_file.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>

#include "platform/code_page.h"

namespace oxsms::platform {
namespace {

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

std::string Trim(const std::string& s) {
  const auto first = s.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  const auto last = s.find_last_not_of(" \t");
  return s.substr(first, last - first + 1);
}

// A key path compared as the registry does: no case, no separator at either end.
std::string NormalisedPath(std::string path) {
  path = Lower(std::move(path));
  while (!path.empty() && path.front() == '\\') path.erase(0, 1);
  while (!path.empty() && path.back() == '\\') path.pop_back();
  return path;
}

std::optional<RegistryHive> HiveOf(const std::string& name) {
  const std::string n = Lower(name);
  if (n == "hkey_local_machine" || n == "hklm") return RegistryHive::kLocalMachine;
  if (n == "hkey_current_user" || n == "hkcu") return RegistryHive::kCurrentUser;
  return std::nullopt;
}

struct Value {
  enum class Type { kString, kInteger, kUnreadable } type = Type::kUnreadable;
  std::string text;
  int32_t number = 0;
};

std::optional<std::string> Unescape(const std::string& quoted) {
  if (quoted.size() < 2 || quoted.back() != '"') return std::nullopt;
  std::string out;
  for (size_t i = 1; i + 1 < quoted.size(); ++i) {
    char c = quoted[i];
    if (c == '"') return std::nullopt;  // a lone quote inside the text
    if (c == '\\') {
      if (i + 2 >= quoted.size()) return std::nullopt;
      switch (quoted[++i]) {
        case '\\': c = '\\'; break;
        case '"': c = '"'; break;
        case 'r': c = '\r'; break;
        case 'n': c = '\n'; break;
        case 't': c = '\t'; break;
        default: return std::nullopt;
      }
    }
    out += c;
  }
  return out;
}

Value ParseValue(const std::string& text) {
  Value v;
  if (Lower(text.substr(0, 6)) == "dword:") {
    const std::string digits = text.substr(6);
    const bool ok = !digits.empty() && digits.size() <= 8 &&
                    std::all_of(digits.begin(), digits.end(),
                                [](unsigned char c) { return std::isxdigit(c) != 0; });
    if (ok) {
      v.type = Value::Type::kInteger;
      v.number = static_cast<int32_t>(static_cast<uint32_t>(std::stoul(digits, nullptr, 16)));
    }
    return v;
  }
  if (!text.empty() && text.front() == '"') {
    if (auto s = Unescape(text)) {
      v.type = Value::Type::kString;
      v.text = std::move(*s);
    }
    return v;
  }
  v.type = Value::Type::kString;
  v.text = text;
  return v;
}

class FileRegistryKey : public RegistryKey {
 public:
  explicit FileRegistryKey(std::map<std::string, Value> values) : values_(std::move(values)) {}

  bool ValueExists(const std::string& name) const override {
    return values_.count(Lower(name)) > 0;
  }

  std::string ReadString(const std::string& name) const override {
    const Value& v = Find(name);
    if (v.type != Value::Type::kString) {
      throw RegistryError("Tipo di dato non valido per il valore " + name + " del registro");
    }
    return v.text;
  }

  int32_t ReadInteger(const std::string& name) const override {
    const Value& v = Find(name);
    if (v.type != Value::Type::kInteger) {
      throw RegistryError("Tipo di dato non valido per il valore " + name + " del registro");
    }
    return v.number;
  }

 private:
  const Value& Find(const std::string& name) const {
    const auto it = values_.find(Lower(name));
    if (it == values_.end()) {
      throw RegistryError("Valore " + name + " non presente nel registro");
    }
    return it->second;
  }

  std::map<std::string, Value> values_;  // by lower-case name
};

std::optional<std::string> ReadWholeFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  std::stringstream buffer;
  buffer << in.rdbuf();
  if (in.bad()) return std::nullopt;
  std::string content = ToUtf8Lenient(buffer.str());
  if (content.rfind("\xEF\xBB\xBF", 0) == 0) content.erase(0, 3);
  return content;
}

}  // namespace

FileRegistry::FileRegistry(std::filesystem::path file) : file_(std::move(file)) {}

std::unique_ptr<RegistryKey> FileRegistry::OpenKeyReadOnly(RegistryHive hive,
                                                           const std::string& path) const {
  const auto content = ReadWholeFile(file_);
  if (!content) return nullptr;
  const std::string wanted = NormalisedPath(path);

  bool key_exists = false;
  bool in_key = false;
  std::map<std::string, Value> values;
  std::istringstream lines(*content);
  std::string raw;
  while (std::getline(lines, raw)) {
    if (!raw.empty() && raw.back() == '\r') raw.pop_back();
    const std::string line = Trim(raw);
    if (line.empty() || line.front() == ';' || line.front() == '#') continue;
    if (line.front() == '[') {
      in_key = false;
      if (line.back() != ']') continue;
      const std::string name = line.substr(1, line.size() - 2);
      const auto slash = name.find('\\');
      const auto section_hive = HiveOf(Trim(name.substr(0, slash)));
      if (!section_hive || *section_hive != hive || slash == std::string::npos) continue;
      const std::string section_path = NormalisedPath(Trim(name.substr(slash + 1)));
      if (section_path == wanted) {
        in_key = key_exists = true;
      } else if (section_path.rfind(wanted + "\\", 0) == 0) {
        key_exists = true;  // a subkey implies its parent
      }
      continue;
    }
    if (!in_key) continue;
    const auto eq = line.find('=');
    if (eq == std::string::npos) continue;
    std::string name = Trim(line.substr(0, eq));
    if (name.size() >= 2 && name.front() == '"' && name.back() == '"') {
      name = name.substr(1, name.size() - 2);
    }
    values.emplace(Lower(name), ParseValue(Trim(line.substr(eq + 1))));
  }
  if (!key_exists) return nullptr;
  return std::make_unique<FileRegistryKey>(std::move(values));
}

}  // namespace oxsms::platform
