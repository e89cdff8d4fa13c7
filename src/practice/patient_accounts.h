// The steps on a patient database that the payment-link bookkeeping needs:
// the database's fileguid, a patient's code by badge, the patient record
// that an accounting entry goes to, and the accounting entry of a payment
// link (table CONTAB, tipo 14, the link identifier in PEC). Values travel as
// bound parameters; each function connects and ends its unit of work through
// `units` (committed together with the units around it, and at the latest
// when the connection closes) and raises DatabaseError (naming the database,
// without secrets) when a statement fails.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/date_time.h"
#include "practice/commit_window.h"
#include "practice/connection.h"
#include "practice/recipient_records.h"

namespace oxsms::practice {

// `TPazRec.idxFilePaz` of an entry without a patient database.
inline constexpr int32_t kNoPatientDatabaseIndex = 100;

// Accounting entries of payment links have this CONTAB.tipo.
inline constexpr int kLinkPaymentEntryType = 14;
// Their CONTAB.descrizione.
inline constexpr const char* kLinkPaymentDescription = "Link pagamento da agenda";

// `fileguid` of the database's IMPOSTAZIONI (first row); empty when there is
// no row or it is NULL.
std::string ReadFileguid(Connection& patients, CommitWindow& units);

// ANAGRAFICA.codice_cliente of the patient with `badge`; nullopt when there
// is no such patient or the code is NULL.
std::optional<int> CodiceClienteOf(Connection& patients, CommitWindow& units,
                                   const std::string& badge);

// The patient record (CARTELLE.numero_cartella) for a new entry: the first
// active one by View_order and then the most recent Data_Apertura; failing
// that, the first of all records in the same order; nullopt when the patient
// has none.
std::optional<int> NumeroCartellaOf(Connection& patients, CommitWindow& units,
                                    int codice_cliente);

// The CONTAB entry of a payment link.
struct LinkPaymentEntry {
  int codice_cliente = 0;
  int numero_cartella = 0;
  platform::TDateTime data = 0;  // the day of the entry
  Currency importo = 0;
  std::string id_linkpag;  // PEC
  std::string link_pag;    // SCANDOC
};

// Appends the entry unless the patient record already has a tipo 14 entry
// for the same link; true when it appended. AUTOID comes from the generator
// "COD_CONTAB_GEN" on Firebird and from AUTO_INCREMENT on MySQL. The amount
// is written from its decimal text, without a detour through floating point.
bool AddLinkPaymentEntry(Connection& patients, CommitWindow& units,
                         const LinkPaymentEntry& entry);

// An amount as decimal text with four decimals: 502500 gives "50.2500",
// -5 gives "-0.0005".
std::string CurrencyText(Currency amount);

}  // namespace oxsms::practice
