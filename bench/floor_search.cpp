#include "floor_search.h"

#include <soci/soci.h>

#include <algorithm>
#include <memory>
#include <unordered_set>
#include <vector>

#include "platform/date_time.h"
#include "practice/agenda_lines.h"
#include "practice/appointment_key.h"
#include "practice/connection.h"
#include "practice/contact_rules.h"
#include "practice/row_values.h"

namespace oxsms::bench {
namespace {

enum AgendaColumn : std::size_t { kBadge, kOra, kData, kIncasso, kFileguid, kIdLinkpag, kIdWeb };
enum PatientColumn : std::size_t { kPBadge, kCognome, kNome, kTelCell, kSms, kTelCell2, kEmail, kEmail2 };

struct Appointment {
  std::string key;  // "dd/mm/yyyy,hh.mm"
  long long millisecond = 0;
  std::string agenda_line;
  practice::TPazRec payment;
  bool served = false;
};

std::unique_ptr<practice::Connection> Open(const std::filesystem::path& file,
                                           const std::string& password) {
  auto c = std::make_unique<practice::Connection>();
  c->SetDriverName(practice::kDriverFirebird);
  c->SetParam("Database", file.string());
  c->SetParam("User_Name", "SYSDBA");
  c->SetParam("Password", password);
  c->Open();
  return c;
}

class Reader {
 public:
  explicit Reader(platform::TDateTime day) : day_(day) {}

  void ReadAgendaTable(practice::Connection& agenda, const std::string& line) {
    const std::string table = practice::TableOfAgendaLine(line);
    std::tm d1 = platform::ToTm(day_);
    std::tm d2 = d1;
    soci::row row;
    soci::statement st =
        (agenda.Session().prepare
             << "select BADGE,ORA,DATA,INCASSO_PREST,FILEGUID,ID_LINKPAG,ID_WEB from " + table +
                    " where ((badge is not null) and (badge <> '')) and data between :d1 and :d2",
         soci::use(d1, "d1"), soci::use(d2, "d2"), soci::into(row));
    st.execute();
    while (st.fetch()) Keep(row, line);
  }

  // Recipient lines of the patients of `patients` still waiting.
  void ReadPatients(practice::Connection& patients, int32_t database_index) {
    if (waiting_ == 0) return;
    soci::row row;
    soci::statement st =
        (patients.Session().prepare
             << "select BADGE,COGNOME,NOME,TELCELL,SMS,TELCELL2,EMAIL,EMAIL2 from ANAGRAFICA",
         soci::into(row));
    st.execute();
    while (st.fetch()) {
      const auto found = by_badge_.find(practice::TextOf(row, kPBadge));
      if (found == by_badge_.end() || appointments_[found->second].served) continue;
      Serve(row, appointments_[found->second], database_index);
    }
  }

  FloorRecipients Take() { return std::move(result_); }

 private:
  void Keep(const soci::row& row, const std::string& line) {
    const platform::TDateTime data = practice::DateTimeOf(row, kData).value_or(0);
    const platform::TDateTime ora = practice::DateTimeOf(row, kOra).value_or(0);
    const std::string badge = practice::TextOf(row, kBadge);
    Appointment a;
    a.key = practice::FormatAppointmentKey(data, ora);
    a.millisecond = practice::MillisecondOfDay(ora);
    a.agenda_line = line;
    a.payment.badge = badge;
    a.payment.fileguid = practice::TextOf(row, kFileguid);
    a.payment.incasso = practice::CurrencyOf(row, kIncasso);
    a.payment.id_linkpag = practice::TextOf(row, kIdLinkpag);
    const std::string code = practice::TextOf(row, kIdWeb);
    if (!code.empty()) {
      const auto comma = a.key.find(',');
      result_.stored_codes[StoredCodeKey(line, a.key.substr(0, comma), a.key.substr(comma + 1))] =
          code;
    }
    // One appointment per patient: the earliest of the day, the first of
    // two at the same time.
    const auto [it, added] = by_badge_.emplace(badge, appointments_.size());
    if (added) {
      appointments_.push_back(std::move(a));
      ++waiting_;
    } else if (a.millisecond < appointments_[it->second].millisecond) {
      appointments_[it->second] = std::move(a);
    }
  }

  void Serve(const soci::row& row, Appointment& a, int32_t database_index) {
    a.served = true;
    --waiting_;
    const long consent = static_cast<long>(practice::IntegerOf(row, kSms).value_or(0));
    const std::string surname = practice::TextOf(row, kCognome);
    const std::string first_name = practice::TextOf(row, kNome);
    std::string mobile1 = practice::TextOf(row, kTelCell);
    if (practice::ConsentAllowsSms(consent) && !mobile1.empty()) {
      std::string mobile2 = practice::TextOf(row, kTelCell2);
      a.payment.idxFilePaz = database_index;
      practice::RecipientLists& lists = result_.lists;
      const auto add = [&](const std::string& number, const std::string& id_agenda) {
        lists.listCell.push_back(practice::FormatRecipientLine(surname, first_name, number, a.key));
        lists.list_id_agenda.push_back(id_agenda);
        lists.listCellIncassi.push_back(a.payment);
      };
      practice::PulisciNumero(mobile1);
      if (!mobile1.empty()) add(mobile1, a.agenda_line);
      if (!mobile2.empty()) {
        practice::PulisciNumero(mobile2);
        add(mobile2, mobile1.empty() ? a.agenda_line : "same");
      }
    }
    if (practice::ConsentAllowsEmail(consent)) {
      for (const std::size_t column : {kEmail, kEmail2}) {
        const std::string address = practice::TextOf(row, column);
        if (address.empty()) continue;
        result_.email_lines.push_back(
            practice::FormatRecipientLine(surname, first_name, address, a.key));
      }
    }
  }

  platform::TDateTime day_;
  std::vector<Appointment> appointments_;
  std::unordered_map<std::string, std::size_t> by_badge_;
  std::size_t waiting_ = 0;
  FloorRecipients result_;
};

}  // namespace

std::string StoredCodeKey(const std::string& agenda_line, const std::string& date,
                          const std::string& time) {
  std::string dotted = time;
  std::replace(dotted.begin(), dotted.end(), ':', '.');
  return practice::TableOfAgendaLine(agenda_line) + "|" + date + "|" + dotted;
}

FloorRecipients ReadFloorRecipients(const PracticePlan& plan, platform::TDateTime day) {
  Reader reader(day);
  for (const auto& agenda : plan.agendas) {
    auto connection = Open(agenda.file, plan.db_password);
    for (const auto& line : agenda.lines) reader.ReadAgendaTable(*connection, line);
  }
  for (std::size_t k = 0; k < plan.patient_files.size(); ++k) {
    auto connection = Open(plan.patient_files[k], plan.db_password);
    reader.ReadPatients(*connection, static_cast<int32_t>(k));
  }
  return reader.Take();
}

}  // namespace oxsms::bench
