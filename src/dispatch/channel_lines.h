// The lines of a phone batch that one channel has still to send today:
// those whose key (RecipientKey) it has not handed over at an earlier
// attempt. The senders read a line's agenda reference and payment record by
// its position in the batch lists, so while a ChannelLines with lines left
// out lives, those lists are narrowed to its lines; when it ends they are
// whole again, with the payment records the send filled in (a payment link
// made for one channel serves the next, never a second link).
//
// A further contact of an appointment ("same" agenda reference) follows the
// line before it: it is left out with it, as its confirmation link is that
// line's.
#pragma once

#include <cstddef>
#include <set>
#include <string>
#include <vector>

#include "practice/recipient_records.h"

namespace oxsms::dispatch {

class ChannelLines {
 public:
  // `lines` and `lists` must outlive this object.
  ChannelLines(practice::RecipientLists& lists, const std::vector<std::string>& lines,
               const std::set<std::string>& handed_over);
  ~ChannelLines();
  ChannelLines(const ChannelLines&) = delete;
  ChannelLines& operator=(const ChannelLines&) = delete;

  // The lines to send, in batch order.
  const std::vector<std::string>& Lines() const { return narrowed() ? subset_ : all_; }
  // How many lines of the batch were left out.
  std::size_t LeftOut() const { return all_.size() - Lines().size(); }
  // The keys of the lines a send of Lines() handed over: all but those at
  // the positions `held_back` (positions in Lines()).
  std::vector<std::string> HandedOver(const std::vector<std::size_t>& held_back) const;

 private:
  bool narrowed() const { return narrowed_; }

  practice::RecipientLists& lists_;
  const std::vector<std::string>& all_;
  bool narrowed_ = false;
  std::vector<std::size_t> positions_;   // batch position of each line of Lines()
  std::vector<std::string> subset_;
  // The whole batch's lists while they are narrowed.
  std::vector<std::string> ids_;
  std::vector<practice::TPazRec> payments_;
};

// How many lines of `lines` are not among `handed_over` (keys).
std::size_t NotHandedOver(const std::vector<std::string>& lines,
                          const std::set<std::string>& handed_over);

}  // namespace oxsms::dispatch
