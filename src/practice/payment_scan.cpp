// The payment-due scan: the payment data of recipient lines that
// an interactive front end gathered, and the patient database of each.
#include <soci/soci.h>

#include "practice/agenda_lines.h"
#include "practice/agenda_row_key.h"
#include "practice/link_bookkeeping.h"
#include "practice/patient_accounts.h"
#include "practice/patient_query.h"
#include "practice/row_values.h"
#include "practice/search_database.h"

namespace oxsms::practice {
namespace {

constexpr const char* kCercaIncasso = "CercaIncasso";

enum FeeColumn : std::size_t { kAppunt, kBadge, kOra, kData, kIncasso, kFileguid, kIdLinkpag };

std::string FeeQuery(const std::string& table) {
  return "select APPUNT,BADGE,ORA,DATA,INCASSO_PREST,FILEGUID,ID_LINKPAG from " + table +
         " where data= :d and ora= :o and (INCASSO_PREST is not null) and (ID_LINKPAG is null)";
}

constexpr const char* kBadgeLookup = "select codice_cliente from ANAGRAFICA where badge = :badge";

}  // namespace

void LinkBookkeeping::AnalizzaIncassi(const LineParser& parse_line) {
  WritePending();
  // One entry per line, at the line's index: a leftover entry would give
  // every later line the payment data of the line before.
  host_.Batch().listCellIncassi.clear();
  TLineRec rec;  // reused: parts missing from a line keep the previous line's
  for (std::size_t i = 0; i < host_.Batch().listCell.size(); ++i) {
    bool found = false;
    if (i < host_.Batch().list_id_agenda.size()) {
      parse_line(rec, host_.Batch().listCell[i]);
      rec.id_agenda = host_.Batch().list_id_agenda[i];
      found = CercaIncasso(rec);
    }
    if (!found) host_.Batch().listCellIncassi.push_back(TPazRec{});
  }
  sets_.ApriFilePazienti();
  for (std::size_t k = 0; k < sets_.Patients().size(); ++k) AssignPatientDatabase(k);
}

void LinkBookkeeping::AssignPatientDatabase(std::size_t k) {
  Connection& patients = *sets_.Patients()[k].connection;
  ConnectOrRaise(patients, units_);
  const std::string fileguid = ReadFileguid(patients, units_);
  std::unique_ptr<PatientLookup> lookup;
  for (TPazRec& entry : host_.Batch().listCellIncassi) {
    if (entry.incasso == 0 || entry.idxFilePaz != kNoPatientDatabaseIndex ||
        entry.fileguid.empty() || entry.fileguid != fileguid) {
      continue;
    }
    if (!lookup) lookup = std::make_unique<PatientLookup>(patients, kBadgeLookup, std::string());
    if (lookup->Find(entry.badge) && lookup->Row().get_indicator(0) != soci::i_null) {
      entry.idxFilePaz = static_cast<int32_t>(k);
    }
  }
  lookup.reset();
  patients.Commit();
}

bool LinkBookkeeping::CercaIncasso(const TLineRec& line) {
  WritePending();
  const std::string table = BookkeepingTable(line.id_agenda, kCercaIncasso);
  if (table.empty()) return false;
  if (sets_.Agendas().empty()) sets_.ApriAgende();
  AgendaRowKey key;
  try {
    key = RowKeyOf(line.Data, line.Ora);
  } catch (const platform::DataError&) {
    return false;  // no agenda row has this date and time
  }
  for (const auto& agenda : sets_.Agendas()) {
    try {
      if (FindFeeIn(*agenda, table, key)) return true;
    } catch (const platform::Error&) {
      // This database lacks the table or cannot be reached: try the next.
      units_.EndUnitQuietly(*agenda);
    }
  }
  return false;
}

bool LinkBookkeeping::FindFeeIn(Connection& agenda, const std::string& table, const AgendaRowKey& key) {
  ConnectOrRaise(agenda, units_);
  std::tm d = key.data;
  std::tm o = key.ora;
  std::string o_text = TimeOfDayText(key.ora);
  TPazRec fee;
  bool found = false;
  try {
    soci::row row;
    soci::details::prepare_temp_type prepared = agenda.Session().prepare << FeeQuery(table);
    prepared, soci::use(d, "d");
    if (agenda.IsMySQL()) {
      prepared, soci::use(o_text, "o");
    } else {
      prepared, soci::use(o, "o");
    }
    soci::statement st = (prepared, soci::into(row));
    if (st.execute(true)) {
      fee.badge = TextOf(row, kBadge);
      fee.fileguid = TextOf(row, kFileguid);
      fee.incasso = CurrencyOf(row, kIncasso);
      fee.id_linkpag = TextOf(row, kIdLinkpag);
      found = true;
    }
  } catch (const soci::soci_error& e) {
    throw StatementError(agenda, e);
  }
  agenda.Commit();
  if (found) host_.Batch().listCellIncassi.push_back(std::move(fee));
  return found;
}

}  // namespace oxsms::practice
