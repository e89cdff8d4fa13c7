// The payment links whose message has not reached the patient yet, kept in
// "pagamenti_in_sospeso.json" in the home folder: appointment key → link
// code. A link enters when it is given to a message and leaves when a
// channel accepted that message. The practice's agenda and accounts record
// a link once it exists (and a run then no longer offers the fee), so
// without this file a message that failed would lose its link for good; with
// it the next attempt sends the same link again.
//
// The list is written atomically (temporary file, flush to disk, rename): a
// run cut short leaves the last complete list. Entries added are written by
// Flush (or with the next Remove), so that a batch of messages costs one
// synchronous write rather than one per link; the caller flushes before it
// records the batch's links in the practice's databases. Each entry keeps
// its text as written, so a write costs writing the list, not building it
// again. Only the service thread calls; one process works on a home folder.
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace oxsms::payments {

inline constexpr const char* kPendingPaymentsFile = "pagamenti_in_sospeso.json";

class PendingPayments {
 public:
  explicit PendingPayments(std::filesystem::path file) : file_(std::move(file)) {}

  // The key of the appointment of an agenda table (as the agenda line names
  // it), a day "dd/mm/yyyy", a time ("hh.mm", ':' taken as '.') and the
  // patient's badge.
  static std::string KeyOf(const std::string& id_agenda, const std::string& data,
                           const std::string& ora, const std::string& badge);

  // The code of the link waiting for the appointment `key`, if any.
  std::optional<std::string> Find(const std::string& key);
  // `key` waits with the link `code` (replacing any other), in memory until
  // the next Flush or Remove. Raises nlohmann::json::type_error when `key` or
  // `code` is no UTF-8 text (the list is left as it was), and what Load
  // raises.
  void Add(const std::string& key, const std::string& code);
  // Writes the entries added since the last write; nothing when there are
  // none. Raises platform::Error (configuration) when the file cannot be
  // written; the entries are then written by the next Flush or Remove.
  void Flush();
  // The messages of `keys` went out: they wait no more. Writes the list
  // (with any entries not yet written). Raises as Flush.
  void Remove(const std::vector<std::string>& keys);

 private:
  void Load();
  void Save();

  struct Entry {
    std::string code;
    std::string text;  // the entry as the file holds it: "key": "code"
  };
  static Entry EntryOf(const std::string& key, const std::string& code);

  std::filesystem::path file_;
  bool loaded_ = false;
  bool unwritten_ = false;  // entries added since the last write
  std::map<std::string, Entry> codes_;
};

}  // namespace oxsms::payments
