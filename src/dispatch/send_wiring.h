// The channels of the daily run and what they are wired with: the SMS
// gateway client (over an HTTP client, the operator stand-in and the
// gateway's address), the email circular, the WhatsApp template messages and
// the link services of the message texts.
//
// Every piece has a default, so a settings object works as created: a libcurl
// HTTP client, the headless operator (questions answered with their
// unattended answer and logged), the maker's WhatsApp template service and
// its link and payment services at the addresses of config.ini, and email
// "not available" (one log line per batch). The Use... calls replace a
// default; the object passed must outlive the wiring. The SMS client is made
// at its first use and made anew after a change of what it is wired with.
//
// Only the service thread uses it.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "channels/sms_gateway.h"
#include "channels/whatsapp_template_sender.h"
#include "dispatch/channel_adapters.h"
#include "channels/link_services.h"
#include "dispatch/run_link_services.h"
#include "dispatch/send_channels.h"
#include "dispatch/tdm1_fields.h"
#include "net/host_guard.h"
#include "net/http_client.h"
#include "platform/activity_log.h"
#include "platform/operator_prompt.h"
#include "practice/catalogue_context.h"

namespace oxsms::dispatch {

using channels::LinkServices;

class SendWiring {
 public:
  // `fields` are those of the settings object, `reload` its ReadConnect;
  // `rest_host` the gateway's base address ("rest_host" of config.ini);
  // `config_db` and the two AgImp functions reach the settings object's
  // configuration connection and the run's search object.
  SendWiring(TDM1Fields& fields, std::function<bool()> reload, platform::ActivityLog& log,
             const practice::CatalogueContext& catalogue, std::string rest_host,
             practice::Connection& config_db, std::function<practice::TAgImp*()> current_agimp,
             std::function<practice::TAgImp&()> ensure_agimp);
  ~SendWiring();
  SendWiring(const SendWiring&) = delete;
  SendWiring& operator=(const SendWiring&) = delete;

  channels::SmsGateway& Sms();
  EmailBatchSender& Email() { return *email_; }
  WhatsAppTemplateSender& WhatsAppTemplates();
  // None until a link service is wired in.
  LinkServices* Links() const { return links_; }

  // The client does the run's waiting work (see BookkeepingWork) until it is
  // replaced or the wiring ends.
  void UseHttpClient(net::HttpClient& http);
  void UseOperator(platform::OperatorPrompt& operator_prompt);
  // The pause of the SMS client's waits (tests pass one that returns at once).
  void UseSleeper(channels::Sleeper sleep);
  void UseEmail(EmailBatchSender& email) { email_ = &email; }
  void UseWhatsAppTemplates(WhatsAppTemplateSender& whatsapp) { whatsapp_ = &whatsapp; }
  // nullptr: no link is fetched.
  void UseLinks(LinkServices* links) { links_ = links; }
  // A new kind of send begins: hosts that failed in the last one are asked
  // again (the default HTTP client pauses a failed host only within a send).
  void ForgetHostFailures();
  // Called right before a delivering request of the SMS or WhatsApp channel.
  void OnDelivery(std::function<void(channels::DeliveryChannel)> hook) {
    sms_host_.OnDelivery(std::move(hook));
  }
  // The maker's services as they were wired at creation.
  LinkServices* RunLinks() { return &run_links_; }

 private:
  platform::ActivityLog& log_;
  const practice::CatalogueContext& catalogue_;
  std::string rest_host_;

  FieldsSmsHost sms_host_;
  FieldsComposer composer_;

  std::unique_ptr<net::HttpClient> curl_;
  std::unique_ptr<net::HostGuardHttpClient> own_http_;
  net::HttpClient* http_ = nullptr;
  std::unique_ptr<platform::OperatorPrompt> own_operator_;
  platform::OperatorPrompt* operator_ = nullptr;
  channels::Sleeper sleep_ = channels::SleepFor;
  std::unique_ptr<channels::SmsGateway> sms_;

  net::HttpClient& Http();
  platform::OperatorPrompt& Operator();
  // While the HTTP client waits for a reply, the run's search object writes
  // its queued link bookkeeping.
  net::WaitingWork BookkeepingWork();
  std::function<practice::TAgImp*()> current_agimp_;

  // The WhatsApp template client made at its first use, behind the
  // run's sender interface.
  class WhatsAppClientSender : public WhatsAppTemplateSender {
   public:
    explicit WhatsAppClientSender(SendWiring& wiring) : wiring_(wiring) {}
    channels::SendResult MultiSendWhtsB(const std::vector<std::string>& batch) override;

   private:
    SendWiring& wiring_;
  };

  FieldsWhatsAppHost whatsapp_host_;
  std::unique_ptr<channels::WhatsAppTemplateClient> whatsapp_client_;
  WhatsAppClientSender whatsapp_sender_{*this};
  RunLinkServices run_links_;

  EmailUnavailable no_email_;
  EmailBatchSender* email_ = &no_email_;
  WhatsAppTemplateSender* whatsapp_ = &whatsapp_sender_;
  LinkServices* links_ = &run_links_;
};

}  // namespace oxsms::dispatch
