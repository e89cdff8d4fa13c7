// The tables of the payment-link catalogue in the configuration database:
// the state of the payment-link module (IMP_MODULE row 31), the practice's
// Stripe accounts (LINKPAG) and their predefined links (LINKPAG_DET). Keys
// come from the generators ID_LINKPAG_GEN and ID_LINKPAG_DET_GEN on Firebird
// and from AUTO_INCREMENT on MySQL. Values always travel as parameters.
//
// Writes happen inside a unit of work (Begin ... Commit, Rollback on an
// error): a refresh of the catalogue changes the tables whole or not at all.
// Every statement raises practice::DatabaseError with the database's name.
// Only one thread uses an object; the connection must outlive it.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "payments/payment_accounts.h"
#include "platform/date_time.h"
#include "practice/recipient_records.h"

namespace oxsms::practice {
class Connection;
}

namespace oxsms::payments {

// One row of LINKPAG_DET: a predefined payment link of an account.
struct PredefinedLink {
  long long id = 0;                // "ID"
  long long id_account = 0;        // "ID_ACCOUNT" = LINKPAG."ID"
  platform::TDateTime creato = 0;  // "CREATO"
  std::string nome;                // "NOME"
  std::string descrizione;         // "DESCRIZIONE"
  practice::Currency prezzo = 0;   // "PREZZO"
  std::string url_dashboard;       // "URL_DASHBOARD": the address given to patients
  std::string url;                 // "URL": the link's code at the service
};

// What the payment service says of one Stripe account ("ConnectAccount").
struct ServiceAccount {
  std::string id_account_stripe;
  std::string descrizione;
  std::string piva;
  bool attivo = false;  // "data_attivazione_connect" not empty
};

class CatalogueTables {
 public:
  explicit CatalogueTables(practice::Connection& connection) : connection_(connection) {}

  // "NUM_AUTOMATICA" of the IMP_MODULE row 31; 0 when the row is missing
  // or the value is NULL or unreadable.
  int ModuleState();

  // The accounts as ReadPaymentAccounts gives them.
  std::vector<PaymentAccount> Accounts();
  // The "ID" of the LINKPAG row of `id_account_stripe`, if any.
  std::optional<long long> AccountId(const std::string& id_account_stripe);
  // Deletes the account row and its predefined links.
  void DeleteAccount(long long id);
  void UpdateAccount(long long id, const ServiceAccount& account);
  void InsertAccount(const ServiceAccount& account);

  // The predefined links of one account, by "ID".
  std::vector<PredefinedLink> Links(long long id_account);
  // The link with that "ID", if any.
  std::optional<PredefinedLink> Link(long long id);
  void DeleteLinksOf(long long id_account);
  void DeleteLink(long long id);
  // Inserts `link` (its id is ignored) and returns the new "ID".
  long long InsertLink(const PredefinedLink& link);
  // Writes CREATO, NOME, DESCRIZIONE and PREZZO of the row `link.id`.
  void UpdateLink(const PredefinedLink& link);
  // Firebird: ID_LINKPAG_DET_GEN set to the highest "ID" left in
  // LINKPAG_DET (0 when none), so the next row takes the number after it.
  // MySQL keeps its AUTO_INCREMENT: nothing is done.
  void ResetLinkGenerator();

  // A unit of work. MySQL runs with autocommit, so Begin opens an explicit
  // transaction there; Firebird's statements always run in one.
  void Begin();
  void Commit();
  // Undoes the unit; never raises (a failure here leaves the unit to the
  // connection's end, which the caller's error already reports).
  void Rollback() noexcept;

 private:
  long long LastInsertedLink();
  practice::Connection& connection_;
};

}  // namespace oxsms::payments
