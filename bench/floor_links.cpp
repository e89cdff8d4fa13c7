#include "floor_links.h"

#include <stdexcept>

#include "floor_search.h"
#include "payments/payment_address.h"
#include "practice/appointment_key.h"
#include "payments/payment_amount.h"
#include "payments/payment_json.h"
#include "payments/payment_links.h"
#include "platform/base64.h"

namespace oxsms::bench {
namespace {

// The object `name` inside the reply's "dati", or null.
const nlohmann::json* Dati(const net::MakerReply& reply, const char* name) {
  if (!reply.done()) return nullptr;
  const auto dati = reply.object->find("dati");
  if (dati == reply.object->end() || !dati->is_object()) return nullptr;
  const auto member = dati->find(name);
  return member == dati->end() || !member->is_object() ? nullptr : &*member;
}

}  // namespace

std::string FloorLinks::OttieniLink(practice::TLineRec& rec) {
  if (rec.id_agenda == "same") return rec.link_conferma;
  std::string& code = stored_codes_[StoredCodeKey(rec.id_agenda, rec.Data, rec.Ora)];
  if (!code.empty()) {
    rec.id_web = code;
    rec.link_exist = true;
    rec.link_conferma = "https://" + net::HostOf(config_.link_service.base_url) + "/c/" + code;
    return rec.link_conferma;
  }
  const nlohmann::json request =
      channels::BuildConfermaRequest(rec, config_.account, practice::kTimeSeparator);
  const net::MakerReply reply =
      net::PostMaker(http_, config_.link_service, "/conferma_appuntamenti/crea.json", request);
  ++created_;
  const nlohmann::json* link = Dati(reply, "ConfermaAppuntamenti");
  if (link == nullptr) throw std::runtime_error("confirmation link refused: " + reply.text);
  code = link->at("link_breve").get<std::string>();
  rec.id_web = code;
  rec.link_conferma = link->at("url").get<std::string>();
  return rec.link_conferma;
}

std::string FloorLinks::OttieniLinkPag(practice::TLineRec& rec, practice::TPazRec& paz) {
  if (!paz.id_linkpag.empty()) {
    paz.link_pag = payments::PaymentAddress(config_.payment_service.base_url, paz.id_linkpag);
    return paz.link_pag;
  }
  nlohmann::ordered_json request = payments::RichiestaNuovoPagamento(rec, paz);
  request["id_account_stripe"] = config_.stripe_account;
  request["titolo_b64"] = platform::EncodeBase64Mime(request["nome"].get<std::string>());
  request["descrizione_b64"] = platform::EncodeBase64Mime(request["descrizione"].get<std::string>());
  request["user"] = config_.account.user;
  request["pwd"] = config_.account.pwd;
  net::HttpRequest http =
      net::MakeMakerRequest(config_.payment_service, "/rest/crea_url_pagamento.json",
                            nlohmann::json::object());
  http.body = payments::AsciiJsonText(request);
  const net::MakerReply reply = net::ReadMakerReply(http_.Send(http));
  ++created_;
  const nlohmann::json* payment = Dati(reply, "Pagamenti");
  if (payment == nullptr) throw std::runtime_error("payment link refused: " + reply.text);
  paz.id_linkpag = payment->at("link_breve").get<std::string>();
  paz.link_pag = payment->at("tiny_url").get<std::string>();
  return paz.link_pag;
}

}  // namespace oxsms::bench
