#include "practice/short_link_day.h"

#include <soci/soci.h>

#include <algorithm>

#include "practice/appointment_key.h"
#include "practice/prepared_statement.h"
#include "practice/row_values.h"

namespace oxsms::practice {

std::string ShortLinkDay::Query(const std::string& table) {
  return "select ora, id_web from " + table + " where data= :d";
}

void ShortLinkDay::Load(PreparedStatement& rows, bool has_first_row) {
  rows_.clear();
  for (bool more = has_first_row; more; more = rows.Next()) {
    const soci::row& row = rows.Row();
    FirstRow first;
    first.millisecond = static_cast<int32_t>(MillisecondOfDay(DateTimeOf(row, 0).value_or(0)));
    first.null_code = row.get_indicator(1) == soci::i_null;
    if (!first.null_code) first.code = TextOf(row, 1);
    rows_.push_back(std::move(first));
  }
  // The rows come as the lookup by date and time would meet them (the same
  // plan without the time): the first row at each time answers for it.
  const auto by_time = [](const FirstRow& a, const FirstRow& b) {
    return a.millisecond < b.millisecond;
  };
  std::stable_sort(rows_.begin(), rows_.end(), by_time);
  rows_.erase(std::unique(rows_.begin(), rows_.end(),
                          [](const FirstRow& a, const FirstRow& b) {
                            return a.millisecond == b.millisecond;
                          }),
              rows_.end());
  rows_.shrink_to_fit();
}

const ShortLinkDay::FirstRow* ShortLinkDay::Find(long long millisecond) const {
  const auto it = std::lower_bound(
      rows_.begin(), rows_.end(), millisecond,
      [](const FirstRow& row, long long ms) { return row.millisecond < ms; });
  return it != rows_.end() && it->millisecond == millisecond ? &*it : nullptr;
}

ShortLinkDay::FirstRow* ShortLinkDay::Find(long long millisecond) {
  return const_cast<FirstRow*>(std::as_const(*this).Find(millisecond));
}

std::string ShortLinkDay::CodeAt(long long millisecond) const {
  const FirstRow* row = Find(millisecond);
  return row != nullptr ? row->code : std::string();
}

void ShortLinkDay::StoreCode(long long millisecond, const std::string& code) {
  FirstRow* row = Find(millisecond);
  if (row == nullptr || !row->null_code) return;
  row->null_code = false;
  row->code = code;
}

}  // namespace oxsms::practice
