#include "payments/pending_payments.h"

#include <cstdio>
#include <fstream>
#include <iterator>

#include <nlohmann/json.hpp>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "platform/error.h"
#include "practice/agenda_row_key.h"

namespace oxsms::payments {
namespace {

bool FlushToDisk(std::FILE* file) {
  if (std::fflush(file) != 0) return false;
#ifdef _WIN32
  return _commit(_fileno(file)) == 0;
#else
  return fsync(fileno(file)) == 0;
#endif
}

[[noreturn]] void CannotWrite(const std::filesystem::path& file) {
  throw platform::Error(platform::ErrorCategory::kConfiguration,
                        "Impossibile scrivere il file " + file.string());
}

}  // namespace

std::string PendingPayments::KeyOf(const std::string& id_agenda, const std::string& data,
                                   const std::string& ora, const std::string& badge) {
  return practice::AgendaTableOfLine(id_agenda) + "|" + data + "|" +
         practice::TimeWithDots(ora) + "|" + badge;
}

PendingPayments::Entry PendingPayments::EntryOf(const std::string& key, const std::string& code) {
  // As nlohmann's dump with an indent of one and ASCII escapes writes a
  // member, so that the file reads as it always did.
  constexpr bool kAsciiOnly = true;
  Entry entry{code, " "};
  entry.text.append(nlohmann::json(key).dump(-1, ' ', kAsciiOnly));
  entry.text.append(": ");
  entry.text.append(nlohmann::json(code).dump(-1, ' ', kAsciiOnly));
  return entry;
}

std::optional<std::string> PendingPayments::Find(const std::string& key) {
  Load();
  const auto found = codes_.find(key);
  if (found == codes_.end()) return std::nullopt;
  return found->second.code;
}

void PendingPayments::Add(const std::string& key, const std::string& code) {
  Load();
  const auto found = codes_.find(key);
  if (found != codes_.end() && found->second.code == code) return;
  codes_[key] = EntryOf(key, code);  // raises before any change for text that is no UTF-8
  unwritten_ = true;
}

void PendingPayments::Flush() {
  if (unwritten_) Save();
}

void PendingPayments::Remove(const std::vector<std::string>& keys) {
  Load();
  bool changed = unwritten_;
  for (const std::string& key : keys) changed = codes_.erase(key) != 0 || changed;
  if (changed) Save();
}

void PendingPayments::Load() {
  if (loaded_) return;
  loaded_ = true;
  std::ifstream in(file_, std::ios::binary);
  if (!in) return;  // none yet: nothing waits
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  const nlohmann::json doc = nlohmann::json::parse(text, nullptr, false);
  if (!doc.is_object()) return;  // unreadable: as if nothing waited
  for (const auto& [key, code] : doc.items()) {
    if (code.is_string()) codes_[key] = EntryOf(key, code.get<std::string>());
  }
}

void PendingPayments::Save() {
  std::string text = "{";
  const char* separator = "\n";
  for (const auto& [key, entry] : codes_) {
    text += separator;
    text += entry.text;
    separator = ",\n";
  }
  text += codes_.empty() ? "}" : "\n}";
  const std::filesystem::path temp = file_.string() + ".tmp";
  std::FILE* out = std::fopen(temp.string().c_str(), "wb");
  if (out == nullptr) CannotWrite(file_);
  const bool written = std::fwrite(text.data(), 1, text.size(), out) == text.size() &&
                       FlushToDisk(out);
  if (std::fclose(out) != 0 || !written) {
    std::error_code ignored;
    std::filesystem::remove(temp, ignored);
    CannotWrite(file_);
  }
  std::error_code ec;
  std::filesystem::rename(temp, file_, ec);
  if (ec) {
    std::filesystem::remove(temp, ec);
    CannotWrite(file_);
  }
  unwritten_ = false;
}

}  // namespace oxsms::payments
