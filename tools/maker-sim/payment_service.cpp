#include "maker-sim/payment_service.h"

#include <cmath>
#include <cstdio>
#include <stdexcept>
#include <string>

#include "maker-sim/sim_json.h"
#include "platform/base64.h"

namespace oxsms::makersim {

using nlohmann::json;

namespace {

// A request the service answers with "codice" other than 1.
class Refusal : public platform::Error {
 public:
  Refusal(int codice, const std::string& message)
      : platform::Error(platform::ErrorCategory::kRemoteService, message), codice(codice) {}
  int codice;
};

json Done(json dati, const std::string& message = "Operazione eseguita") {
  return {{"codice", 1}, {"dati", std::move(dati)}, {"response_message", message}};
}

// The text of a "_b64" member; refuses one that is not base64.
std::string DecodedMember(const json& in, const char* name) {
  auto text = platform::TryDecodeBase64(RequiredString(in, name));
  if (!text) throw Refusal(2, std::string("\"") + name + "\" non è base64");
  return *text;
}

long long PositiveAmount(const json& in, const char* name) {
  const long long amount = AmountOf(in, name);
  if (amount <= 0) throw Refusal(2, std::string("\"") + name + "\" deve essere maggiore di zero");
  return amount;
}

// The fee of a card payment: 1.4% plus 0.25 euros, in ten-thousandths.
long long DefaultFee(long long amount) { return std::llround(amount * 0.014) + 2500; }

json LinkJson(const PredefinedLink& link, const std::string& base) {
  return {{"LinkDiPagamento",
           {{"titolo_b64", platform::EncodeBase64Mime(link.titolo)},
            {"descrizione_b64", platform::EncodeBase64Mime(link.descrizione)},
            {"importo", Euros(link.importo)},
            {"tiny_url", base + "/s/" + link.link_breve},
            {"link_breve", link.link_breve},
            {"data_scadenza", link.data_scadenza}}}};
}

std::string Html(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out.push_back(c);
    }
  }
  return out;
}

std::string EuroText(long long amount) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", Euros(amount));
  return text;
}

std::string Page(const std::string& title, const std::string& body) {
  return "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>" + Html(title) +
         "</title></head><body><h1>" + Html(title) + "</h1>" + body + "</body></html>";
}

}  // namespace

void PaymentService::AddRoutes(Router& router) {
  auto endpoint = [this, &router](const char* name, Body body) {
    router.AddEndpoint("POST", std::string("/rest/") + name,
                       [this, body](const httplib::Request& rq, httplib::Response& rs) { Serve(rq, rs, body); });
  };
  endpoint("lista_account.json", &PaymentService::ListaAccount);
  endpoint("lista_link_pagamento.json", &PaymentService::ListaLinkPagamento);
  endpoint("crea_url_pagamento.json", &PaymentService::CreaUrlPagamento);
  endpoint("crea_link_pagamento.json", &PaymentService::CreaLinkPagamento);
  endpoint("modifica_link_pagamento.json", &PaymentService::ModificaLinkPagamento);
  endpoint("cancella_link_pagamento.json", &PaymentService::CancellaLinkPagamento);
  endpoint("lista_pagamenti.json", &PaymentService::ListaPagamenti);
  endpoint("esegui_rimborso.json", &PaymentService::EseguiRimborso);
  endpoint("lista_trasferimenti.json", &PaymentService::ListaTrasferimenti);
  router.AddEndpoint("GET", "/s/", [this](const httplib::Request& rq, httplib::Response& rs) { PaymentPage(rq, rs); });

  router.AddControl("GET", "/_sim/payments", [this](const httplib::Request&, httplib::Response& rs) {
    json list = json::array();
    for (const auto& p : state_.payments()) list.push_back(PaymentState::PaymentToJson(p));
    ReplyJson(rs, list);
  });
  router.AddControl("POST", "/_sim/payments/pay", [this](const httplib::Request& rq, httplib::Response& rs) {
    ReplyJson(rs, Pay(ParseJsonObjectBody(rq.body)));
  });
  router.AddControl("POST", "/_sim/payments/accounts", [this](const httplib::Request& rq, httplib::Response& rs) {
    PaymentUser user = PaymentState::UserFromJson(ParseJsonObjectBody(rq.body));
    json reply = PaymentState::UserToJson(user);
    state_.PutUser(std::move(user));
    ReplyJson(rs, reply);
  });
}

void PaymentService::LoadState(const json& section) {
  state_ = section.is_null() ? PaymentState::Default() : PaymentState::FromJson(section);
}

void PaymentService::Serve(const httplib::Request& request, httplib::Response& response, Body body) {
  const std::string key = request.get_header_value("Authorization");
  if (key.empty() || !core_.ApiKeyAccepted(key)) {
    ReplyJson(response, {{"codice", 0}, {"response_message", "Chiave API non valida"}}, 401);
    return;
  }
  json in;
  try {
    // The maker's convention: every character outside ASCII travels as \u.
    for (unsigned char c : request.body) {
      if (c >= 0x80) throw BadRequest("il corpo contiene caratteri non ASCII");
    }
    in = ParseJsonObjectBody(request.body);
  } catch (const BadRequest& e) {
    ReplyJson(response, {{"codice", 0}, {"response_message", std::string("Richiesta non valida: ") + e.what()}},
              400);
    return;
  }
  try {
    const std::string user = OptionalString(in, "user", "");
    if (auto refusal = accounts_(user, OptionalString(in, "pwd", ""))) throw Refusal(2, *refusal);
    const std::string host = request.get_header_value("Host");
    const Call call{state_.UserEntry(user), in, "http://" + (host.empty() ? std::string("127.0.0.1") : host)};
    ReplyJson(response, (this->*body)(call));
  } catch (const Refusal& r) {
    ReplyJson(response, {{"codice", r.codice}, {"response_message", r.what()}});
  } catch (const BadRequest& e) {
    ReplyJson(response, {{"codice", 2}, {"response_message", std::string("Richiesta non valida: ") + e.what()}});
  }
}

bool PaymentService::Owns(const PaymentUser& user, const std::string& id_account_stripe) const {
  return PaymentState::AccountOf(user, id_account_stripe) != nullptr;
}

const StripeAccount& PaymentService::OwnAccount(const Call& call) {
  const std::string id = RequiredString(call.in, "id_account_stripe");
  const StripeAccount* account = PaymentState::AccountOf(call.user, id);
  if (account == nullptr || account->inesistente) throw Refusal(2, "Account Stripe non trovato: " + id);
  return *account;
}

PredefinedLink& PaymentService::OwnLink(const Call& call, const StripeAccount& account) {
  const std::string code = RequiredString(call.in, "link_breve");
  PredefinedLink* link = state_.FindLink(code);
  if (link == nullptr || link->id_account_stripe != account.id_account_stripe) {
    throw Refusal(2, "Link di pagamento non trovato: " + code);
  }
  return *link;
}

json PaymentService::ListaAccount(const Call& call) {
  json dati = json::array();
  for (const auto& a : call.user.accounts) {
    dati.push_back({{"ConnectAccount",
                     {{"id_account_stripe", a.id_account_stripe},
                      {"descrizione", a.descrizione},
                      {"piva", a.piva},
                      {"bool_account_inesistente", a.inesistente ? "1" : "0"},
                      {"data_attivazione_connect", a.data_attivazione_connect}}}});
  }
  return Done(dati);
}

json PaymentService::ListaLinkPagamento(const Call& call) {
  const StripeAccount& account = OwnAccount(call);
  json dati = json::array();
  for (const auto& link : state_.links()) {
    if (link.id_account_stripe == account.id_account_stripe) dati.push_back(LinkJson(link, call.base));
  }
  return Done(dati);
}

json PaymentService::CreaUrlPagamento(const Call& call) {
  SimPayment p;
  p.nominativo = RequiredString(call.in, "nominativo");
  p.badge = RequiredString(call.in, "badge");
  p.guid = RequiredString(call.in, "guid");
  p.recapito_telefonico = RequiredString(call.in, "recapito_telefonico");
  RequiredString(call.in, "nome");
  RequiredString(call.in, "descrizione");
  p.importo = PositiveAmount(call.in, "importo");
  const StripeAccount& account = OwnAccount(call);
  if (account.data_attivazione_connect.empty()) {
    throw Refusal(2, "Account Stripe non ancora attivo: " + account.id_account_stripe);
  }
  p.id_account_stripe = account.id_account_stripe;
  // The page shows what the base64 members say.
  p.nome = DecodedMember(call.in, "titolo_b64");
  p.descrizione = DecodedMember(call.in, "descrizione_b64");
  p.link_breve = state_.NewCode();
  p.creato_il = LocalDateTime();
  state_.payments().push_back(p);
  return Done({{"Pagamenti",
                {{"link_breve", p.link_breve},
                 {"tiny_url", call.base + "/s/" + p.link_breve},
                 {"importo", Euros(p.importo)},
                 {"id_account_stripe", p.id_account_stripe},
                 {"bool_pagato", "0"}}}},
              "Pagamento creato");
}

json PaymentService::CreaLinkPagamento(const Call& call) {
  const StripeAccount& account = OwnAccount(call);
  PredefinedLink link;
  link.id_account_stripe = account.id_account_stripe;
  link.titolo = DecodedMember(call.in, "titolo_b64");
  link.descrizione = DecodedMember(call.in, "descrizione_b64");
  link.importo = PositiveAmount(call.in, "importo");
  link.data_scadenza = RequiredString(call.in, "data_scadenza");
  link.link_breve = state_.NewCode();
  state_.links().push_back(link);
  return Done(LinkJson(link, call.base), "Link di pagamento creato");
}

json PaymentService::ModificaLinkPagamento(const Call& call) {
  const StripeAccount& account = OwnAccount(call);
  PredefinedLink& link = OwnLink(call, account);
  PredefinedLink changed = link;
  changed.titolo = DecodedMember(call.in, "titolo_b64");
  changed.descrizione = DecodedMember(call.in, "descrizione_b64");
  changed.importo = PositiveAmount(call.in, "importo");
  changed.data_scadenza = RequiredString(call.in, "data_scadenza");
  link = changed;
  return Done(LinkJson(link, call.base), "Link di pagamento modificato");
}

json PaymentService::CancellaLinkPagamento(const Call& call) {
  const StripeAccount& account = OwnAccount(call);
  PredefinedLink& link = OwnLink(call, account);
  auto& links = state_.links();
  links.erase(links.begin() + (&link - links.data()));
  return Done(json::object(), "Link di pagamento cancellato");
}

json PaymentService::ListaPagamenti(const Call& call) {
  const std::string code = OptionalString(call.in, "link_breve", "");
  std::string account;
  if (call.in.contains("id_account_stripe")) account = OwnAccount(call).id_account_stripe;
  json dati = json::array();
  for (const auto& p : state_.payments()) {
    if (!Owns(call.user, p.id_account_stripe)) continue;
    if (!code.empty() && p.link_breve != code) continue;
    if (!account.empty() && p.id_account_stripe != account) continue;
    dati.push_back({{"Pagamenti", PaymentState::PaymentToJson(p)}});
  }
  if (!code.empty() && dati.empty()) {
    const PredefinedLink* link = state_.FindLink(code);
    if (link == nullptr || !Owns(call.user, link->id_account_stripe)) {
      throw Refusal(0, "Link di pagamento non trovato: " + code);
    }
  }
  return Done(dati);
}

json PaymentService::EseguiRimborso(const Call& call) {
  const std::string code = RequiredString(call.in, "link_breve");
  SimPayment* found = nullptr;
  SimPayment* refundable = nullptr;
  for (auto& p : state_.payments()) {
    if (p.link_breve != code || !Owns(call.user, p.id_account_stripe)) continue;
    found = &p;
    if (!p.pagato_il.empty() && p.rimborsato_il.empty()) refundable = &p;
  }
  if (found == nullptr) throw Refusal(2, "Link di pagamento non trovato: " + code);
  if (refundable == nullptr) {
    throw Refusal(2, found->pagato_il.empty() ? "Pagamento non effettuato: nulla da rimborsare"
                                              : "Pagamento già rimborsato");
  }
  refundable->rimborsato_il = LocalDateTime();
  return Done({{"Pagamenti", PaymentState::PaymentToJson(*refundable)}},
              "Rimborso di " + EuroText(refundable->importo) + " euro eseguito");
}

json PaymentService::ListaTrasferimenti(const Call& call) {
  std::string account;
  if (call.in.contains("id_account_stripe")) account = OwnAccount(call).id_account_stripe;
  json dati = json::array();
  for (const auto& p : state_.payments()) {
    if (p.pagato_il.empty() || !Owns(call.user, p.id_account_stripe)) continue;
    if (!account.empty() && p.id_account_stripe != account) continue;
    dati.push_back({{"Trasferimenti",
                     {{"id_account_stripe", p.id_account_stripe},
                      {"link_breve", p.link_breve},
                      {"importo", Euros(p.importo)},
                      {"fee", Euros(p.fee)},
                      {"netto", Euros(p.importo - p.fee)},
                      {"data", p.pagato_il},
                      {"stornato", p.rimborsato_il.empty() ? "0" : "1"}}}});
  }
  return Done(dati);
}

void PaymentService::PaymentPage(const httplib::Request& request, httplib::Response& response) {
  const std::string code = request.path.substr(3);  // after "/s/"
  if (const SimPayment* p = state_.FindUrlPayment(code)) {
    std::string status = "Da pagare";
    if (!p->rimborsato_il.empty()) {
      status = "Rimborsato il " + p->rimborsato_il;
    } else if (!p->pagato_il.empty()) {
      status = "Pagato il " + p->pagato_il;
    }
    response.set_content(Page(p->nome, "<p>" + Html(p->descrizione) + "</p><p>" + Html(p->nominativo) +
                                           "</p><p>Importo: " + EuroText(p->importo) + " EUR</p><p>" +
                                           Html(status) + "</p>"),
                         "text/html; charset=utf-8");
    return;
  }
  if (const PredefinedLink* link = state_.FindLink(code)) {
    response.set_content(Page(link->titolo, "<p>" + Html(link->descrizione) + "</p><p>Importo: " +
                                                 EuroText(link->importo) + " EUR</p>"),
                         "text/html; charset=utf-8");
    return;
  }
  response.status = 404;
  response.set_content(Page("Link di pagamento non trovato", "<p>" + Html(code) + "</p>"),
                       "text/html; charset=utf-8");
}

json PaymentService::Pay(const json& in) {
  const std::string code = RequiredString(in, "link_breve");
  const std::string paid_on = OptionalString(in, "pagato_il", LocalDateTime());
  if (SimPayment* p = state_.FindUrlPayment(code)) {
    if (!p->pagato_il.empty()) throw BadRequest("pagamento già effettuato: " + code);
    p->pagato_il = paid_on;
    p->fee = in.contains("fee") ? AmountOf(in, "fee") : DefaultFee(p->importo);
    return PaymentState::PaymentToJson(*p);
  }
  const PredefinedLink* link = state_.FindLink(code);
  if (link == nullptr) throw BadRequest("link di pagamento sconosciuto: " + code);
  SimPayment p;
  p.link_breve = code;
  p.predefinito = true;
  p.id_account_stripe = link->id_account_stripe;
  p.nominativo = OptionalString(in, "nominativo", "");
  p.nome = link->titolo;
  p.descrizione = link->descrizione;
  p.importo = link->importo;
  p.fee = in.contains("fee") ? AmountOf(in, "fee") : DefaultFee(p.importo);
  p.creato_il = paid_on;
  p.pagato_il = paid_on;
  state_.payments().push_back(p);
  return PaymentState::PaymentToJson(p);
}

}  // namespace oxsms::makersim
