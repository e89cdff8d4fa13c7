// Steps shared by the bookkeeping of links in the agenda rows: the table of a
// recipient line, opening the agenda sets without raising, an update run on
// every agenda database, and the commit of what the bookkeeping has left
// uncommitted.
#include <soci/soci.h>

#include "practice/agenda_lines.h"
#include "practice/agenda_row_key.h"
#include "practice/link_bookkeeping.h"
#include "practice/search_database.h"

namespace oxsms::practice {

std::string LinkBookkeeping::BookkeepingTable(const std::string& id_agenda, const char* operation) {
  const std::string table = AgendaTableOfLine(id_agenda);
  if (table.empty()) return {};
  if (!IsPlainTableName(table)) {
    log_.WriteLog(std::string(operation) + ": tabella agenda ignorata, nome non valido: \"" +
                  PrintableName(table) + "\"");
    return {};
  }
  return table;
}

bool LinkBookkeeping::OpenAgendasQuietly(const char* operation, bool log_failure) {
  try {
    if (sets_.Agendas().empty()) sets_.ApriAgende();
    return true;
  } catch (const platform::Error& e) {  // the databases, their settings or credentials
    if (log_failure) log_.WriteLog(std::string(operation) + ": " + e.what());
    return false;
  }
}

bool LinkBookkeeping::UpdateAgendaRows(const std::string& sql, const AgendaUpdate& update) {
  bool updated_somewhere = false;
  // A table lives in one agenda database of several: the message of a
  // database without it is put together only when no database had it.
  std::string last_error;
  Connection* unprepared_on = nullptr;
  std::string unprepared;
  for (const auto& agenda : sets_.Agendas()) {
    const bool time_as_text = agenda->IsMySQL();
    const std::vector<StatementParameter> parameters = {
        {update.value_name, StatementParameter::Kind::kText},
        {"d", StatementParameter::Kind::kDateTime},
        {"o", time_as_text ? StatementParameter::Kind::kText : StatementParameter::Kind::kDateTime}};
    try {
      ConnectOrRaise(*agenda, units_);
      try {
        PreparedStatement* st = agenda->PreparedIfPossible(sql, parameters, false, unprepared);
        if (st == nullptr) {
          unprepared_on = agenda.get();
          last_error.clear();
          continue;
        }
        st->SetText(0, update.value);
        st->SetDateTime(1, update.key.data);
        if (time_as_text) {
          st->SetText(2, TimeOfDayText(update.key.ora));
        } else {
          st->SetDateTime(2, update.key.ora);
        }
        st->Execute();
      } catch (const soci::soci_error& e) {
        throw StatementError(*agenda, e);
      }
      units_.EndUnit(*agenda);
      updated_somewhere = true;
    } catch (const DatabaseError& e) {
      // Most often the table lives in another agenda database.
      units_.EndUnitQuietly(*agenda);
      last_error = e.what();
      unprepared_on = nullptr;
    }
  }
  if (!updated_somewhere && !sets_.Agendas().empty()) {
    if (unprepared_on != nullptr) last_error = unprepared_on->Error(unprepared).what();
    log_.WriteLog(std::string(update.operation) + ": agenda non aggiornata (tabella " +
                  PrintableName(update.table) + "): " + last_error);
  }
  return updated_somewhere;
}

void LinkBookkeeping::CommitBookkeeping() noexcept {
  WritePending();
  const auto commit = [this](Connection& connection) {
    try {
      connection.Commit();
    } catch (const DatabaseError& e) {
      log_.WriteLog(std::string("Link non registrati nell'archivio: ") + e.what());
    }
  };
  for (const auto& agenda : sets_.Agendas()) commit(*agenda);
  for (const auto& patients : sets_.Patients()) {
    if (patients.connection) commit(*patients.connection);
  }
}

}  // namespace oxsms::practice
