// Steps shared by the bookkeeping of links in the agenda rows: the table of a
// recipient line, opening the agenda sets without raising, and an update run
// on every agenda database.
#include <soci/soci.h>

#include "practice/agenda_lines.h"
#include "practice/agenda_row_key.h"
#include "practice/agimp.h"
#include "practice/search_database.h"

namespace oxsms::practice {

std::string TAgImp::BookkeepingTable(const std::string& id_agenda, const char* operation) {
  const std::string table = AgendaTableOfLine(id_agenda);
  if (table.empty()) return {};
  if (!IsPlainTableName(table)) {
    log_.WriteLog(std::string(operation) + ": tabella agenda ignorata, nome non valido: \"" +
                  PrintableName(table) + "\"");
    return {};
  }
  return table;
}

bool TAgImp::OpenAgendasQuietly(const char* operation, bool log_failure) {
  try {
    if (agendas_.empty()) ApriAgende();
    return true;
  } catch (const std::exception& e) {
    if (log_failure) log_.WriteLog(std::string(operation) + ": " + e.what());
    return false;
  }
}

bool TAgImp::UpdateAgendaRows(const std::string& sql, const AgendaUpdate& update) {
  bool updated_somewhere = false;
  // A table lives in one agenda database of several: the message of a
  // database without it is put together only when no database had it.
  std::string last_error;
  Connection* unprepared_on = nullptr;
  std::string unprepared;
  const std::vector<StatementParameter> parameters = {
      {update.value_name, StatementParameter::Kind::kText},
      {"d", StatementParameter::Kind::kDateTime},
      {"o", StatementParameter::Kind::kDateTime}};
  for (auto& agenda : agendas_) {
    try {
      ConnectOrRaise(*agenda);
      try {
        PreparedStatement* st = agenda->PreparedIfPossible(sql, parameters, false, unprepared);
        if (st == nullptr) {
          unprepared_on = agenda.get();
          last_error.clear();
          continue;
        }
        st->SetText(0, update.value);
        st->SetDateTime(1, update.key.data);
        st->SetDateTime(2, update.key.ora);
        st->Execute();
      } catch (const soci::soci_error& e) {
        throw StatementError(*agenda, e);
      }
      agenda->EndUnit();
      updated_somewhere = true;
    } catch (const std::exception& e) {
      // Most often the table lives in another agenda database.
      EndUnitQuietly(*agenda);
      last_error = e.what();
      unprepared_on = nullptr;
    }
  }
  if (!updated_somewhere && !agendas_.empty()) {
    if (unprepared_on != nullptr) last_error = unprepared_on->Error(unprepared).what();
    log_.WriteLog(std::string(update.operation) + ": agenda non aggiornata (tabella " +
                  PrintableName(update.table) + "): " + last_error);
  }
  return updated_somewhere;
}

void TAgImp::EndUnitQuietly(Connection& connection) noexcept {
  try {
    if (connection.Connected()) connection.EndUnit();
  } catch (const std::exception&) {
    // The unit failed before it wrote anything; ending it only frees its snapshot.
  }
}

}  // namespace oxsms::practice
