// The birthday search: patients whose birthday lies in the range,
// from every patient database.
#include <soci/soci.h>

#include "practice/contact_rules.h"
#include "practice/patient_query.h"
#include "practice/patient_statements.h"
#include "practice/recipient_search.h"
#include "practice/row_values.h"
#include "practice/search_database.h"

namespace oxsms::practice {
namespace {

constexpr int16_t kVisual = 1;

}  // namespace

void RecipientSearch::RicercaCompleanni(const SearchRange& range, bool trovaSms,
                                        bool trovaEmail) {
  trova_sms_ = trovaSms;
  trova_email_ = trovaEmail;
  unread_.clear();
  sets_.ApriFilePazienti();
  if (sets_.Patients().empty()) throw DatabaseError(kNoPatientDatabase);
  for (const std::string& name : sets_.UnopenedPatients()) {
    unread_.push_back("archivio pazienti " + name);
  }
  for (std::size_t k = 0; k < sets_.Patients().size(); ++k) {
    try {
      CercaCompleanniFile(k, range);
    } catch (const DatabaseError& e) {
      // A patient database that cannot be read (a column missing, a lost
      // link) costs only its own patients.
      log_.WriteLog(e.what());
      unread_.push_back("archivio pazienti " + sets_.Patients()[k].connection->DatabaseName());
    }
  }
}

void RecipientSearch::CercaCompleanniFile(std::size_t k, const SearchRange& range) {
  Connection& c = *sets_.Patients().at(k).connection;
  const std::string key = ColumnKeyFor(c, ctx_.installation);
  const int month = platform::DecodeDate(range.from).month;
  const bool one_month = month == platform::DecodeDate(range.to).month;
  const std::string sql = BirthdayStatement(!c.IsFirebird(), key, one_month);
  RecipientLists& batch = host_.Batch();
  const bool visual = host_.VisualMode() == kVisual;
  try {
    soci::row row;
    int month_param = month;
    soci::statement st = one_month ? (c.Session().prepare << sql, soci::use(month_param, "mese"),
                                      soci::into(row))
                                   : (c.Session().prepare << sql, soci::into(row));
    st.execute();
    while (st.fetch()) {
      const auto birth = DateTimeOf(row, BirthdayColumns::kNascita);
      if (!birth || !CompleannoNelPeriodo(range.to, range.from, *birth)) continue;
      const long code = static_cast<long>(IntegerOf(row, BirthdayColumns::kSms).value_or(0));
      std::string mobile = TextOf(row, BirthdayColumns::kTelCell);
      const std::string email = TextOf(row, BirthdayColumns::kEmail);
      const std::string surname = TextOf(row, BirthdayColumns::kCognome);
      const std::string first_name = TextOf(row, BirthdayColumns::kNome);
      const std::string born = platform::FormatDate(*birth);
      if (trova_sms_ && ConsentAllowsSms(code) && !mobile.empty()) {
        PulisciNumero(mobile);
        batch.listCell.push_back(FormatRecipientLine(surname, first_name, mobile, born));
        batch.list_id_agenda.emplace_back();
      }
      if (trova_email_ && ConsentAllowsEmail(code) && !email.empty()) {
        batch.listCell.push_back(FormatRecipientLine(surname, first_name, email, born));
        batch.list_id_agenda.emplace_back();
      }
      if (visual && trova_email_ && ConsentAllowsEmail(code) && email.empty()) {
        Discarded(surname, first_name, " Manca Email");
      }
      if (visual && (!mobile.empty() || !email.empty()) && code == 0) {
        Discarded(surname, first_name, " Non abilitato invio");
      }
    }
  } catch (const soci::soci_error& e) {
    throw StatementError(c, e, KeyInsideQuotes(key));
  }
  c.Commit();
}

}  // namespace oxsms::practice
