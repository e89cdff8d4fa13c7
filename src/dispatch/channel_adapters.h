// The send-orchestration object as the SMS channel sees it: its counters,
// account and test flag, and the batch lists and payment filter of the send
// in progress (channels::SmsHost); the composition of each recipient's text
// (channels::MessageComposer); the WhatsApp template of the send in progress
// (channels::WhatsAppHost).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "channels/message_composer.h"
#include "channels/sms_host.h"
#include "channels/link_services.h"
#include "channels/whatsapp_host.h"
#include "dispatch/tdm1_fields.h"
#include "platform/activity_log.h"

namespace oxsms::dispatch {

using channels::LinkServices;

// Reads and writes the fields at each call, so a settings reload in between is
// seen. `reload` is `ReadConnect` of the owner.
class FieldsSmsHost : public channels::SmsHost {
 public:
  FieldsSmsHost(TDM1Fields& fields, std::function<bool()> reload, channels::RunLines& lines)
      : fields_(fields), reload_(std::move(reload)), lines_(lines) {}

  channels::SmsCounters Counters() const override;
  void SetCounters(const channels::SmsCounters& counters) override;
  channels::SmsAccount GatewayAccount() const override;
  bool TestMode() const override { return fields_.CBTest; }
  bool SkipZeroFees() const override {
    return fields_.send_in_progress.Current().eliminaIncassiNulli;
  }
  practice::RecipientLists& Batch() override { return fields_.send_in_progress.Current().lists; }
  bool ReadConnect() override { return reload_(); }
  void DeliveryStarting(channels::DeliveryChannel channel) override {
    if (on_delivery_) on_delivery_(channel);
  }
  // What DeliveryStarting calls (the run journal); none by default.
  void OnDelivery(std::function<void(channels::DeliveryChannel)> hook) {
    on_delivery_ = std::move(hook);
  }
  channels::RunLines& Lines() override { return lines_; }

 private:
  TDM1Fields& fields_;
  std::function<bool()> reload_;
  channels::RunLines& lines_;
  std::function<void(channels::DeliveryChannel)> on_delivery_;
};

// `ParseLineRec` and `ComponiTesto` over the settings; the link services are
// asked for at each composition (none: no link is fetched).
class FieldsComposer : public channels::MessageComposer {
 public:
  FieldsComposer(TDM1Settings& settings, std::function<LinkServices*()> links,
                 platform::ActivityLog& log)
      : settings_(settings), links_(std::move(links)), log_(log) {}

  practice::TLineRec ParseLineRec(const std::string& line) const override;
  // Writes one log line for a recipient whose text lacks a link it asked for.
  std::string ComponiTesto(const std::vector<std::string>& testoLinee, practice::TLineRec& rec,
                           practice::TPazRec& paz) override;
  channels::MissingLinks LinkMancanti() const override { return missing_; }
  void InizioInvio() override;
  void InvioAccettato() override;

 private:
  TDM1Settings& settings_;
  std::function<LinkServices*()> links_;
  platform::ActivityLog& log_;
  channels::MissingLinks missing_;
};

// The WhatsApp template of the send in progress and the settings object's
// identity and payment-link fields. There is no
// clipboard in the service: what the desktop would put there goes to the log.
class FieldsWhatsAppHost : public channels::WhatsAppHost {
 public:
  FieldsWhatsAppHost(TDM1Fields& fields, platform::ActivityLog& log) : fields_(fields), log_(log) {}

  channels::WhatsAppSettings Settings() const override;
  void SetDescrPagPredef(const std::string& description) override {
    fields_.descr_pag_predef = description;
  }
  void CopiaNegliAppunti(const std::string& text) override { log_.WriteLog(text); }

 private:
  TDM1Fields& fields_;
  platform::ActivityLog& log_;
};

}  // namespace oxsms::dispatch
