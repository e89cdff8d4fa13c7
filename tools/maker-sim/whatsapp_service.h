// The simulated WhatsApp template service: "/whatsapp/invia_template.json"
// and "/whatsapp/lista_template.json" under the conventions of the maker's
// JSON services (API key in "Authorization", ASCII JSON body, reply
// "codice"/"dati"/"response_message"), with the control endpoints
// "/_sim/whatsapp" and "/_sim/whatsapp/templates". Accounts and credit are
// those of the simulated SMS gateway: one message costs one SMS credit.
#pragma once

#include "maker-sim/sim_core.h"
#include "maker-sim/sim_service.h"
#include "maker-sim/sms_gateway_state.h"
#include "maker-sim/whatsapp_state.h"

namespace oxsms::makersim {

class WhatsAppService : public SimService {
 public:
  // `sms` is the SMS gateway's state; it must outlive the service.
  WhatsAppService(SimCore& core, SmsGatewayState& sms)
      : core_(core), sms_(sms), state_(WhatsAppState::Default()) {}

  std::string Name() const override { return "whatsapp"; }
  void AddRoutes(Router& router) override;
  void LoadState(const nlohmann::json& section) override;
  nlohmann::json SaveState() const override { return state_.ToJson(); }

 private:
  void SendTemplate(const httplib::Request& request, httplib::Response& response);
  void ListTemplates(const httplib::Request& request, httplib::Response& response);
  // The account of the request's "user" and "pwd", or nullptr after writing
  // the refusal.
  SmsAccount* Authenticate(const nlohmann::json& in, httplib::Response& response);

  SimCore& core_;
  SmsGatewayState& sms_;
  WhatsAppState state_;
};

}  // namespace oxsms::makersim
