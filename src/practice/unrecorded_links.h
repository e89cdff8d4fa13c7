// The payment links whose agenda row could not be written when they were
// made (the row held open at the desk, the agenda database out of reach): a
// row without its link would show the fee as still to collect, and a later
// scan would make it a second link. They are kept in
// "link_pagamento_da_registrare.json" in the home folder until a later run
// writes them, and meanwhile a scan that reads the row takes the kept link
// as the row's.
//
// File form (UTF-8 JSON):
//   {"versione":1,"link":[{"tabella":"AGENDA_1","data":"2026-12-08",
//     "ora":"09:45:00","id_linkpag":"Xy12","dal":"2026-12-07 11:00:00"}]}
//
// Written atomically at each change. A link still unwritten kDaysKept days
// after it was made is dropped with a log line. A file that cannot be read is
// logged and set aside ("...json.danneggiato"); its links are then written by
// nobody. Only the service thread uses it.
#pragma once

#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/activity_log.h"
#include "platform/date_time.h"

namespace oxsms::practice {

struct UnrecordedLink {
  std::string table;  // upper case
  std::tm data{};     // the row's DATA and ORA, as the update addresses them
  std::tm ora{};
  std::string id_linkpag;
  platform::TDateTime since = 0;  // when it was made
};

class UnrecordedLinks {
 public:
  static constexpr const char* kFileName = "link_pagamento_da_registrare.json";
  static constexpr int kDaysKept = 30;

  // The file; read at the first use.
  UnrecordedLinks(std::filesystem::path file, platform::ActivityLog& log);

  // Keeps `link` (once per row); saves. A failure to save is logged.
  void Add(const UnrecordedLink& link);
  // The link kept for the row of `table` on `data` at `ora`, if any.
  std::optional<std::string> LinkOf(const std::string& table, const std::tm& data,
                                    const std::tm& ora);
  // Offers each kept link to `write` (true: the row has it now) and keeps
  // the others; drops those older than kDaysKept days at `now`.
  template <typename Write>
  void WriteKept(platform::TDateTime now, Write write) {
    Load();
    if (links_.empty()) return;
    std::vector<UnrecordedLink> left;
    for (const UnrecordedLink& link : links_) {
      if (write(link)) continue;
      if (now - link.since > kDaysKept) {
        Dropped(link);
        continue;
      }
      left.push_back(link);
    }
    if (left.size() == links_.size()) return;
    links_ = std::move(left);
    Save();
  }

  // The file's text and back; Parse raises platform::DataError.
  static std::string Serialize(const std::vector<UnrecordedLink>& links);
  static std::vector<UnrecordedLink> Parse(const std::string& text);

 private:
  void Load();
  void Save();
  void Dropped(const UnrecordedLink& link);

  std::filesystem::path file_;
  platform::ActivityLog& log_;
  bool loaded_ = false;
  std::vector<UnrecordedLink> links_;
};

}  // namespace oxsms::practice
