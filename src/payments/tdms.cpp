#include "payments/tdms.h"

#include <utility>

#include "payments/payment_address.h"
#include "payments/payment_amount.h"
#include "payments/payment_error.h"
#include "payments/payment_json.h"
#include "platform/base64.h"
#include "platform/date_time.h"

namespace oxsms::payments {

using nlohmann::json;
using nlohmann::ordered_json;

namespace {

constexpr const char* kAccountNonTrovato = "Account stripe non trovato in configurazione";

void ReplaceAll(std::string& text, const std::string& what, const std::string& with) {
  if (what.empty()) return;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size())) {
    text.replace(at, what.size(), with);
  }
}

// "yyyy-mm-dd hh:nn:ss" written as the system writes a date and a time.
std::string WrittenDateTime(const std::string& text, char time_separator) {
  const platform::TDateTime value = platform::ParseIsoDateTime(text);
  return platform::FormatDate(value) + " " + platform::FormatTime(value, time_separator);
}

}  // namespace

std::string TDMS::Masked(std::string text) const {
  ReplaceAll(text, service_.endpoint.api_key, "***");
  ReplaceAll(text, pwd, "***");
  return text;
}

std::optional<json> TDMS::RestPostVelk(const std::string& u, ordered_json param, bool showmsg) {
  if (param.is_null()) param = ordered_json::object();
  if (!param.is_object()) throw PaymentError("Richiesta al servizio di pagamento non valida: " + u);
  param["user"] = usr;
  param["pwd"] = pwd;

  net::HttpRequest request = net::MakeMakerRequest(service_.endpoint, "/rest/" + u, json::object());
  // The members travel in the order the request was built.
  request.body = AsciiJsonText(param);
  const net::HttpResponse response = service_.http.Send(request);
  const net::MakerReply reply = net::ReadMakerReply(response);

  if (reply.empty()) throw PaymentError("Errore del server " + net::HostOf(service_.endpoint.base_url));
  if (!reply.object) {
    // An error page: nothing for the operator, but the log keeps the trace.
    service_.log.WriteLog("Risposta non leggibile del servizio di pagamento (" + u + "): HTTP " +
                          std::to_string(response.status));
    return std::nullopt;
  }
  const std::optional<int32_t> codice = reply.codice();
  if (codice == 1) return reply.object;
  service_.log.WriteLog("Risposta del servizio di pagamento (" + u + "): " + Masked(reply.text));
  if (showmsg && codice && *codice != 0) {
    service_.operator_prompt.MostraMessaggio(Masked(reply.response_message()));
  }
  return std::nullopt;
}

std::string TDMS::GeneraPagamentoDaJson(const std::vector<PaymentAccount>& DSFDLinkPag,
                                        const std::string& strJson) {
  ordered_json request = ParseObject(strJson, "Richiesta di pagamento non valida");
  const std::optional<std::string> intestazione = OptionalText(request, "intestazione");
  std::size_t current = 0;
  auto move_to_intestazione = [&] {
    if (!intestazione) return;
    if (auto row = FindIntestazione(DSFDLinkPag, *intestazione)) current = *row;
  };
  move_to_intestazione();

  PaymentDraft draft;
  draft.nominativo = OptionalText(request, "nominativo").value_or("");
  draft.nome = OptionalText(request, "nome").value_or("");
  draft.descrizione = OptionalText(request, "descrizione").value_or("");
  draft.importo = CurrencyFromJson(request.value("importo", ordered_json()));
  draft.blocca_pag = request.value("blocca_pag", ordered_json()).is_boolean() && request["blocca_pag"].get<bool>();

  const std::optional<ConfirmedPayment> confirmed =
      service_.confirmer.ConfermaDatiPagamento(draft, DSFDLinkPag, current);
  if (!confirmed) return "";
  request["nome"] = confirmed->nome;
  request["descrizione"] = confirmed->descrizione;
  request["importo"] = EuroNumber(confirmed->importo);

  // A named account wins over the choice made in the confirmation.
  current = confirmed->account;
  move_to_intestazione();
  const std::string stripe = current < DSFDLinkPag.size() ? DSFDLinkPag[current].id_account_stripe : "";
  if (stripe.empty()) {
    service_.operator_prompt.MostraMessaggio(kAccountNonTrovato);
    return "";
  }
  request["id_account_stripe"] = stripe;
  request["titolo_b64"] = platform::EncodeBase64Mime(confirmed->nome);
  request["descrizione_b64"] = platform::EncodeBase64Mime(confirmed->descrizione);

  const std::optional<json> reply = RestPostVelk(kCreaUrlPagamento, request, true);
  if (!reply) return "";
  const json* payment = MemberObject(*reply, "dati", "Pagamenti");
  if (payment == nullptr) {
    service_.log.WriteLog("Risposta del servizio di pagamento (" + std::string(kCreaUrlPagamento) +
                          ") senza dati del pagamento");
    return "";
  }
  json created = *payment;
  created["nome"] = request["nome"];
  created["prezzo"] = request["importo"];
  created["descrizione"] = request["descrizione"];
  return created.dump(-1, ' ', false, json::error_handler_t::replace);
}

bool TDMS::StatoPagamento(const std::string& link_breve, std::string& str, practice::Currency& fee) {
  fee = 0;
  str = kPagamentoNonEffettuato;
  const std::optional<json> reply =
      RestPostVelk(kListaPagamenti, ordered_json{{"link_breve", WithoutMinusOne(link_breve)}}, false);
  if (!reply) return false;
  try {
    const json& payment = reply->at("dati").at(0).at("Pagamenti");
    const std::string paid_on = MemberText(payment, "pagato_il");
    if (MemberText(payment, "bool_pagato") != "1" || paid_on.empty()) return false;
    const char separator = service_.log.TimeSeparator();
    std::string text = kPagamentoEffettuato + WrittenDateTime(paid_on, separator);
    const std::string refunded_on = MemberText(payment, "rimborsato_il");
    if (!refunded_on.empty()) text += kPagamentoRimborsato + WrittenDateTime(refunded_on, separator);
    const practice::Currency paid_fee = CurrencyFromJson(payment.at("fee"));
    str = std::move(text);
    fee = paid_fee;
    return true;
  } catch (const nlohmann::json::exception&) {
    // A reply that cannot be read says nothing of a payment: a member
    // missing or of another type, an unreadable date or amount.
    return false;
  } catch (const platform::DataError&) {
    return false;
  } catch (const PaymentError&) {
    return false;
  }
}

bool TDMS::StornaPagamento(const std::string& link_breve, bool showmsg) {
  const std::optional<json> reply = RestPostVelk(kEseguiRimborso, ordered_json{{"link_breve", link_breve}}, showmsg);
  if (reply && showmsg) {
    service_.operator_prompt.MostraMessaggio(Masked(MemberText(*reply, "response_message")));
  }
  return reply.has_value();
}

std::optional<json> TDMS::ListaPagamenti(const std::string& str) {
  ordered_json request = ParseObject(str, "Richiesta di lista pagamenti non valida");
  auto code = request.find("link_breve");
  if (code != request.end() && code->is_string()) *code = WithoutMinusOne(code->get<std::string>());
  return RestPostVelk(kListaPagamenti, std::move(request), false);
}

std::optional<json> TDMS::ListaAccrediti(const std::string& str) {
  return RestPostVelk(kListaTrasferimenti, ParseObject(str, "Richiesta di lista trasferimenti non valida"),
                      false);
}

}  // namespace oxsms::payments
