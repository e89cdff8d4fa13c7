// The confirmation short link of an appointment as the agenda keeps it: the
// code in column id_web of the appointment's row.
#include <soci/soci.h>

#include <cmath>

#include "practice/appointment_key.h"
#include "practice/link_bookkeeping.h"
#include "practice/row_values.h"
#include "practice/search_database.h"

namespace oxsms::practice {
namespace {

constexpr const char* kGetLinkBreve = "getLinkBreve";
constexpr const char* kSalvaLinkBreve = "SalvaLinkBreve";

const std::vector<StatementParameter> kDayParameter = {
    {"d", StatementParameter::Kind::kDateTime}};

std::string CodeUpdate(const std::string& table) {
  return "update " + table +
         " set id_web = :id_web  where data= :d and ora= :o and id_web is null";
}

}  // namespace

void LinkBookkeeping::getLinkBreve(TLineRec& rec, const std::string& link_host) {
  rec.link_exist = false;
  // A code left from another line must not pass for this appointment's.
  rec.id_web.clear();
  const std::string table = BookkeepingTable(rec.id_agenda, kGetLinkBreve);
  if (table.empty()) return;
  if (!OpenAgendasQuietly(kGetLinkBreve, /*log_failure=*/false)) return;
  rec.Ora = TimeWithDots(rec.Ora);
  AgendaRowKey key;
  try {
    key = RowKeyOf(rec.Data, rec.Ora);
  } catch (const platform::DataError&) {
    return;
  }
  for (const auto& agenda : sets_.Agendas()) {
    std::string code;
    try {
      code = FindShortLink(*agenda, table, key);
    } catch (const platform::Error&) {  // the database, or a row it cannot read
      units_.EndUnitQuietly(*agenda);
      continue;
    }
    if (code.empty()) continue;
    rec.id_web = code;
    rec.link_exist = true;
    rec.link_conferma = "https://" + link_host + "/c/" + code;
    return;
  }
}

std::string LinkBookkeeping::FindShortLink(Connection& agenda, const std::string& table,
                                  const AgendaRowKey& key) {
  ConnectOrRaise(agenda, units_);
  const ShortLinkDay* day = ShortLinksOfDay(agenda, table, key.data);
  if (day == nullptr) return {};  // the table lives in another agenda database
  return day->CodeAt(MillisecondOfDay(platform::FromTm(key.ora)));
}

ShortLinkDay* LinkBookkeeping::ShortLinksOfDay(Connection& agenda, const std::string& table,
                                      const std::tm& day) {
  const auto key = std::make_tuple(&agenda, table, std::llround(platform::FromTm(day)));
  if (const auto found = short_link_days_.find(key); found != short_link_days_.end()) {
    return found->second ? &*found->second : nullptr;
  }
  WritePending();  // the day is read as the queued writes leave it
  std::string unprepared;
  PreparedStatement* rows =
      agenda.PreparedIfPossible(ShortLinkDay::Query(table), kDayParameter, true, unprepared);
  if (rows == nullptr) {
    short_link_days_.emplace(key, std::nullopt);
    return nullptr;
  }
  ShortLinkDay codes;
  try {
    rows->SetDateTime(0, day);
    codes.Load(*rows, rows->Execute());
  } catch (const soci::soci_error& e) {
    throw StatementError(agenda, e);
  }
  units_.EndUnit(agenda);
  return &*short_link_days_.emplace(key, std::move(codes)).first->second;
}

void LinkBookkeeping::SalvaLinkBreve(const TLineRec& rec) {
  // An empty code would mark the row as linked for good.
  if (rec.link_exist || rec.id_web.empty()) return;
  const std::string table = BookkeepingTable(rec.id_agenda, kSalvaLinkBreve);
  if (table.empty()) return;
  if (!OpenAgendasQuietly(kSalvaLinkBreve, /*log_failure=*/true)) return;
  AgendaRowKey key;
  try {
    key = RowKeyOf(rec.Data, rec.Ora);
  } catch (const platform::DataError& e) {
    log_.WriteLog(std::string(kSalvaLinkBreve) + ": agenda non aggiornata: " + e.what());
    return;
  }
  // The day's codes read by getLinkBreve follow what the queued update will
  // write, so the next channel of the send finds this code.
  for (const auto& agenda : sets_.Agendas()) {
    const auto day = short_link_days_.find(
        std::make_tuple(agenda.get(), table, std::llround(platform::FromTm(key.data))));
    if (day != short_link_days_.end() && day->second) {
      day->second->StoreCode(MillisecondOfDay(platform::FromTm(key.ora)), rec.id_web);
    }
  }
  queue_.Defer([this, update = AgendaUpdate{kSalvaLinkBreve, table, "id_web", rec.id_web, key}] {
    UpdateAgendaRows(CodeUpdate(update.table), update);
  });
}

}  // namespace oxsms::practice
