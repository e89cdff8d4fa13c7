// The bookkeeping of a created payment link: its identifier in the agenda row
// of the appointment, and the amount in the patient's accounts.
#include "practice/agenda_lines.h"
#include "practice/link_bookkeeping.h"
#include "practice/patient_accounts.h"
#include "practice/search_database.h"

namespace oxsms::practice {
namespace {

constexpr const char* kSalvaLinkPag = "SalvaLinkPag";

// Identifiers of links that the payment service did not really create end so.
bool IsPlaceholderLink(const std::string& id_linkpag) {
  return id_linkpag.size() >= 2 && id_linkpag.compare(id_linkpag.size() - 2, 2, "-1") == 0;
}

std::string LinkUpdate(const std::string& table) {
  return "update " + table +
         " set id_linkpag = :id_linkpag  where data= :d and ora= :o and id_linkpag is null";
}

}  // namespace

void LinkBookkeeping::SalvaLinkPag(const TLineRec& rec, const TPazRec& IncassoRec) {
  // An empty identifier would mark the row as linked and hide the fee from
  // every later scan.
  if (IncassoRec.id_linkpag.empty() || IsPlaceholderLink(IncassoRec.id_linkpag)) return;
  const std::string table = BookkeepingTable(rec.id_agenda, kSalvaLinkPag);
  if (table.empty()) return;
  TLineRec slot;  // what the write reads of the line
  slot.Data = rec.Data;
  slot.Ora = rec.Ora;
  queue_.Defer([this, table, slot = std::move(slot), IncassoRec] {
    WriteLinkPayment(table, slot, IncassoRec);
  });
}

void LinkBookkeeping::WriteLinkPayment(const std::string& table, const TLineRec& rec,
                              const TPazRec& IncassoRec) {
  // A send records each link twice (its SMS and its WhatsApp message): the
  // second time the update finds the row linked and the entry present, so a
  // record that went through completely is not written again.
  const std::string recorded = RecordedLinkKey(table, rec, IncassoRec);
  if (recorded_links_.count(recorded) != 0) return;

  bool agenda_done = false;
  std::optional<AgendaRowKey> row;
  try {
    row = RowKeyOf(rec.Data, rec.Ora);
  } catch (const platform::DataError& e) {
    log_.WriteLog(std::string(kSalvaLinkPag) + ": agenda non aggiornata: " + e.what());
  }
  if (row && OpenAgendasQuietly(kSalvaLinkPag, /*log_failure=*/true)) {
    agenda_done = UpdateAgendaRows(LinkUpdate(table), {kSalvaLinkPag, table, "id_linkpag",
                                                       IncassoRec.id_linkpag, *row});
  }
  if (row && !agenda_done) {
    // The row held at the desk or its database out of reach: kept until a
    // later run writes it, and meanwhile read as the row's link.
    unrecorded_.Add({table, row->data, row->ora, IncassoRec.id_linkpag, clock_.Now()});
  }
  try {
    RecordLinkPayment(IncassoRec);
  } catch (const platform::Error& e) {  // the patient database, its rows, its credentials
    log_.WriteLog(std::string(kSalvaLinkPag) + ": movimento contabile non registrato: " +
                  e.what());
    return;
  }
  if (agenda_done) recorded_links_.insert(recorded);
}

void LinkBookkeeping::RecordKeptLinks() noexcept {
  if (kept_links_written_) return;
  kept_links_written_ = true;
  // UpdateAgendaRows logs what it could not write; the file's own failures
  // are logged by UnrecordedLinks.
  unrecorded_.WriteKept(clock_.Now(), [this](const UnrecordedLink& link) {
    if (!OpenAgendasQuietly(kSalvaLinkPag, /*log_failure=*/true)) return false;
    const bool written = UpdateAgendaRows(
        LinkUpdate(link.table),
        {kSalvaLinkPag, link.table, "id_linkpag", link.id_linkpag, {link.data, link.ora}});
    if (written) log_.WriteLog("Link di pagamento " + link.id_linkpag + " registrato in agenda");
    return written;
  });
}

std::string LinkBookkeeping::RecordedLinkKey(const std::string& table, const TLineRec& rec,
                                    const TPazRec& IncassoRec) {
  std::string key = table;
  // The address and the amount are written only with a new accounting
  // entry, which a repeat never makes: they are not part of the key.
  for (const std::string* part :
       {&rec.Data, &IncassoRec.id_linkpag, &IncassoRec.badge, &IncassoRec.fileguid}) {
    key.append(1, '\x1f').append(*part);
  }
  key.append(1, '\x1f').append(TimeWithDots(rec.Ora));
  key.append(1, '\x1f').append(std::to_string(IncassoRec.idxFilePaz));
  return key;
}

void LinkBookkeeping::RecordLinkPayment(const TPazRec& IncassoRec) {
  if (IncassoRec.idxFilePaz == kNoPatientDatabaseIndex) return;
  sets_.ApriFilePazienti();
  Connection* patients = PatientDatabaseOf(IncassoRec);
  if (patients == nullptr) return;
  // The search read the code with the patient's contacts, by the same badge.
  const auto known = codes_.find({patients, IncassoRec.badge});
  const auto code = known != codes_.end() ? known->second
                                          : CodiceClienteOf(*patients, units_, IncassoRec.badge);
  if (!code) return;
  const auto record = NumeroCartellaOf(*patients, units_, *code);
  if (!record) return;
  LinkPaymentEntry entry;
  entry.codice_cliente = *code;
  entry.numero_cartella = *record;
  entry.data = platform::DateOf(clock_.Now());
  entry.importo = IncassoRec.incasso;
  entry.id_linkpag = IncassoRec.id_linkpag;
  entry.link_pag = IncassoRec.link_pag;
  AddLinkPaymentEntry(*patients, units_, entry);
}

Connection* LinkBookkeeping::PatientDatabaseOf(const TPazRec& IncassoRec) {
  const auto& databases = sets_.Patients();
  if (IncassoRec.idxFilePaz < 0 ||
      static_cast<std::size_t>(IncassoRec.idxFilePaz) >= databases.size()) {
    throw DatabaseError("Archivio pazienti " + std::to_string(IncassoRec.idxFilePaz) +
                        " non aperto");
  }
  Connection& assigned = *databases[static_cast<std::size_t>(IncassoRec.idxFilePaz)].connection;
  if (FileguidOf(assigned) == IncassoRec.fileguid) return &assigned;
  // The entry's patient database has moved in the list: find it again by its
  // identifier, so the entry never lands in another practice's accounts.
  for (const auto& database : databases) {
    Connection& candidate = *database.connection;
    if (FileguidOf(candidate) == IncassoRec.fileguid) return &candidate;
    CloseQuietly(candidate);
  }
  return nullptr;
}

const std::string& LinkBookkeeping::FileguidOf(Connection& patients) {
  // A connection of the search object stays on one database file for the
  // object's life, so its identifier does not change under it.
  if (const auto found = fileguids_.find(&patients); found != fileguids_.end()) {
    return found->second;
  }
  return fileguids_.emplace(&patients, ReadFileguid(patients, units_)).first->second;
}

}  // namespace oxsms::practice
