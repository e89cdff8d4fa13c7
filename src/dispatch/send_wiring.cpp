#include "dispatch/send_wiring.h"

#include "channels/sms_gateway_config.h"
#include "practice/local_config.h"

namespace oxsms::dispatch {

SendWiring::SendWiring(TDM1Fields& fields, std::function<bool()> reload, platform::ActivityLog& log,
                       const practice::CatalogueContext& catalogue, std::string rest_host,
                       practice::Connection& config_db,
                       std::function<practice::TAgImp*()> current_agimp,
                       std::function<practice::TAgImp&()> ensure_agimp, RunParts parts)
    : log_(log),
      catalogue_(catalogue),
      rest_host_(std::move(rest_host)),
      parts_(std::move(parts)),
      sms_host_(fields, std::move(reload), Report()),
      composer_(
          fields, [this]() -> LinkServices* { return &run_links_; }, log),
      run_links_(RunAccess{fields, config_db, std::move(current_agimp), std::move(ensure_agimp),
                           parts_.http, parts_.operator_prompt},
                 catalogue.installation, log, catalogue.home.File(payments::kPendingPaymentsFile)),
      whatsapp_host_(fields, log),
      whatsapp_client_(
          sms_host_, whatsapp_host_, composer_, [this]() -> LinkServices* { return &run_links_; },
          parts_.operator_prompt, parts_.http, log,
          net::MakerService{catalogue.installation.secure_sms_url, catalogue.installation.api_key}),
      manual_whatsapp_(sms_host_, composer_, parts_.desktop, log, parts_.sleep) {
  sms_host_.OnDelivery([this](channels::DeliveryChannel channel) {
    run_links_.RecordLinks();
    if (delivery_hook_) delivery_hook_(channel);
  });
}

void SendWiring::OnDelivery(std::function<void(channels::DeliveryChannel)> hook) {
  delivery_hook_ = std::move(hook);
}

void SendWiring::ForgetHostFailures() {
  if (parts_.host_guard != nullptr) parts_.host_guard->ForgetFailures();
}

channels::SmsGateway& SendWiring::Sms() {
  if (sms_) return *sms_;
  // config.ini is read when the client is made: its "sms" section gives the
  // unattended answer to the alias question.
  const auto ini = practice::ApriIniLocale(catalogue_.home);
  sms_ = std::make_unique<channels::SmsGateway>(
      sms_host_, composer_, parts_.operator_prompt, parts_.http, log_,
      channels::MakeSmsGatewayConfig(rest_host_, catalogue_.installation, *ini,
                                     catalogue_.home),
      parts_.sleep);
  return *sms_;
}

}  // namespace oxsms::dispatch
