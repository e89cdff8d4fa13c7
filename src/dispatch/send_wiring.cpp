#include "dispatch/send_wiring.h"

#include "channels/sms_gateway_config.h"
#include "net/curl_http_client.h"
#include "practice/local_config.h"

namespace oxsms::dispatch {

SendWiring::SendWiring(TDM1Fields& fields, std::function<bool()> reload,
                       platform::ActivityLog& log, const practice::CatalogueContext& catalogue,
                       std::string rest_host, practice::Connection& config_db,
                       std::function<practice::TAgImp*()> current_agimp,
                       std::function<practice::TAgImp&()> ensure_agimp)
    : log_(log),
      catalogue_(catalogue),
      rest_host_(std::move(rest_host)),
      sms_host_(fields, std::move(reload)),
      composer_(fields, [this] { return links_; }, log),
      current_agimp_(current_agimp),
      whatsapp_host_(fields, log),
      run_links_(RunAccess{fields, config_db, std::move(current_agimp), std::move(ensure_agimp),
                           [this]() -> net::HttpClient& { return Http(); },
                           [this]() -> platform::OperatorPrompt& { return Operator(); }},
                 catalogue.installation, log,
                 catalogue.home.File(payments::kPendingPaymentsFile)),
      no_email_(log) {}

SendWiring::~SendWiring() {
  // A client passed in may outlive the wiring.
  if (http_ != nullptr && http_ != own_http_.get()) http_->SetWaitingWork({});
}

net::WaitingWork SendWiring::BookkeepingWork() {
  return [this] {
    practice::TAgImp* agimp = current_agimp_();
    return agimp != nullptr && agimp->WriteOnePending();
  };
}

net::HttpClient& SendWiring::Http() {
  if (http_ == nullptr) {
    // TLS certificates are always verified; config.ini may name the CA file.
    net::CurlOptions options;
    options.ca_file = catalogue_.installation.ca_file;
    curl_ = std::make_unique<net::CurlHttpClient>(options);
    // A maker host that does not answer would otherwise cost its time-outs
    // on every line of a batch; the send goes on without it for a while.
    own_http_ = std::make_unique<net::HostGuardHttpClient>(*curl_, std::chrono::seconds(60));
    http_ = own_http_.get();
    http_->SetWaitingWork(BookkeepingWork());
  }
  return *http_;
}

void SendWiring::ForgetHostFailures() {
  if (own_http_) own_http_->ForgetFailures();
}

platform::OperatorPrompt& SendWiring::Operator() {
  if (operator_ == nullptr) {
    own_operator_ = std::make_unique<platform::HeadlessOperator>(
        [this](std::string_view text) { log_.WriteLog(text); });
    operator_ = own_operator_.get();
  }
  return *operator_;
}

WhatsAppTemplateSender& SendWiring::WhatsAppTemplates() { return *whatsapp_; }

channels::SendResult SendWiring::WhatsAppClientSender::MultiSendWhtsB(const std::vector<std::string>& batch) {
  SendWiring& w = wiring_;
  if (!w.whatsapp_client_) {
    w.whatsapp_client_ = std::make_unique<channels::WhatsAppTemplateClient>(
        w.sms_host_, w.whatsapp_host_, w.composer_, [&w] { return w.links_; }, w.Operator(),
        w.Http(), w.log_,
        net::MakerService{w.catalogue_.installation.secure_sms_url,
                          w.catalogue_.installation.api_key});
  }
  return w.whatsapp_client_->MultiSendWhtsB(batch);
}

channels::SmsGateway& SendWiring::Sms() {
  if (sms_) return *sms_;
  // config.ini is read when the client is made: its "sms" section gives the
  // unattended answer to the alias question.
  const auto ini = practice::ApriIniLocale(catalogue_.home);
  sms_ = std::make_unique<channels::SmsGateway>(
      sms_host_, composer_, Operator(), Http(), log_,
      channels::MakeSmsGatewayConfig(rest_host_, catalogue_.installation, *ini,
                                     catalogue_.home),
      sleep_);
  return *sms_;
}

void SendWiring::UseHttpClient(net::HttpClient& http) {
  sms_.reset();
  whatsapp_client_.reset();
  if (http_ != nullptr && http_ != own_http_.get()) http_->SetWaitingWork({});
  http_ = &http;
  http_->SetWaitingWork(BookkeepingWork());
}

void SendWiring::UseOperator(platform::OperatorPrompt& operator_prompt) {
  sms_.reset();
  whatsapp_client_.reset();
  operator_ = &operator_prompt;
}

void SendWiring::UseSleeper(channels::Sleeper sleep) {
  sms_.reset();
  sleep_ = std::move(sleep);
}

}  // namespace oxsms::dispatch
