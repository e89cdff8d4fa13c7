// The simulated SMS gateway: account check, single and batch sends over the
// "invalue" envelope, and the sender-alias check, with its control endpoints
// "/_sim/sms", "/_sim/accounts" and "/_sim/aliases".
#pragma once

#include "maker-sim/sim_core.h"
#include "maker-sim/sim_service.h"
#include "maker-sim/sms_gateway_state.h"

namespace oxsms::makersim {

class SmsGatewayService : public SimService {
 public:
  explicit SmsGatewayService(SimCore& core) : core_(core), state_(SmsGatewayState::Default()) {}

  std::string Name() const override { return "sms"; }
  void AddRoutes(Router& router) override;
  void LoadState(const nlohmann::json& section) override;
  nlohmann::json SaveState() const override { return state_.ToJson(); }

  // The accounts and their credit, which the WhatsApp template service
  // shares. The object stays the same across LoadState.
  SmsGatewayState& state() { return state_; }

 private:
  void VerifyUser(const httplib::Request& request, httplib::Response& response);
  void SendSingle(const httplib::Request& request, httplib::Response& response);
  void SendFile(const httplib::Request& request, httplib::Response& response);
  void VerifyAlias(const httplib::Request& request, httplib::Response& response);

  SimCore& core_;
  SmsGatewayState state_;
};

}  // namespace oxsms::makersim
