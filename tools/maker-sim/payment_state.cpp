#include "maker-sim/payment_state.h"

#include <cmath>
#include <cstdio>
#include <ctime>
#include <stdexcept>
#include <utility>

#include "maker-sim/sim_json.h"

namespace oxsms::makersim {

using nlohmann::json;

namespace {

constexpr const char* kCodeAlphabet = "ABCDEFGHJKLMNPQRSTUVWXYZ23456789";  // 32 signs, no 0/O, 1/I

std::string BoolText(bool value) { return value ? "1" : "0"; }

StripeAccount StripeFromJson(const json& value) {
  if (!value.is_object()) throw BadRequest("l'account Stripe deve essere un oggetto JSON");
  StripeAccount account;
  account.id_account_stripe = RequiredString(value, "id_account_stripe");
  account.descrizione = OptionalString(value, "descrizione", "");
  account.piva = OptionalString(value, "piva", "");
  account.inesistente = OptionalString(value, "bool_account_inesistente", "0") == "1";
  account.data_attivazione_connect = OptionalString(value, "data_attivazione_connect", "");
  if (account.id_account_stripe.empty()) throw BadRequest("account Stripe senza \"id_account_stripe\"");
  return account;
}

json StripeToJson(const StripeAccount& a) {
  return {{"id_account_stripe", a.id_account_stripe},
          {"descrizione", a.descrizione},
          {"piva", a.piva},
          {"bool_account_inesistente", BoolText(a.inesistente)},
          {"data_attivazione_connect", a.data_attivazione_connect}};
}

PredefinedLink LinkFromJson(const json& value) {
  if (!value.is_object()) throw BadRequest("il link deve essere un oggetto JSON");
  PredefinedLink link;
  link.link_breve = RequiredString(value, "link_breve");
  link.id_account_stripe = RequiredString(value, "id_account_stripe");
  link.titolo = OptionalString(value, "titolo", "");
  link.descrizione = OptionalString(value, "descrizione", "");
  link.importo = AmountOf(value, "importo");
  link.data_scadenza = OptionalString(value, "data_scadenza", "");
  return link;
}

json LinkToJson(const PredefinedLink& l) {
  return {{"link_breve", l.link_breve}, {"id_account_stripe", l.id_account_stripe},
          {"titolo", l.titolo},         {"descrizione", l.descrizione},
          {"importo", Euros(l.importo)}, {"data_scadenza", l.data_scadenza}};
}

SimPayment PaymentFromJson(const json& value) {
  if (!value.is_object()) throw BadRequest("il pagamento deve essere un oggetto JSON");
  SimPayment p;
  p.link_breve = RequiredString(value, "link_breve");
  p.predefinito = OptionalString(value, "predefinito", "0") == "1";
  p.id_account_stripe = RequiredString(value, "id_account_stripe");
  p.nominativo = OptionalString(value, "nominativo", "");
  p.badge = OptionalString(value, "badge", "");
  p.guid = OptionalString(value, "guid", "");
  p.recapito_telefonico = OptionalString(value, "recapito_telefonico", "");
  p.nome = OptionalString(value, "nome", "");
  p.descrizione = OptionalString(value, "descrizione", "");
  p.importo = AmountOf(value, "importo");
  p.fee = value.contains("fee") ? AmountOf(value, "fee") : 0;
  p.creato_il = OptionalString(value, "creato_il", "");
  p.pagato_il = OptionalString(value, "pagato_il", "");
  p.rimborsato_il = OptionalString(value, "rimborsato_il", "");
  return p;
}

}  // namespace

double Euros(long long amount) { return static_cast<double>(amount) / 10000.0; }

long long AmountOf(const json& value, const char* name) {
  auto it = value.find(name);
  if (it == value.end() || !it->is_number()) {
    throw BadRequest(std::string("membro \"") + name + "\" mancante o non numerico");
  }
  const double euros = it->get<double>();
  const double units = std::round(euros * 10000.0);
  if (!std::isfinite(units) || std::fabs(units - euros * 10000.0) > 1e-6 * std::max(1.0, std::fabs(units))) {
    throw BadRequest(std::string("\"") + name + "\" ha più di quattro decimali");
  }
  return static_cast<long long>(units);
}

std::string LocalDateTime() {
  std::time_t now = std::time(nullptr);
  std::tm parts{};
  localtime_r(&now, &parts);
  char text[80];  // room for any int, to keep the format check quiet
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", parts.tm_year + 1900, parts.tm_mon + 1,
                parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec);
  return text;
}

PaymentState PaymentState::Default() {
  PaymentState state;
  const std::string account = "acct_1Demo1";
  state.users_.push_back(PaymentUser{
      "demo", {StripeAccount{account, "Studio Dentistico Demo", "01234567890", false, "2024-01-10 09:00:00"}}});
  state.links_.push_back(
      PredefinedLink{"PVISITA1", account, "Visita di controllo", "Visita di controllo periodica", 600000, ""});
  state.links_.push_back(
      PredefinedLink{"PIGIENE1", account, "Igiene orale", "Seduta di igiene orale professionale", 800000, ""});
  return state;
}

PaymentUser PaymentState::UserFromJson(const json& value) {
  if (!value.is_object()) throw BadRequest("l'utente deve essere un oggetto JSON");
  PaymentUser user;
  user.user = RequiredString(value, "user");
  if (user.user.empty()) throw BadRequest("utente senza \"user\"");
  auto accounts = value.find("accounts");
  if (accounts != value.end()) {
    if (!accounts->is_array()) throw BadRequest("\"accounts\" deve essere un elenco");
    for (const json& a : *accounts) user.accounts.push_back(StripeFromJson(a));
  }
  return user;
}

json PaymentState::UserToJson(const PaymentUser& user) {
  json accounts = json::array();
  for (const auto& a : user.accounts) accounts.push_back(StripeToJson(a));
  return {{"user", user.user}, {"accounts", accounts}};
}

json PaymentState::PaymentToJson(const SimPayment& p) {
  return {{"link_breve", p.link_breve},
          {"predefinito", BoolText(p.predefinito)},
          {"id_account_stripe", p.id_account_stripe},
          {"nominativo", p.nominativo},
          {"badge", p.badge},
          {"guid", p.guid},
          {"recapito_telefonico", p.recapito_telefonico},
          {"nome", p.nome},
          {"descrizione", p.descrizione},
          {"importo", Euros(p.importo)},
          {"fee", Euros(p.fee)},
          {"creato_il", p.creato_il},
          {"bool_pagato", BoolText(!p.pagato_il.empty())},
          {"pagato_il", p.pagato_il},
          {"rimborsato_il", p.rimborsato_il}};
}

PaymentState PaymentState::FromJson(const json& section) {
  if (!section.is_object()) throw BadRequest("lo stato \"payments\" deve essere un oggetto");
  PaymentState state;
  auto list = [&section](const char* name) {
    auto it = section.find(name);
    if (it == section.end()) return json::array();
    if (!it->is_array()) throw BadRequest(std::string("\"") + name + "\" deve essere un elenco");
    return *it;
  };
  for (const json& u : list("users")) state.PutUser(UserFromJson(u));
  for (const json& l : list("links")) state.links_.push_back(LinkFromJson(l));
  for (const json& p : list("payments")) state.payments_.push_back(PaymentFromJson(p));
  return state;
}

json PaymentState::ToJson() const {
  json users = json::array(), links = json::array(), payments = json::array();
  for (const auto& u : users_) users.push_back(UserToJson(u));
  for (const auto& l : links_) links.push_back(LinkToJson(l));
  for (const auto& p : payments_) payments.push_back(PaymentToJson(p));
  return {{"users", users}, {"links", links}, {"payments", payments}};
}

const PaymentUser& PaymentState::UserEntry(const std::string& user) const {
  for (const auto& u : users_) {
    if (u.user == user) return u;
  }
  return no_user_;
}

const StripeAccount* PaymentState::AccountOf(const PaymentUser& user, const std::string& id) {
  for (const auto& a : user.accounts) {
    if (a.id_account_stripe == id) return &a;
  }
  return nullptr;
}

PredefinedLink* PaymentState::FindLink(const std::string& code) {
  for (auto& l : links_) {
    if (l.link_breve == code) return &l;
  }
  return nullptr;
}

SimPayment* PaymentState::FindUrlPayment(const std::string& code) {
  for (auto& p : payments_) {
    if (!p.predefinito && p.link_breve == code) return &p;
  }
  return nullptr;
}

std::string PaymentState::NewCode() {
  for (;;) {
    // An odd multiplier permutes the 40-bit numbers: every counter value
    // gives another code, and consecutive codes do not look alike.
    unsigned long long mixed = (next_code_++ * 0x9E3779B97ULL) & ((1ULL << 40) - 1);
    std::string code;
    for (int i = 0; i < 8; ++i, mixed >>= 5) code.push_back(kCodeAlphabet[mixed & 31]);
    if (FindLink(code) == nullptr && FindUrlPayment(code) == nullptr) return code;
  }
}

void PaymentState::PutUser(PaymentUser user) {
  for (auto& u : users_) {
    if (u.user == user.user) {
      u = std::move(user);
      return;
    }
  }
  users_.push_back(std::move(user));
}

}  // namespace oxsms::makersim
