// The simulated payment service: the endpoints under "/rest/" (Stripe
// accounts, predefined links, payments for patients, payment status,
// refunds, transfers), the page behind every "/s/<code>" address, and the
// control calls "/_sim/payments", "/_sim/payments/pay" and
// "/_sim/payments/accounts".
#pragma once

#include <utility>

#include "maker-sim/payment_state.h"
#include "maker-sim/sim_accounts.h"
#include "maker-sim/sim_core.h"
#include "maker-sim/sim_service.h"

namespace oxsms::makersim {

class PaymentService : public SimService {
 public:
  // `accounts` checks "user" and "pwd" of every request.
  PaymentService(SimCore& core, AccountCheck accounts)
      : core_(core), accounts_(std::move(accounts)), state_(PaymentState::Default()) {}

  std::string Name() const override { return "payments"; }
  void AddRoutes(Router& router) override;
  void LoadState(const nlohmann::json& section) override;
  nlohmann::json SaveState() const override { return state_.ToJson(); }

 private:
  // The request of an endpoint as its handler sees it.
  struct Call {
    const PaymentUser& user;
    const nlohmann::json& in;
    std::string base;  // "http://host:port" the client called
  };
  using Body = nlohmann::json (PaymentService::*)(const Call&);

  // Checks key, body and account, runs `body` and writes its reply; a
  // refusal becomes {"codice", "response_message"}.
  void Serve(const httplib::Request& request, httplib::Response& response, Body body);

  nlohmann::json ListaAccount(const Call& call);
  nlohmann::json ListaLinkPagamento(const Call& call);
  nlohmann::json CreaUrlPagamento(const Call& call);
  nlohmann::json CreaLinkPagamento(const Call& call);
  nlohmann::json ModificaLinkPagamento(const Call& call);
  nlohmann::json CancellaLinkPagamento(const Call& call);
  nlohmann::json ListaPagamenti(const Call& call);
  nlohmann::json EseguiRimborso(const Call& call);
  nlohmann::json ListaTrasferimenti(const Call& call);

  void PaymentPage(const httplib::Request& request, httplib::Response& response);
  nlohmann::json Pay(const nlohmann::json& in);

  // The user's Stripe account named by "id_account_stripe"; refuses an
  // unknown one and one that no longer exists.
  const StripeAccount& OwnAccount(const Call& call);
  // The predefined link "link_breve" of the user's account, or a refusal.
  PredefinedLink& OwnLink(const Call& call, const StripeAccount& account);
  bool Owns(const PaymentUser& user, const std::string& id_account_stripe) const;

  SimCore& core_;
  AccountCheck accounts_;
  PaymentState state_;
};

}  // namespace oxsms::makersim
