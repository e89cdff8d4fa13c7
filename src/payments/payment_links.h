// `OttieniLinkPag`: the payment link of an appointment's fee. A fee record
// that already carries a code gets its "/s/" address back without any
// request; otherwise a new payment is confirmed and created by the payment
// service through a TDMS made for this one call.
//
// Only the service thread calls. Everything referenced by the
// PaymentService must outlive the object.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "payments/payment_accounts.h"
#include "payments/tdms.h"
#include "practice/recipient_records.h"

namespace oxsms::payments {

// The practice's account at the maker's services (`UserConnect.User`,
// `UserConnect.Pwd`), read at each request: the settings are reloaded
// every tick.
struct AccountCredentials {
  std::string user;
  std::string pwd;
};

// The request of a new payment for the line `rec` and its fee `paz`, members
// in this order: "nominativo" (Cognome, a blank, Nome), "badge", "guid"
// (`fileguid`), "recapito_telefonico" (Cellulare), "nome" ("Pagamento"),
// "descrizione" ("Prestazione professionale"), "importo" (euros).
nlohmann::ordered_json RichiestaNuovoPagamento(const practice::TLineRec& rec, const practice::TPazRec& paz);

class PaymentLinks {
 public:
  using CredentialsSource = std::function<AccountCredentials()>;
  // The Stripe accounts (LINKPAG), read when a new payment is to be created;
  // may raise (the error is then that request's, see OttieniLinkPag).
  using AccountsReader = std::function<std::vector<PaymentAccount>()>;

  PaymentLinks(PaymentService service, CredentialsSource credentials, AccountsReader accounts);

  // `OttieniLinkPag`: with a code in `recIncasso.id_linkpag`, sets
  // `link_pag` to its "/s/" address (PaymentAddress) and returns it; no
  // request is made. Otherwise creates a payment; on success sets
  // `id_linkpag` ("link_breve") and `link_pag` ("tiny_url") and returns the
  // address. Returns "" and leaves the record unchanged when no link was
  // obtained; an error on the way (service down, empty reply, unreadable
  // accounts) is swallowed and logged as "Link di pagamento non ottenuto: "
  // + its message. Never raises.
  std::string OttieniLinkPag(const practice::TLineRec& rec, practice::TPazRec& recIncasso);

 private:
  // The created payment's JSON text, or "" when it could not be created
  // (the error is swallowed).
  std::string CreatePayment(const practice::TLineRec& rec, const practice::TPazRec& paz);

  PaymentService service_;
  CredentialsSource credentials_;
  AccountsReader accounts_;
};

}  // namespace oxsms::payments
