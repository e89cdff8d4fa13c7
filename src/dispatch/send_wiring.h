// The channels of the daily run over the settings object's fields: the SMS
// gateway client, the WhatsApp template messages, the email circular and the
// link services of the message texts (the maker's link and payment services
// at the addresses of config.ini). The HTTP client, the operator, the
// sleeper and the email sender are the RunParts passed in; the wiring builds
// only the channel clients over them. The SMS client is made at its first
// use, since it reads config.ini then.
//
// Only the service thread uses it.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "channels/link_services.h"
#include "channels/manual_whatsapp.h"
#include "channels/sms_gateway.h"
#include "channels/whatsapp_template_sender.h"
#include "dispatch/channel_adapters.h"
#include "dispatch/email_sender.h"
#include "dispatch/run_link_services.h"
#include "dispatch/run_parts.h"
#include "dispatch/tdm1_fields.h"
#include "dispatch/whatsapp_sender.h"
#include "platform/activity_log.h"
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
             std::function<practice::TAgImp&()> ensure_agimp, RunParts parts);
  SendWiring(const SendWiring&) = delete;
  SendWiring& operator=(const SendWiring&) = delete;

  channels::SmsGateway& Sms();
  EmailBatchSender& Email() { return parts_.email; }
  // Where the run tells its lines (RunParts::report, or a recorder that
  // keeps nothing).
  RunRecorder& Report() { return parts_.report != nullptr ? *parts_.report : no_report_; }
  WhatsAppTemplateSender& WhatsAppTemplates() { return whatsapp_sender_; }
  // The hand-off to the WhatsApp program, over the RunParts' desktop.
  channels::ManualWhatsApp& ManualWhatsApp() { return manual_whatsapp_; }
  // The maker's link and payment services of the message texts.
  LinkServices& Links() { return run_links_; }

  // A new kind of send begins: hosts that failed in the last one are asked
  // again (the host guard pauses a failed host only within a send).
  void ForgetHostFailures();
  // Called right before a delivering request of the SMS or WhatsApp channel,
  // once the payment links of its messages are recorded (RecordLinks).
  void OnDelivery(std::function<void(channels::DeliveryChannel)> hook);
  // The payment links given to messages so far are made durable (see
  // RunLinkServices::RecordLinks); a send calls it when it ends.
  void RecordLinks() noexcept { run_links_.RecordLinks(); }

 private:
  // The WhatsApp template client behind the run's sender interface.
  class WhatsAppClientSender : public WhatsAppTemplateSender {
   public:
    explicit WhatsAppClientSender(channels::WhatsAppTemplateClient& client) : client_(client) {}
    channels::SendResult MultiSendWhtsB(const std::vector<std::string>& batch) override {
      return client_.MultiSendWhtsB(batch);
    }

   private:
    channels::WhatsAppTemplateClient& client_;
  };

  platform::ActivityLog& log_;
  const practice::CatalogueContext& catalogue_;
  std::string rest_host_;
  NoRunRecorder no_report_;
  RunParts parts_;

  FieldsSmsHost sms_host_;
  FieldsComposer composer_;
  RunLinkServices run_links_;
  std::function<void(channels::DeliveryChannel)> delivery_hook_;
  FieldsWhatsAppHost whatsapp_host_;
  channels::WhatsAppTemplateClient whatsapp_client_;
  WhatsAppClientSender whatsapp_sender_{whatsapp_client_};
  std::unique_ptr<channels::SmsGateway> sms_;
  channels::ManualWhatsApp manual_whatsapp_;
};

}  // namespace oxsms::dispatch
