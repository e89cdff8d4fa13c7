#include "payments/payment_links.h"

#include <exception>
#include <utility>

#include "payments/payment_address.h"
#include "payments/payment_amount.h"
#include "payments/payment_json.h"

namespace oxsms::payments {
namespace {

// Logs why a payment could not be created; the link stays empty.
std::string NotObtained(platform::ActivityLog& log, const std::exception& e) {
  log.WriteLog(std::string("Link di pagamento non ottenuto: ") + e.what());
  return "";
}

}  // namespace

using nlohmann::ordered_json;

ordered_json RichiestaNuovoPagamento(const practice::TLineRec& rec, const practice::TPazRec& paz) {
  ordered_json request = ordered_json::object();
  request["nominativo"] = rec.Cognome + " " + rec.Nome;
  request["badge"] = paz.badge;
  request["guid"] = paz.fileguid;
  request["recapito_telefonico"] = rec.Cellulare;
  request["nome"] = "Pagamento";
  request["descrizione"] = "Prestazione professionale";
  request["importo"] = EuroNumber(paz.incasso);
  return request;
}

PaymentLinks::PaymentLinks(PaymentService service, CredentialsSource credentials, AccountsReader accounts)
    : service_(service), credentials_(std::move(credentials)), accounts_(std::move(accounts)) {}

std::string PaymentLinks::OttieniLinkPag(const practice::TLineRec& rec, practice::TPazRec& recIncasso) {
  if (!recIncasso.id_linkpag.empty()) {
    recIncasso.link_pag = PaymentAddress(service_.endpoint.base_url, recIncasso.id_linkpag);
    return recIncasso.link_pag;
  }
  const std::string created = CreatePayment(rec, recIncasso);
  if (created.empty()) return "";

  // The payment exists only with both its code and its address.
  const ordered_json payment = ordered_json::parse(created, nullptr, false);
  const std::string code = payment.is_object() ? OptionalText(payment, "link_breve").value_or("") : "";
  const std::string address = payment.is_object() ? OptionalText(payment, "tiny_url").value_or("") : "";
  if (code.empty() || address.empty()) {
    service_.log.WriteLog("Link di pagamento non ottenuto: risposta senza \"link_breve\" o \"tiny_url\"");
    return "";
  }
  recIncasso.id_linkpag = code;
  recIncasso.link_pag = address;
  return address;
}

std::string PaymentLinks::CreatePayment(const practice::TLineRec& rec, const practice::TPazRec& paz) {
  try {
    TDMS dms(service_);
    const AccountCredentials account = credentials_();
    dms.usr = account.user;
    dms.pwd = account.pwd;
    return dms.GeneraPagamentoDaJson(accounts_(), AsciiJsonText(RichiestaNuovoPagamento(rec, paz)));
  } catch (const platform::Error& e) {
    // The payment service, the accounts' database or the patient's data.
    return NotObtained(service_.log, e);
  } catch (const nlohmann::json::exception& e) {
    return NotObtained(service_.log, e);
  }
}

}  // namespace oxsms::payments
