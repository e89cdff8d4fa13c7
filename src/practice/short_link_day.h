// The confirmation codes of one agenda table's rows of one day in one agenda
// database, read with one query, so that the short-link lookup of each
// recipient line (twice per line: its SMS and its WhatsApp message) is
// answered without a query of its own.
//
// It answers as the lookup by date and time would: the code of the first
// row at that time (in the order the database meets the day's rows), empty
// when that row has none or there is no row. Times are compared to the
// second, as SOCI reads them. The search object's own
// stores keep it current (StoreCode: what the store's update does to that
// first row); changes made meanwhile by other programs are not seen.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace soci {
class row;
}

namespace oxsms::practice {

class PreparedStatement;

class ShortLinkDay {
 public:
  // The statement of the day's rows: ORA then ID_WEB, ":d" the day.
  static std::string Query(const std::string& table);

  // Reads the rows of an executed Query (Execute already fetched the first).
  void Load(PreparedStatement& rows, bool has_first_row);

  // The code at the time of day `millisecond`, or "".
  std::string CodeAt(long long millisecond) const;

  // The store's update ("set id_web = code where ... and id_web is null") as
  // it changes the first row at that time: a row without a code gets it.
  void StoreCode(long long millisecond, const std::string& code);

 private:
  struct FirstRow {
    int32_t millisecond = 0;
    bool null_code = true;
    std::string code;
  };
  FirstRow* Find(long long millisecond);
  const FirstRow* Find(long long millisecond) const;

  std::vector<FirstRow> rows_;  // by time of day
};

}  // namespace oxsms::practice
