#include "dispatch/channel_lines.h"

#include <algorithm>
#include <utility>

#include "dispatch/journal_gate.h"
#include "dispatch/message_text.h"

namespace oxsms::dispatch {

ChannelLines::ChannelLines(practice::RecipientLists& lists, const std::vector<std::string>& lines,
                           const std::set<std::string>& handed_over)
    : lists_(lists), all_(lines) {
  // Nothing handed over yet (or no journal kept): the whole batch goes, and
  // no key is held while it goes; the keys are made after the send.
  if (handed_over.empty()) return;
  bool kept = false;  // whether the line before was kept
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const bool further_contact =
        i > 0 && i < lists.list_id_agenda.size() && lists.list_id_agenda[i] == kSameAppointment;
    const bool served = handed_over.count(RecipientKey(lines[i])) != 0;
    kept = further_contact ? kept && !served : !served;
    if (!kept) continue;
    positions_.push_back(i);
    subset_.push_back(lines[i]);
  }
  narrowed_ = true;
  ids_ = std::move(lists.list_id_agenda);
  payments_ = std::move(lists.listCellIncassi);
  lists.list_id_agenda.clear();
  lists.listCellIncassi.clear();
  for (const std::size_t i : positions_) {
    lists.list_id_agenda.push_back(i < ids_.size() ? ids_[i] : std::string());
    if (i < payments_.size()) lists.listCellIncassi.push_back(payments_[i]);
  }
}

ChannelLines::~ChannelLines() {
  if (!narrowed_) return;
  for (std::size_t j = 0; j < positions_.size() && j < lists_.listCellIncassi.size(); ++j) {
    if (positions_[j] < payments_.size()) payments_[positions_[j]] = lists_.listCellIncassi[j];
  }
  lists_.list_id_agenda = std::move(ids_);
  lists_.listCellIncassi = std::move(payments_);
}

std::vector<std::string> ChannelLines::HandedOver(const std::vector<std::size_t>& held_back) const {
  const std::vector<std::string>& lines = Lines();
  std::vector<std::string> keys;
  keys.reserve(lines.size());
  for (std::size_t j = 0; j < lines.size(); ++j) {
    if (std::find(held_back.begin(), held_back.end(), j) == held_back.end()) {
      keys.push_back(RecipientKey(lines[j]));
    }
  }
  return keys;
}

std::size_t NotHandedOver(const std::vector<std::string>& lines,
                          const std::set<std::string>& handed_over) {
  if (handed_over.empty()) return lines.size();
  const auto left = std::count_if(lines.begin(), lines.end(), [&](const std::string& line) {
    return handed_over.count(RecipientKey(line)) == 0;
  });
  return static_cast<std::size_t>(left);
}

}  // namespace oxsms::dispatch
