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

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "net/http_client.h"
#include "net/maker_rest.h"
#include "payments/catalogue_tables.h"
#include "payments/payment_accounts.h"
#include "payments/payment_confirmation.h"
#include "platform/activity_log.h"
#include "platform/clock.h"
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

// What the operator confirmed in "Nuovo Link di Pagamento".
struct LinkDialogAnswer {
  std::string nome;
  std::string descrizione;
  practice::Currency prezzo = 0;
};

// The suite's companion library "OXAgSms.dll", which sends a predefined
// payment link to a patient (`WhatsAppSendResult`). It lies outside this
// program: the desktop provides it; where it is missing the caller passes
// none.
class CompanionLibrary {
 public:
  virtual ~CompanionLibrary() = default;
  // The seven arguments of the export, in its order.
  virtual void WhatsAppSendResult(const std::string& badge, const std::string& cognome,
                                  const std::string& nome, const std::string& cell,
                                  const std::string& json_text, int flags,
                                  const std::string& kind) = 0;
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
  // Returns whether the service did it.
  bool StornaPagamento(const std::string& link_breve, bool showmsg);

  // `ListaPagamenti`, `ListaAccrediti`: post the JSON object text `str` to
  // "lista_pagamenti.json" (a "link_breve" in it loses every "-1") and
  // "lista_trasferimenti.json"; the reply with "codice" 1, else nothing.
  // Raises PaymentError when `str` is not a JSON object.
  std::optional<nlohmann::json> ListaPagamenti(const std::string& str);
  std::optional<nlohmann::json> ListaAccrediti(const std::string& str);

  // The catalogue of Stripe accounts and predefined links (tdms_catalogue.cpp).

  // `SetDatabaseConfig`: the catalogue lives in the configuration database
  // `conn` (which must outlive this object); `clock` dates new and changed
  // links. Reads the module's state: NUM_AUTOMATICA of IMP_MODULE row 31 (0
  // when missing or unreadable), and 0 when it is 1 but LINKPAG has no row.
  // Raises practice::DatabaseError when the tables cannot be read.
  void SetDatabaseConfig(practice::Connection& conn, const platform::Clock& clock);
  // The state read by SetDatabaseConfig: 1 = payment links in use.
  int StatoLinkPag() const { return stato_; }
  // `LinkPagMsg`: whether predefined links may be offered (state 1).
  bool LinkPagMsg() const { return stato_ == 1; }

  // The accounts and the predefined links of one account, as the desktop's
  // datasets show them.
  std::vector<PaymentAccount> Accounts();
  std::vector<PredefinedLink> Links(const PaymentAccount& account);

  // `CaricaAccountVelk`: LINKPAG brought in step with "lista_account.json".
  // An account the service reports as no longer existing is deleted with its
  // links when the table has it, and never added; any other is updated or
  // added (DESCRIZIONE, IVA, STATO 1 once activated, else 0). Returns false,
  // changing nothing, when the service refused. Raises as RestPostVelk and
  // practice::DatabaseError (nothing written then).
  bool CaricaAccountVelk();

  // `RicaricaLink`: the predefined links of `account` replaced by those of
  // "lista_link_pagamento.json"; on Firebird ID_LINKPAG_DET_GEN is first set
  // to the highest ID left, so the reloaded rows follow it (and set back to
  // the highest ID when the reload fails halfway). Returns the links now
  // stored, or nothing (no change) when the service refused. Raises
  // PaymentError for a reply it cannot read and practice::DatabaseError,
  // changing no row.
  std::optional<std::vector<PredefinedLink>> RicaricaLink(const PaymentAccount& account);

  // `GestioneLink`: creates (`changed` null, "crea_link_pagamento.json") or
  // changes (`changed` a link of `account`, "modifica_link_pagamento.json")
  // a predefined link with what the operator confirmed in `answer`. An
  // empty name is refused with "Nome non definito" to the operator and no
  // request. Returns the row as stored, or nothing when refused.
  std::optional<PredefinedLink> GestioneLink(const PaymentAccount& account,
                                             const PredefinedLink* changed,
                                             const LinkDialogAnswer& answer);

  // `EliminaLink`: asks the service to delete `link` (when it has a code)
  // and deletes the row. A refusal still deletes the row (a link the service
  // does not know is gone there already; one it still has comes back with
  // the next RicaricaLink); a transport error raises and leaves it. Returns
  // whether the service confirmed, or true for a link without code.
  bool EliminaLink(const PaymentAccount& account, const PredefinedLink& link);

  // `GetLinkPagamentoStatico`: with LinkPagMsg, the address of the
  // predefined link the operator chose (`chosen`: its ID; nothing = the
  // operator cancelled). "Link di pagamento predefiniti non trovati" to the
  // operator when no account has one. "" otherwise.
  std::string GetLinkPagamentoStatico(const std::optional<long long>& chosen);

  // `GeneraPagamentoStatico`: as GetLinkPagamentoStatico, then hands
  // {"link_pag", "descrizione"} of the chosen link to `companion` with the
  // patient's badge, names and number. Always returns "". Raises PaymentError
  // "Impossibile aprire OXAgSms.dll" when there is no companion.
  std::string GeneraPagamentoStatico(const std::string& lpbdg, const std::string& cognome,
                                     const std::string& nome, const std::string& lpcell,
                                     const std::optional<long long>& chosen,
                                     CompanionLibrary* companion);

 private:
  // The configuration database's catalogue; raises PaymentError before
  // SetDatabaseConfig.
  CatalogueTables& Tables();
  // The chosen predefined link of an account in LINKPAG, or nothing (with
  // the operator told why).
  std::optional<PredefinedLink> ChosenLink(const std::optional<long long>& chosen);

  // The text with the password and the API key masked, for the log.
  std::string Masked(std::string text) const;

  PaymentService service_;
  std::optional<CatalogueTables> tables_;
  const platform::Clock* clock_ = nullptr;
  int stato_ = 0;
};

}  // namespace oxsms::payments
