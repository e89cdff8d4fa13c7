// The confirmation short link of an appointment as the agenda keeps it: the
// code in column id_web of the appointment's row.
#include <soci/soci.h>

#include "practice/agimp.h"
#include "practice/row_values.h"
#include "practice/search_database.h"

namespace oxsms::practice {
namespace {

constexpr const char* kGetLinkBreve = "getLinkBreve";
constexpr const char* kSalvaLinkBreve = "SalvaLinkBreve";

const std::vector<StatementParameter> kRowKeyParameters = {
    {"d", StatementParameter::Kind::kDateTime}, {"o", StatementParameter::Kind::kDateTime}};

std::string CodeQuery(const std::string& table) {
  return "select id_web from " + table + " where data= :d and ora= :o";
}

std::string CodeUpdate(const std::string& table) {
  return "update " + table +
         " set id_web = :id_web  where data= :d and ora= :o and id_web is null";
}

}  // namespace

void TAgImp::getLinkBreve(TLineRec& rec, const std::string& link_host) {
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
  } catch (const std::invalid_argument&) {
    return;
  }
  for (auto& agenda : agendas_) {
    std::string code;
    try {
      code = FindShortLink(*agenda, table, key);
    } catch (const std::exception&) {
      EndUnitQuietly(*agenda);
      continue;
    }
    if (code.empty()) continue;
    rec.id_web = code;
    rec.link_exist = true;
    rec.link_conferma = "https://" + link_host + "/c/" + code;
    return;
  }
}

std::string TAgImp::FindShortLink(Connection& agenda, const std::string& table,
                                  const AgendaRowKey& key) {
  ConnectOrRaise(agenda);
  std::string code;
  try {
    std::string unprepared;
    PreparedStatement* st =
        agenda.PreparedIfPossible(CodeQuery(table), kRowKeyParameters, true, unprepared);
    if (st == nullptr) return code;  // the table lives in another agenda database
    st->SetDateTime(0, key.data);
    st->SetDateTime(1, key.ora);
    if (st->Execute()) code = TextOf(st->Row(), 0);
  } catch (const soci::soci_error& e) {
    throw StatementError(agenda, e);
  }
  agenda.EndUnit();
  return code;
}

void TAgImp::SalvaLinkBreve(const TLineRec& rec) {
  // An empty code would mark the row as linked for good.
  if (rec.link_exist || rec.id_web.empty()) return;
  const std::string table = BookkeepingTable(rec.id_agenda, kSalvaLinkBreve);
  if (table.empty()) return;
  if (!OpenAgendasQuietly(kSalvaLinkBreve, /*log_failure=*/true)) return;
  try {
    UpdateAgendaRows(CodeUpdate(table),
                     {kSalvaLinkBreve, table, "id_web", rec.id_web, RowKeyOf(rec.Data, rec.Ora)});
  } catch (const std::invalid_argument& e) {
    log_.WriteLog(std::string(kSalvaLinkBreve) + ": agenda non aggiornata: " + e.what());
  }
}

}  // namespace oxsms::practice
