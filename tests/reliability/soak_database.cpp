#include "reliability/soak_database.h"

#include "fixture/sessions.h"
#include "reliability/soak_checks.h"

namespace oxsms::soak {

AgendaWriter::AgendaWriter(const std::string& database, const std::string& password,
                           std::vector<std::string> tables, std::map<int, std::string> fileguids,
                           platform::TDateTime first_day)
    : sql_(fixture::OpenFirebird(database, password)),
      tables_(std::move(tables)),
      fileguids_(std::move(fileguids)),
      first_day_(first_day) {}

AgendaWriter::~AgendaWriter() = default;

void AgendaWriter::Insert(const Appointment& a) {
  std::tm day = fixture::DateTm(first_day_ + a.day);
  std::tm time = fixture::TimeTm(a.minute);
  const std::string badge = std::to_string(a.badge);
  const std::string& guid = fileguids_.at(a.badge);
  *sql_ << "insert into " + tables_.at(static_cast<std::size_t>(a.table)) +
               " (DATA, ORA, DURATA, APPUNT, BADGE, FILEGUID) values (:d, :o, 30, 'Controllo', "
               ":b, :f)",
      soci::use(day), soci::use(time), soci::use(badge), soci::use(guid);
}

void AgendaWriter::Delete(const Appointment& a) {
  std::tm day = fixture::DateTm(first_day_ + a.day);
  std::tm time = fixture::TimeTm(a.minute);
  const std::string badge = std::to_string(a.badge);
  *sql_ << "delete from " + tables_.at(static_cast<std::size_t>(a.table)) +
               " where DATA = :d and ORA = :o and BADGE = :b",
      soci::use(day), soci::use(time), soci::use(badge);
}

void AgendaWriter::Apply(const std::vector<Change>& changes) {
  soci::transaction tr(*sql_);
  for (const Change& c : changes) {
    if (c.op != Change::Op::kAdd) Delete(c.before);
    if (c.op != Change::Op::kCancel) Insert(c.after);
  }
  tr.commit();
}

long AgendaWriter::CountOnDay(int day) {
  std::tm date = fixture::DateTm(first_day_ + day);
  long total = 0;
  for (const std::string& table : tables_) {
    int n = 0;
    *sql_ << "select count(*) from " + table + " where DATA = :d and BADGE is not null",
        soci::use(date), soci::into(n);
    total += n;
  }
  sql_->commit();
  return total;
}

void NormalisePatients(const std::string& database, const std::string& password,
                       const std::vector<int>& badges) {
  auto sql = fixture::OpenFirebird(database, password);
  soci::transaction tr(*sql);
  for (const int b : badges) {
    const std::string badge = std::to_string(b);
    const std::string number = NumberOfBadge(b);
    *sql << "update ANAGRAFICA set TELCELL = :n, TELCELL2 = null, EMAIL = null, EMAIL2 = null, "
            "SMS = 1 where BADGE = :b",
        soci::use(number), soci::use(badge);
  }
  tr.commit();
}

}  // namespace oxsms::soak
