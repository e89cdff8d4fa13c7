// The manual WhatsApp hand-off (`MultiSendWhts`): each recipient's message is
// handed to the WhatsApp program of the practice's computer through a
// "whatsapp://send" address, and a system-modal message box waits until the
// operator has pressed WhatsApp's send button. Nothing goes through the
// maker's services and no credit is spent.
//
// The channel needs an operator: without one (the service, any system other
// than Windows) the whole batch is refused with one log line and nothing is
// handed off. Only the service thread calls; with an operator each recipient
// blocks the caller until the message box is closed.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "channels/message_composer.h"
#include "channels/send_result.h"
#include "channels/sms_gateway.h"
#include "channels/sms_host.h"
#include "platform/activity_log.h"
#include "platform/desktop_handoff.h"

namespace oxsms::channels {

inline constexpr const char* kManualWhatsAppTitle = "Invio Whatsapp";
inline constexpr const char* kManualWhatsAppRefused =
    "Invio WhatsApp manuale non disponibile nel servizio: ";

// The number WhatsApp is given: `Cellulare` as stored, with "+39" in front
// when it has 10 characters or fewer (`Paese` is not used).
std::string ManualWhatsAppNumber(const std::string& cellulare);

// The query encoding of the hand-off: blanks, bytes outside printable ASCII,
// and * # % < > [ ] & + are written as %XX (upper-case hex) of their UTF-8
// bytes; every other character, "=" included, is left as it is. "&" and "+"
// are encoded because a query reader would end the text at an "&" and read
// a "+" as a blank.
std::string ManualWhatsAppQuery(std::string_view text);

// "whatsapp://send?phone=<number>", and with the text
// "...&" + the query encoding of "text=" + `text`.
std::string ManualWhatsAppAddress(const std::string& number);
std::string ManualWhatsAppAddress(const std::string& number, std::string_view text);

// The message box text for the patient `cognome`.
std::string ManualWhatsAppPrompt(const std::string& cognome);

class ManualWhatsApp {
 public:
  // Every reference must outlive the object. `sleep` is the pause between
  // the two addresses of a recipient.
  ManualWhatsApp(SmsHost& host, MessageComposer& composer, platform::DesktopHandoff& desktop,
                 platform::ActivityLog& log, Sleeper sleep = SleepFor)
      : host_(host), composer_(composer), desktop_(desktop), log_(log), sleep_(std::move(sleep)) {}

  // `MultiSendWhts`: one hand-off per phone line of `listSmsCell`, with the
  // text of the template lines `testoLinee` (the batch lists and the payment
  // filter of the host used as the SMS batch uses them). Lines of an email
  // address or without a number are skipped without a message box; a
  // message whose payment link could not be had is not handed off (held back
  // for a later attempt). Without an operator every line counts as refused
  // and one line is logged; with one, test mode hands nothing off and logs
  // each line. Each message the operator confirmed counts as accepted.
  SendResult MultiSendWhts(const std::vector<std::string>& listSmsCell,
                           const std::vector<std::string>& testoLinee);

 private:
  SmsHost& host_;
  MessageComposer& composer_;
  platform::DesktopHandoff& desktop_;
  platform::ActivityLog& log_;
  Sleeper sleep_;
};

}  // namespace oxsms::channels
