// The catalogue operations of TDMS: the practice's Stripe accounts and
// predefined payment links kept in step with the payment service, and the
// choice of a predefined link.
#include <utility>

#include "payments/payment_amount.h"
#include "payments/payment_error.h"
#include "payments/payment_json.h"
#include "payments/tdms.h"
#include "platform/base64.h"
#include "practice/connection.h"

namespace oxsms::payments {

using nlohmann::json;
using nlohmann::ordered_json;

namespace {

constexpr const char* kNomeNonDefinito = "Nome non definito";
constexpr const char* kAccountNonTrovato = "Account stripe non trovato in configurazione";
constexpr const char* kLinkNonTrovati = "Link di pagamento predefiniti non trovati";
constexpr const char* kLinkNonTrovato = "Link di pagamento predefinito non trovato";
constexpr const char* kCompanionMissing = "Impossibile aprire OXAgSms.dll";

// The array "dati" of a reply, or PaymentError naming the endpoint.
const json& DataArray(const json& reply, const char* endpoint) {
  const auto dati = reply.find("dati");
  if (dati == reply.end() || !dati->is_array()) {
    throw PaymentError(std::string("Risposta del servizio di pagamento senza elenco (") + endpoint +
                       ")");
  }
  return *dati;
}

// Member `name` of element `element` of "dati", which must be an object.
const json& Entry(const json& element, const char* name, const char* endpoint) {
  const auto it = element.is_object() ? element.find(name) : element.end();
  if (!element.is_object() || it == element.end() || !it->is_object()) {
    throw PaymentError(std::string("Risposta del servizio di pagamento non leggibile (") +
                       endpoint + "): manca " + name);
  }
  return *it;
}

std::string DecodedText(const json& object, const char* name, const char* endpoint) {
  const std::optional<std::string> text = platform::TryDecodeBase64(MemberText(object, name));
  if (!text) {
    throw PaymentError(std::string("Risposta del servizio di pagamento non leggibile (") +
                       endpoint + "): " + name + " non è base64");
  }
  return *text;
}

// The links of a "lista_link_pagamento.json" reply, all read before any row
// is touched: an unreadable element changes nothing.
std::vector<PredefinedLink> ServiceLinks(const json& reply, long long id_account) {
  std::vector<PredefinedLink> links;
  for (const json& element : DataArray(reply, kListaLinkPagamento)) {
    const json& item = Entry(element, "LinkDiPagamento", kListaLinkPagamento);
    PredefinedLink link;
    link.id_account = id_account;
    link.nome = DecodedText(item, "titolo_b64", kListaLinkPagamento);
    link.descrizione = DecodedText(item, "descrizione_b64", kListaLinkPagamento);
    link.prezzo = CurrencyFromJson(item.value("importo", json()));
    link.url_dashboard = MemberText(item, "tiny_url");
    link.url = MemberText(item, "link_breve");
    links.push_back(std::move(link));
  }
  return links;
}

// Runs `unit` inside a unit of work of `tables`: committed when it ends,
// undone (and `undo` run) when it raises.
template <typename Unit, typename Undo>
void InUnit(CatalogueTables& tables, Unit unit, Undo undo) {
  tables.Begin();
  try {
    unit();
    tables.Commit();
  } catch (...) {
    tables.Rollback();
    undo();
    throw;
  }
}

template <typename Unit>
void InUnit(CatalogueTables& tables, Unit unit) {
  InUnit(tables, unit, [] {});
}

}  // namespace

CatalogueTables& TDMS::Tables() {
  if (!tables_)
    throw PaymentError("Archivio di configurazione dei link di pagamento non impostato");
  return *tables_;
}

void TDMS::SetDatabaseConfig(practice::Connection& conn, const platform::Clock& clock) {
  tables_.emplace(conn);
  clock_ = &clock;
  stato_ = tables_->ModuleState();
  if (stato_ == 1 && tables_->Accounts().empty()) stato_ = 0;
  tables_->Commit();  // nothing held open between the operator's steps
}

std::vector<PaymentAccount> TDMS::Accounts() {
  std::vector<PaymentAccount> accounts = Tables().Accounts();
  Tables().Commit();
  return accounts;
}

std::vector<PredefinedLink> TDMS::Links(const PaymentAccount& account) {
  std::vector<PredefinedLink> links = Tables().Links(account.id);
  Tables().Commit();
  return links;
}

bool TDMS::CaricaAccountVelk() {
  CatalogueTables& tables = Tables();
  const std::optional<json> reply = RestPostVelk(kListaAccount, nullptr, true);
  if (!reply) return false;
  std::vector<std::pair<ServiceAccount, bool>> reported;  // the account, and whether it is gone
  for (const json& element : DataArray(*reply, kListaAccount)) {
    const json& item = Entry(element, "ConnectAccount", kListaAccount);
    ServiceAccount account{MemberText(item, "id_account_stripe"), MemberText(item, "descrizione"),
                           MemberText(item, "piva"),
                           !MemberText(item, "data_attivazione_connect").empty()};
    if (account.id_account_stripe.empty()) continue;  // nothing to find it by
    reported.emplace_back(std::move(account), MemberText(item, "bool_account_inesistente") == "1");
  }
  InUnit(tables, [&] {
    for (const auto& [account, gone] : reported) {
      const std::optional<long long> id = tables.AccountId(account.id_account_stripe);
      if (gone) {
        // Its links can no longer be paid; an account not in the table stays out.
        if (id) tables.DeleteAccount(*id);
      } else if (id) {
        tables.UpdateAccount(*id, account);
      } else {
        tables.InsertAccount(account);
      }
    }
  });
  return true;
}

std::optional<std::vector<PredefinedLink>> TDMS::RicaricaLink(const PaymentAccount& account) {
  CatalogueTables& tables = Tables();
  const std::optional<json> reply = RestPostVelk(
      kListaLinkPagamento, ordered_json{{"id_account_stripe", account.id_account_stripe}}, true);
  if (!reply) return std::nullopt;
  std::vector<PredefinedLink> links = ServiceLinks(*reply, account.id);
  const platform::TDateTime now = clock_->Now();
  InUnit(
      tables,
      [&] {
        tables.DeleteLinksOf(account.id);
        tables.ResetLinkGenerator();
        for (PredefinedLink& link : links) {
          link.creato = now;
          link.id = tables.InsertLink(link);
        }
      },
      [&] {
        // The generator is outside the transaction: after the rows came
        // back it must not hand out their numbers again.
        try {
          tables.ResetLinkGenerator();
          tables.Commit();
        } catch (const practice::DatabaseError& e) {
          service_.log.WriteLog(std::string("Generatore dei link di pagamento non ripristinato: ") +
                                e.what());
        }
      });
  return links;
}

std::optional<PredefinedLink> TDMS::GestioneLink(const PaymentAccount& account,
                                                 const PredefinedLink* changed,
                                                 const LinkDialogAnswer& answer) {
  CatalogueTables& tables = Tables();
  if (answer.nome.empty()) {
    service_.operator_prompt.MostraMessaggio(kNomeNonDefinito);
    return std::nullopt;
  }
  if (account.id_account_stripe.empty()) {
    service_.operator_prompt.MostraMessaggio(kAccountNonTrovato);
    return std::nullopt;
  }
  if (changed != nullptr && changed->id_account != account.id) {
    throw PaymentError("Il link di pagamento \"" + changed->nome +
                       "\" non appartiene all'account " + account.id_account_stripe);
  }
  ordered_json request{{"id_account_stripe", account.id_account_stripe},
                       {"titolo_b64", platform::EncodeBase64Mime(answer.nome)},
                       {"descrizione_b64", platform::EncodeBase64Mime(answer.descrizione)},
                       {"importo", EuroNumber(answer.prezzo)},
                       {"data_scadenza", ""}};
  if (changed != nullptr) request["link_breve"] = changed->url;
  const char* endpoint = changed != nullptr ? kModificaLinkPagamento : kCreaLinkPagamento;
  const std::optional<json> reply = RestPostVelk(endpoint, std::move(request), true);
  if (!reply) return std::nullopt;

  PredefinedLink row = changed != nullptr ? *changed : PredefinedLink{};
  row.id_account = account.id;
  row.creato = clock_->Now();
  row.nome = answer.nome;
  row.descrizione = answer.descrizione;
  row.prezzo = answer.prezzo;
  if (changed == nullptr) {
    const json* created = MemberObject(*reply, "dati", "LinkDiPagamento");
    row.url_dashboard = created != nullptr ? MemberText(*created, "tiny_url") : "";
    row.url = created != nullptr ? MemberText(*created, "link_breve") : "";
    if (row.url.empty()) {
      service_.log.WriteLog(std::string("Risposta del servizio di pagamento (") + endpoint +
                            ") senza il link creato: eseguire l'aggiornamento dei link");
      return std::nullopt;
    }
  }
  InUnit(tables, [&] {
    if (changed == nullptr) {
      row.id = tables.InsertLink(row);
    } else {
      tables.UpdateLink(row);
    }
  });
  return row;
}

bool TDMS::EliminaLink(const PaymentAccount& account, const PredefinedLink& link) {
  CatalogueTables& tables = Tables();
  bool confirmed = true;
  if (!link.url.empty()) {
    confirmed = RestPostVelk(kCancellaLinkPagamento,
                             ordered_json{{"id_account_stripe", account.id_account_stripe},
                                          {"link_breve", link.url}},
                             true)
                    .has_value();
  }
  InUnit(tables, [&] { tables.DeleteLink(link.id); });
  return confirmed;
}

std::optional<PredefinedLink> TDMS::ChosenLink(const std::optional<long long>& chosen) {
  std::vector<PredefinedLink> offered;
  for (const PaymentAccount& account : Accounts()) {
    for (PredefinedLink& link : Links(account)) offered.push_back(std::move(link));
  }
  if (offered.empty()) {
    service_.operator_prompt.MostraMessaggio(kLinkNonTrovati);
    return std::nullopt;
  }
  if (!chosen) return std::nullopt;  // the operator cancelled
  for (PredefinedLink& link : offered) {
    if (link.id == *chosen) return std::move(link);
  }
  std::string message = kLinkNonTrovato;
  message += ": " + std::to_string(*chosen);
  service_.operator_prompt.MostraMessaggio(message);
  return std::nullopt;
}

std::string TDMS::GetLinkPagamentoStatico(const std::optional<long long>& chosen) {
  if (!LinkPagMsg()) return "";
  const std::optional<PredefinedLink> link = ChosenLink(chosen);
  return link ? link->url_dashboard : "";
}

std::string TDMS::GeneraPagamentoStatico(const std::string& lpbdg, const std::string& cognome,
                                         const std::string& nome, const std::string& lpcell,
                                         const std::optional<long long>& chosen,
                                         CompanionLibrary* companion) {
  if (!LinkPagMsg()) return "";
  const std::optional<PredefinedLink> link = ChosenLink(chosen);
  if (!link) return "";
  const ordered_json payment{{"link_pag", link->url_dashboard}, {"descrizione", link->nome}};
  if (companion == nullptr) throw PaymentError(kCompanionMissing);
  companion->WhatsAppSendResult(lpbdg, cognome, nome, lpcell, AsciiJsonText(payment), 0,
                                "Pagamento");
  return "";
}

}  // namespace oxsms::payments
