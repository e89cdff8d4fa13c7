// The patient contact lookup: each patient of the appointment
// search is looked up by badge in the patient databases, in order, and every
// usable mobile number and email address becomes a recipient line.
#include "practice/agenda_lines.h"
#include "practice/contact_query.h"
#include "practice/contact_rules.h"
#include "practice/patient_query.h"
#include "practice/recipient_search.h"

namespace oxsms::practice {
namespace {

constexpr const char* kSameAppointment = "same";
constexpr int16_t kVisual = 1;

std::unique_ptr<ContactQuery> PrepareContactQuery(const PatientDatabase& db,
                                                  const platform::Installation& installation) {
  Connection& c = *db.connection;
  const std::string key = ColumnKeyFor(c, installation);
  return std::make_unique<ContactQuery>(c, db.tag == 1, key, KeyInsideQuotes(key));
}

}  // namespace

void ProbeContactLookup(const PatientDatabase& db, const platform::Installation& installation) {
  // No patient has an empty badge: the statement runs, and finds nothing.
  PrepareContactQuery(db, installation)->Find("");
}

void RecipientSearch::CercaContattiPazienti() {
  sets_.ApriFilePazienti();
  const auto& patients = sets_.Patients();
  if (patients.empty()) throw DatabaseError(kNoPatientDatabase);
  for (std::size_t k = 0; k < patients.size(); ++k) {
    std::unique_ptr<ContactQuery> query;
    // The patients still without contacts, a chunk at a time, served in the
    // order of the search; one not found may be in a later database.
    std::vector<std::size_t> pending;
    std::vector<std::string> badges;
    const auto serve_pending = [&] {
      if (pending.empty()) return;
      if (!query) query = PrepareContactQuery(patients[k], ctx_.installation);
      const auto contacts = query->FindChunk(badges);
      for (std::size_t j = 0; j < pending.size(); ++j) {
        if (contacts[j]) ServeContact(*contacts[j], patients[k], k, pending[j]);
      }
      pending.clear();
      badges.clear();
    };
    for (std::size_t i = 0; i < list_app_.size(); ++i) {
      std::string badge = ValueOfEntry(list_app_[i]);
      if (badge.empty()) continue;
      pending.push_back(i);
      badges.push_back(std::move(badge));
      if (pending.size() == ContactQuery::kChunk) serve_pending();
    }
    serve_pending();
    if (query) {
      query.reset();
      patients[k].connection->Commit();
    }
  }
}

void RecipientSearch::CercaContatti(std::size_t k, std::size_t i) {
  const PatientDatabase& database = sets_.Patients().at(k);
  auto query = PrepareContactQuery(database, ctx_.installation);
  if (const auto contact = query->Find(ValueOfEntry(list_app_.at(i)))) {
    ServeContact(*contact, database, k, i);
  }
  query.reset();
  database.connection->Commit();
}

void RecipientSearch::ServeContact(const PatientContact& patient, const PatientDatabase& database,
                          std::size_t k, std::size_t i) {
  const bool second_contacts = database.tag == 1;
  const long code = patient.sms;
  std::string mobile1 = patient.telcell;
  const std::string& email1 = patient.email;
  std::string mobile2 = second_contacts ? patient.telcell2 : std::string();
  const std::string email2 = second_contacts ? patient.email2 : std::string();
  const std::string& surname = patient.cognome;
  const std::string& first_name = patient.nome;
  const std::string key = NameOfEntry(list_app_[i]);
  const std::string agenda_line = i < list_id_agenda_.size() ? list_id_agenda_[i] : std::string();
  // The payment bookkeeping of an appointment with a fee asks for the same
  // code again.
  if (list_incassi_.at(i).incasso != 0) {
    codes_[{database.connection.get(), ValueOfEntry(list_app_[i])}] =
        patient.codice_cliente;
  }

  // Every recipient line gets its agenda line and payment record at the same
  // index of the batch.
  RecipientLists& batch = host_.Batch();
  auto add = [&](const std::string& contact, const std::string& id_agenda) {
    batch.listCell.push_back(FormatRecipientLine(surname, first_name, contact, key));
    batch.list_id_agenda.push_back(id_agenda);
    batch.listCellIncassi.push_back(list_incassi_.at(i));
  };

  if (trova_sms_ && ConsentAllowsSms(code) && !mobile1.empty()) {
    PulisciNumero(mobile1);
    if (!mobile1.empty()) {
      list_incassi_.at(i).idxFilePaz = static_cast<int32_t>(k);
      add(mobile1, agenda_line);
    }
    // A second number is used only when the first field was filled.
    if (!mobile2.empty()) {
      PulisciNumero(mobile2);
      list_incassi_.at(i).idxFilePaz = static_cast<int32_t>(k);
      add(mobile2, mobile1.empty() ? agenda_line : kSameAppointment);
    }
  }
  const bool visual = host_.VisualMode() == kVisual;
  if (visual && trova_sms_ && ConsentAllowsSms(code) && mobile1.empty()) {
    Discarded(surname, first_name, " Manca Cellulare");
  }
  if (trova_email_ && ConsentAllowsEmail(code)) {
    if (!email1.empty()) add(email1, agenda_line);
    if (!email2.empty()) add(email2, email1.empty() ? agenda_line : kSameAppointment);
  }
  if (visual && (!mobile1.empty() || !email1.empty()) && code == 0) {
    Discarded(surname, first_name, " Non abilitato invio");
  }
  EmptyEntry(i);
}

}  // namespace oxsms::practice
