#include "dispatch/send_wiring.h"

#include "channels/sms_gateway_config.h"
#include "net/curl_http_client.h"
#include "practice/local_config.h"

namespace oxsms::dispatch {

SendWiring::SendWiring(TDM1Fields& fields, std::function<bool()> reload,
                       service::ActivityLog& log, const practice::CatalogueContext& catalogue,
                       std::string rest_host)
    : log_(log),
      catalogue_(catalogue),
      rest_host_(std::move(rest_host)),
      sms_host_(fields, std::move(reload)),
      composer_(fields, [this] { return links_; }),
      no_email_(log),
      no_whatsapp_(log) {}

SendWiring::~SendWiring() = default;

channels::SmsGateway& SendWiring::Sms() {
  if (sms_) return *sms_;
  if (http_ == nullptr) {
    own_http_ = std::make_unique<net::CurlHttpClient>();
    http_ = own_http_.get();
  }
  if (operator_ == nullptr) {
    own_operator_ = std::make_unique<platform::HeadlessOperator>(
        [this](std::string_view text) { log_.WriteLog(text); });
    operator_ = own_operator_.get();
  }
  // config.ini is read when the client is made: its "sms" section gives the
  // unattended answer to the alias question.
  const auto ini = practice::ApriIniLocale(catalogue_.home);
  sms_ = std::make_unique<channels::SmsGateway>(
      sms_host_, composer_, *operator_, *http_, log_,
      channels::MakeSmsGatewayConfig(rest_host_, catalogue_.installation, *ini,
                                     catalogue_.home),
      sleep_);
  return *sms_;
}

void SendWiring::UseHttpClient(net::HttpClient& http) {
  sms_.reset();
  http_ = &http;
}

void SendWiring::UseOperator(platform::OperatorPrompt& operator_prompt) {
  sms_.reset();
  operator_ = &operator_prompt;
}

void SendWiring::UseSleeper(channels::Sleeper sleep) {
  sms_.reset();
  sleep_ = std::move(sleep);
}

}  // namespace oxsms::dispatch
