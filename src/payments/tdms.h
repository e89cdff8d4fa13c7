// `TDMS`: the client of the maker's payment service. Every call goes through
// `RestPostVelk`, which adds the practice's account ("user", "pwd"), posts to
// "/rest/<endpoint>" of the payment host under the maker's JSON conventions
// (net/maker_rest.h) and sorts the reply into done or refused.
//
// The desktop's clipboard and message box do not exist in the service: the
// raw text of a refused reply and the message meant for the operator go to
// the activity log (the message through the operator prompt), with the
// account password and the API key masked. The credentials come from the
// creator: the desktop's hand-over of them does not exist here.
//
// One TDMS serves one caller at a time; everything referenced by its
// PaymentService must outlive it.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "net/http_client.h"
#include "net/maker_rest.h"
#include "payments/payment_accounts.h"
#include "payments/payment_confirmation.h"
#include "platform/activity_log.h"
#include "platform/operator_prompt.h"
#include "practice/recipient_records.h"

namespace oxsms::payments {

// Endpoints of the payment service (under "/rest/").
inline constexpr const char* kListaAccount = "lista_account.json";
inline constexpr const char* kListaLinkPagamento = "lista_link_pagamento.json";
inline constexpr const char* kCreaUrlPagamento = "crea_url_pagamento.json";
inline constexpr const char* kCreaLinkPagamento = "crea_link_pagamento.json";
inline constexpr const char* kModificaLinkPagamento = "modifica_link_pagamento.json";
inline constexpr const char* kCancellaLinkPagamento = "cancella_link_pagamento.json";
inline constexpr const char* kListaPagamenti = "lista_pagamenti.json";
inline constexpr const char* kEseguiRimborso = "esegui_rimborso.json";
inline constexpr const char* kListaTrasferimenti = "lista_trasferimenti.json";

// Texts of the payment status.
inline constexpr const char* kPagamentoNonEffettuato = "Il pagamento non è stato effettuato.";
inline constexpr const char* kPagamentoEffettuato = "Il pagamento è stato effettuato il ";
inline constexpr const char* kPagamentoRimborsato = "\r\n\nIl pagamento è stato rimborsato il ";

// What a TDMS talks through.
struct PaymentService {
  net::MakerService endpoint;  // the payment host's base address and the API key
  net::HttpClient& http;
  platform::ActivityLog& log;
  platform::OperatorPrompt& operator_prompt;  // the message box
  PaymentConfirmer& confirmer;                // "Conferma dati di pagamento"
};

class TDMS {
 public:
  explicit TDMS(PaymentService service) : service_(service) {}

  // The practice's account at the maker's services (`UserConnect.User`,
  // `UserConnect.Pwd`). Secrets: never logged.
  std::string usr;
  std::string pwd;

  // `RestPostVelk`: posts `param` (null = an empty object) with "user" and
  // "pwd" set from usr and pwd, replacing any given, to endpoint `u`.
  // Returns the reply object when its "codice" is 1; nothing for a reply
  // that is not a JSON object (its HTTP status logged, shown nowhere), nor
  // for a refused one, whose
  // text is logged, and whose "response_message" is shown to the operator
  // when `showmsg` is set and "codice" is neither 0 nor absent. Raises
  // PaymentError "Errore del server <host>" for an empty reply and
  // net::HttpError for a transport failure; a `param` that is not an object
  // raises PaymentError.
  std::optional<nlohmann::json> RestPostVelk(const std::string& u, nlohmann::ordered_json param,
                                             bool showmsg);

  // `GeneraPagamentoDaJson`: confirms the payment data of the request
  // `strJson` (see PaymentLinks), creates the payment with
  // "crea_url_pagamento.json" crediting the current account of
  // `DSFDLinkPag` (the first, or the first whose intestazione the request
  // names), and returns the compact JSON text of the created payment object
  // ("link_breve", "tiny_url", ... plus "nome", "prezzo", "descrizione"), or
  // "" when the confirmation was cancelled, the account has no Stripe id
  // ("Account stripe non trovato in configurazione" to the operator) or the
  // service refused. Raises for a malformed request and as RestPostVelk.
  std::string GeneraPagamentoDaJson(const std::vector<PaymentAccount>& DSFDLinkPag,
                                    const std::string& strJson);

  // `StatoPagamento`: whether the payment of `link_breve` was made
  // ("lista_pagamenti.json", the code sent without "-1"). Sets `str` to the
  // status text and `fee` to the service's fee (0 when not made). A reply
  // that cannot be read counts as not made; RestPostVelk's errors propagate.
  bool StatoPagamento(const std::string& link_breve, std::string& str, practice::Currency& fee);

  // `StornaPagamento`: asks for the refund of `link_breve`; with `showmsg`
  // the service's "response_message" of a refund done goes to the operator.
  void StornaPagamento(const std::string& link_breve, bool showmsg);

  // `ListaPagamenti`, `ListaAccrediti`: post the JSON object text `str` to
  // "lista_pagamenti.json" (a "link_breve" in it loses every "-1") and
  // "lista_trasferimenti.json"; the reply with "codice" 1, else nothing.
  // Raises PaymentError when `str` is not a JSON object.
  std::optional<nlohmann::json> ListaPagamenti(const std::string& str);
  std::optional<nlohmann::json> ListaAccrediti(const std::string& str);

 private:
  // The text with the password and the API key masked, for the log.
  std::string Masked(std::string text) const;

  PaymentService service_;
};

}  // namespace oxsms::payments
