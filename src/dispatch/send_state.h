// The state of one send of the daily run, apart from the stored settings:
// its channels, search days, texts and template, the payment filter and the
// batch lists. The run makes one `SendState` per kind of message (reminder,
// advance notice, payment link, birthday, control SMS) from the settings and
// passes it down to what sends it; nothing of it outlives the kind, so no
// kind has to undo what the one before it set.
//
// What belongs to the whole run (the control text, the run's report) is in
// the `RunState` the run makes at its start.
#pragma once

#include <string>

#include "dispatch/journal_gate.h"
#include "dispatch/run_report.h"
#include "dispatch/tdm1_settings.h"
#include "platform/date_time.h"
#include "practice/recipient_records.h"

namespace oxsms::dispatch {

struct SendState {
  SendKind kind = SendKind::kReminder;
  // Channels of this send: SMS, email, manual WhatsApp hand-off (never in a
  // run), WhatsApp templates.
  bool sendSms = true;
  bool sendEmail = false;
  bool sendWhts = false;
  bool sendWhtsB = false;
  // The channels the run journal leaves this kind today.
  ChannelMask channels_left;
  platform::TDateTime DataRicerca = 0;   // first day of the search
  platform::TDateTime DataRicerca1 = 0;  // last day of the search
  std::string TestoInvioSMS;             // SMS text, with placeholders
  std::string TemplaTeInvioWhts, TestoLiberoInvioWhts, variabiliInvioWhts,
      linkConfermaInvioWhts;           // WhatsApp template
  std::string NomeEmailInvio;          // typical email message
  // Only recipients with a fee to collect and no payment link yet: set for
  // the payment-link kind alone.
  bool eliminaIncassiNulli = false;
  // listCell, list_id_agenda, listScartiSms and listCellIncassi, kept at the
  // same index.
  practice::RecipientLists lists;
};

// What belongs to one daily run as a whole; made when the run starts.
struct RunState {
  std::string strVerifica;  // text of the control SMS, built up during the run
  RunReport report;         // what each kind came to
  SendKind current_kind = SendKind::kReminder;  // the kind the run is at
};

// The reminder of appointments on `day`: the reminder channels, template,
// SMS text and email message.
SendState ReminderSend(const TDM1Settings& settings, platform::TDateTime day);

// The advance notice or the payment-link message (`kind`) of appointments on
// `day`: the channels of `preceding` (the kind sent before it), and its own
// SMS text, template group and email message where each is set and its
// channel is on; where not, those of `preceding` stay. The payment-link
// message sends only to fees still to collect.
SendState FollowingSend(SendKind kind, const SendState& preceding, const TDM1Settings& settings,
                        platform::TDateTime day);

// The birthday greetings: the birthday channels, template, text and message.
SendState BirthdaySend(const TDM1Settings& settings);

// The control SMS with `text`: an SMS to the practice's own numbers, whatever
// channels the kinds before it used.
SendState ControlSend(const std::string& text);

// The send now in progress, as the channel adapters and the searches see it
// (their interfaces ask for the batch lists and the payment filter at each
// step). A send makes itself current for its duration with a Scope; outside
// any send they see an empty one (no lines, no filter). Only the service
// thread uses it.
class ActiveSend {
 public:
  ActiveSend() = default;
  ActiveSend(const ActiveSend&) = delete;
  ActiveSend& operator=(const ActiveSend&) = delete;

  SendState& Current() { return current_ != nullptr ? *current_ : idle_; }
  const SendState& Current() const { return current_ != nullptr ? *current_ : idle_; }

  // Makes `send` current until the scope ends; the send before it is
  // current again afterwards. `send` must outlive the scope.
  class Scope {
   public:
    Scope(ActiveSend& active, SendState& send);
    ~Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

   private:
    ActiveSend& active_;
    SendState* previous_;
  };

 private:
  SendState* current_ = nullptr;
  // Seen between sends; emptied whenever the last send ends.
  SendState idle_;
};

}  // namespace oxsms::dispatch
