// The appointment search: one appointment per patient from every
// agenda table that is not excluded.
#include <soci/soci.h>

#include <algorithm>

#include "practice/agenda_lines.h"
#include "practice/agenda_row_key.h"
#include "practice/appointment_key.h"
#include "practice/recipient_search.h"
#include "practice/row_values.h"
#include "practice/search_database.h"

namespace oxsms::practice {
namespace {

// isLinkPag: the payment-link module is in use / not in use.
constexpr int32_t kPaymentLinksOn = 1;
constexpr int32_t kPaymentLinksOff = 2;

enum AgendaColumn : std::size_t { kAppunt, kBadge, kOra, kData, kIncasso, kFileguid, kIdLinkpag };

std::string AgendaQuery(const std::string& table, bool payment_columns) {
  return std::string(payment_columns ? "select APPUNT,BADGE,ORA,DATA,INCASSO_PREST,FILEGUID,ID_LINKPAG"
                                     : "select APPUNT,BADGE,ORA,DATA") +
         " from " + table +
         " where ((badge is not null) and (badge <> '')) and data between :d1 and :d2";
}

// The excluded table names of the settings, blanks trimmed, empty lines dropped.
std::vector<std::string> ExcludedTables(const std::string& setting) {
  std::vector<std::string> names;
  for (const auto& line : SplitLines(setting)) {
    std::string name = TrimBlanks(line);
    if (!name.empty()) names.push_back(std::move(name));
  }
  return names;
}

constexpr const char* kExcludedAgenda = " Agenda esclusa";

bool IsExcluded(const std::vector<std::string>& excluded, const std::string& table) {
  return std::any_of(excluded.begin(), excluded.end(),
                     [&](const std::string& name) { return SameTextIgnoringCase(name, table); });
}

}  // namespace

void RecipientSearch::RicercaAppunt(const SearchRange& range, bool trovaSms, bool trovaEmail) {
  trova_sms_ = trovaSms;
  trova_email_ = trovaEmail;
  unread_.clear();
  try {
    sets_.ApriAgende();
    RecipientLists& batch = host_.Batch();
    batch.listCell.clear();
    batch.listScartiSms.clear();
    batch.list_id_agenda.clear();
    batch.listCellIncassi.clear();
    const auto excluded = ExcludedTables(host_.ExcludedAgendaTables());
    const auto& agenda_tables = sets_.AgendaTables();
    for (std::size_t n = 0; n < agenda_tables.size() && n < sets_.Agendas().size(); ++n) {
      for (const auto& line : agenda_tables[n]) {
        const std::string table = TableOfAgendaLine(line);
        if (!IsExcluded(excluded, table)) {
          SearchTableOrLog(line, n, range);
        } else if (host_.VisualMode() == 1) {
          // Its patients are not looked for: the agenda itself is listed.
          Discarded("Agenda", PrintableName(table), kExcludedAgenda);
        }
      }
    }
    if (!list_app_.empty()) {
      CercaContattiPazienti();
      for (const std::string& name : sets_.UnopenedPatients()) {
        unread_.push_back("archivio pazienti " + name);
      }
    }
    // The lists stay for the search's callers; their growth room goes before
    // the sending begins (a group's day is thousands of entries).
    list_app_.shrink_to_fit();
    list_id_agenda_.shrink_to_fit();
    list_incassi_.shrink_to_fit();
  } catch (const platform::Error& e) {
    // The databases (opening, statements), their credentials, the agenda
    // list file, or a row value that is no date or amount.
    log_.WriteLog(e.what());
    unread_.push_back(e.what());
  }
}

void RecipientSearch::SearchTableOrLog(const std::string& line, std::size_t n,
                                       const SearchRange& range) {
  try {
    CercaAppuntamentiTabella(line, n, range);
  } catch (const DatabaseError& e) {
    // A table that cannot be read (dropped, renamed, locked) costs only its
    // own appointments.
    const std::string table = PrintableName(TableOfAgendaLine(line));
    log_.WriteLog("Tabella agenda \"" + table + "\" non letta: " + e.what());
    unread_.push_back("tabella agenda " + table);
  }
}

void RecipientSearch::CercaAppuntamentiTabella(const std::string& line, std::size_t n,
                                               const SearchRange& range) {
  const std::string table = TableOfAgendaLine(line);
  if (!IsPlainTableName(table)) {
    log_.WriteLog("Tabella agenda ignorata, nome non valido: \"" + PrintableName(table) + "\"");
    return;
  }
  Connection& agenda = *sets_.Agendas().at(n);
  const bool payment_columns = host_.PaymentLinkState() != kPaymentLinksOff;
  std::tm d1 = platform::ToTm(range.from);
  std::tm d2 = platform::ToTm(range.to);
  try {
    soci::row row;
    soci::statement st = (agenda.Session().prepare << AgendaQuery(table, payment_columns),
                          soci::use(d1, "d1"), soci::use(d2, "d2"), soci::into(row));
    st.execute();
    while (st.fetch()) KeepAppointment(row, line, payment_columns);
  } catch (const soci::soci_error& e) {
    throw StatementError(agenda, e);
  }
  agenda.Commit();
}

void RecipientSearch::KeepAppointment(const soci::row& row, const std::string& line,
                             bool payment_columns) {
  const bool payment_data = host_.PaymentLinkState() == kPaymentLinksOn;
  const Currency incasso = payment_columns ? CurrencyOf(row, kIncasso) : 0;
  if (payment_data && host_.SkipZeroFees() && incasso == 0) return;

  const auto data = DateTimeOf(row, kData);
  const platform::TDateTime ora = DateTimeOf(row, kOra).value_or(0);
  const std::string key = FormatAppointmentKey(data.value_or(0), ora);
  const std::string badge = TextOf(row, kBadge);
  if (badge.empty()) return;  // the query leaves these out; a numeric badge cannot be ''

  TPazRec payment;
  if (payment_data) {
    payment.badge = badge;
    payment.fileguid = TextOf(row, kFileguid);
    payment.incasso = incasso;
    payment.id_linkpag = TextOf(row, kIdLinkpag);
    if (payment.id_linkpag.empty() && incasso != 0) {
      // A link made earlier whose row could not be written yet is the row's.
      if (auto kept = unrecorded_.LinkOf(AgendaTableOfLine(line), platform::ToTm(data.value_or(0)),
                                         platform::ToTm(ora))) {
        payment.id_linkpag = std::move(*kept);
      }
    }
  }
  const std::string entry = key + "=" + badge;

  const auto found = app_by_badge_.find(badge);
  if (found == app_by_badge_.end()) {
    app_by_badge_.emplace(badge, list_app_.size());
    list_app_.push_back(entry);
    list_id_agenda_.push_back(line);
    list_incassi_.push_back(std::move(payment));
    return;
  }
  // Each patient keeps the appointment with the earliest time of day (dates
  // are not compared); the first of two at the same time stays.
  const std::size_t i = found->second;
  const auto kept = MillisecondOfDay(OraDaChiave(NameOfEntry(list_app_[i])));
  if (kept != 0 && MillisecondOfDay(ora) < kept) {
    list_app_[i] = entry;
    list_id_agenda_[i] = line;
    list_incassi_[i] = std::move(payment);
  }
}

void RecipientSearch::EmptyEntry(std::size_t i) {
  app_by_badge_.erase(ValueOfEntry(list_app_[i]));
  list_app_[i].clear();
}

void RecipientSearch::Discarded(const std::string& surname, const std::string& first_name,
                                const char* reason) {
  host_.Batch().listScartiSms.push_back(surname + " " + first_name + reason);
}

}  // namespace oxsms::practice
