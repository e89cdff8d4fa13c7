// The WhatsApp template channel ("WhatsApp diretto"): a whole batch of
// recipient lines becomes one request to the maker's WhatsApp template
// service - the template code, the sender number, the values shared by all
// messages and one object of variables per recipient - and the service sends
// one template message per recipient. Each recipient may get an
// appointment-confirmation link and a payment link. The credit is the SMS
// credit: the counters are those of SmsHost, refreshed by the SMS client's
// account check before the batch.
//
// Errors are ChannelError with the Italian text the daily run logs,
// GatewayReplyError for a reply that is no JSON object, and net::HttpError
// for a transport failure, passed on unchanged. Neither the password nor the
// API key reaches the log.
//
// Only the service thread calls. Everything referenced must outlive the
// object.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "channels/link_services.h"
#include "channels/message_composer.h"
#include "channels/send_result.h"
#include "channels/sms_host.h"
#include "channels/whatsapp_host.h"
#include "channels/whatsapp_request.h"
#include "net/http_client.h"
#include "net/maker_rest.h"
#include "platform/activity_log.h"
#include "platform/operator_prompt.h"
#include "practice/recipient_records.h"

namespace oxsms::channels {

inline constexpr const char* kInviaTemplatePath = "/whatsapp/invia_template.json";
inline constexpr const char* kListaTemplatePath = "/whatsapp/lista_template.json";

// The link services of the run, asked for at each batch; nullptr: no link is
// fetched (the messages go out without them).
using LinkSource = std::function<LinkServices*()>;

class WhatsAppTemplateClient {
 public:
  // `service`: the secure SMS host (base address) and the maker's API key.
  WhatsAppTemplateClient(SmsHost& sms, WhatsAppHost& host, MessageComposer& composer,
                         LinkSource links, platform::OperatorPrompt& operator_prompt,
                         net::HttpClient& http, platform::ActivityLog& log,
                         net::MakerService service);

  // `MultiSendWhtsB`: sends every line of `listSmsCell` (a recipient line as
  // for SMS) with the current template. Outside test mode raises, after
  // logging, when the credit is out or smaller than the number of lines.
  // Lines with an e-mail address or no number are left out, and so are those
  // the payment-request rule excludes; they still count in "count_msg" and in
  // the credit taken. A confirmation link that cannot be had is logged
  // ("Errore OttieniLink Conferma", then the error) and the line goes without
  // it; a payment link that cannot be had is ignored.
  // Test mode: no request; the request is logged ("Test WhatsApp Diretto").
  // An empty reply raises "Errore del server durante l'invio". A refused batch
  // raises "Errore di invio template <message>" in the service; with an
  // operator, request and reply go to the clipboard and a message is shown.
  // Accepted: the counters drop by the number of lines, and "Invio Whatsapp
  // Diretto" and the lines are logged. When no recipient is left nothing is
  // sent and nothing is taken. Returns what went out: the recipients of an
  // accepted request; lines left out for their number and the recipients of
  // a refused request are refused messages.
  SendResult MultiSendWhtsB(const std::vector<std::string>& listSmsCell);

  // `InviaTemplate`: `obj` with "user" and "pwd" of the account added, posted
  // to "/whatsapp/invia_template.json". The parsed reply, or nothing when the
  // reply body is empty; raises GatewayReplyError when it is no JSON object.
  std::optional<nlohmann::json> InviaTemplate(const TemplateObject& obj);

  // `ListaTemplate`: the account's templates ("/whatsapp/lista_template.json").
  // An empty reply raises "errore del server Cloud"; a reply that is no JSON
  // object raises GatewayReplyError; a reply with "codice" 0 also goes to the
  // clipboard. The parsed reply otherwise.
  nlohmann::json ListaTemplate();

 private:
  // What PaymentFields chose for the bare payment words of the free text.
  struct PaymentWords {
    bool chosen = false;  // the step ran and ended without error
    bool missing = false;  // a fee to collect whose link could not be had
    std::string link;
    std::string descrizione;
  };

  // The text of `head` without its closing brace, followed by
  // ',"variabili":[': the recipient objects' wire text, joined by ",", is
  // appended to it and PostBatch closes it.
  static std::string BatchRequestHead(const TemplateObject& head);
  // InviaTemplate of the head with "variabili" written into `body` by
  // BatchRequestHead and the recipients; `body` is left as it was given.
  std::optional<nlohmann::json> PostBatch(std::string& body);
  TemplateObject RequestHead(const WhatsAppSettings& settings, std::size_t lines) const;
  // The recipient object of line i, or nothing when the line is left out.
  // A line left out for its number counts as refused in `result`.
  std::optional<TemplateObject> Recipient(std::size_t i, const std::string& line,
                                          const WhatsAppSettings& settings,
                                          practice::TLineRec& rec, SendResult& result);
  PaymentWords PaymentFields(std::size_t i, const WhatsAppSettings& settings,
                             practice::TLineRec& rec, practice::TPazRec& paz,
                             TemplateObject& recipient);
  void ConfirmationLink(std::size_t i, const WhatsAppSettings& settings, practice::TLineRec& rec,
                        TemplateObject& recipient);
  std::string FreeText(const WhatsAppSettings& settings, const PaymentWords& words,
                       practice::TLineRec& rec, const practice::TPazRec& paz);
  void Refused(const TemplateObject& request, const nlohmann::json& reply,
               const WhatsAppSettings& settings);
  net::MakerReply Post(const char* path, const TemplateObject& body);
  net::MakerReply PostText(const char* path, std::string body);
  // As PostText, sending `body` without a copy; it is given back unchanged.
  net::MakerReply PostInPlace(const char* path, std::string& body);

  SmsHost& sms_;
  WhatsAppHost& host_;
  MessageComposer& composer_;
  LinkSource links_;
  platform::OperatorPrompt& operator_;
  net::HttpClient& http_;
  platform::ActivityLog& log_;
  net::MakerService service_;
};

}  // namespace oxsms::channels
