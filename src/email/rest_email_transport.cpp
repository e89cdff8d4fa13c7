#include "email/rest_email_transport.h"

#include <utility>

#include "email/attachment_file.h"
#include "email/email_error.h"
#include "email/mime_message.h"
#include "net/maker_rest.h"
#include "net/reachability.h"
#include "platform/base64.h"

namespace oxsms::email {
namespace {

using nlohmann::json;

// "codice" up to this value means the service took the message.
constexpr int kHighestAcceptedCodice = 10;

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string joined;
  for (const auto& line : lines) {
    if (!joined.empty()) joined += "\r\n";
    joined += line;
  }
  return joined;
}

void AddAttachments(json& request, const std::vector<std::string>& paths) {
  for (std::size_t i = 0; i < paths.size(); ++i) {
    const auto file = ReadAttachmentFile(paths[i]);
    if (!file) break;  // the files after an unreadable one are not sent
    const std::string suffix = i == 0 ? "" : "_" + std::to_string(i);
    request["file_allegati_base64" + suffix] = platform::EncodeBase64Mime(file->bytes);
    request["file_allegati_nome_base64" + suffix] = file->name;
  }
}

struct Recipient {
  std::string address;
  std::string name;
};

// One request per To recipient; the first also names the first Cc. Without
// To, each Bcc address alone, so that nobody sees the others.
std::vector<Recipient> RecipientsOf(const EmailMessage& message) {
  std::vector<Recipient> recipients;
  for (const auto& to : message.to) recipients.push_back({to.address, to.name});
  if (!recipients.empty() && !message.cc.empty()) {
    recipients.front().address += ";" + message.cc.front().address;
    recipients.front().name += ";" + recipients.front().name;
  }
  if (recipients.empty()) {
    for (const auto& bcc : message.bcc) recipients.push_back({bcc.address, bcc.name});
  }
  return recipients;
}

}  // namespace

ReachabilityProbe TcpReachabilityProbe(std::chrono::milliseconds timeout) {
  return [timeout](const std::string& host_port) { return net::CanConnect(host_port, timeout); };
}

json RestEmailRequest(const EmailMessage& message, const EmailSettings& settings,
                      const std::string& email_destinatario,
                      const std::string& nominativo_destinatario) {
  json request = {
      {"email_mittente", settings.DaEmail},
      {"nominativo_mittente", settings.DaNome},
      {"oggetto", platform::EncodeBase64Mime(message.subject)},
      {"body", platform::EncodeBase64Mime(SignedHtml(message.html_body, settings.Firma))},
      {"email_destinatario", email_destinatario},
      {"nominativo_destinatario", nominativo_destinatario},
      {"email_bcc", settings.EmailBCC},
      {"file_allegati", JoinLines(message.attachments)},
  };
  AddAttachments(request, message.attachments);
  return request;
}

RestEmailTransport::RestEmailTransport(net::HttpClient& http, RestEmailEndpoints endpoints,
                                       ReachabilityProbe probe)
    : http_(http), endpoints_(std::move(endpoints)), probe_(std::move(probe)) {}

const std::string& RestEmailTransport::Endpoint() {
  if (current_url_.empty()) current_url_ = endpoints_.primary_url;
  std::string host = on_fallback_ ? net::HostOf(endpoints_.fallback_url) : endpoints_.primary_probe_host;
  if (probe_(host)) return current_url_;
  if (!on_fallback_) {
    on_fallback_ = true;
    current_url_ = endpoints_.fallback_url;
    host = net::HostOf(endpoints_.fallback_url);
    if (probe_(host)) return current_url_;
  }
  throw EmailDeliveryError("Server velk " + host + " non raggiungibile", true);
}

void RestEmailTransport::Post(const std::string& url, const json& body) {
  const std::string host = net::HostOf(url);
  net::MakerReply reply;
  long status = 0;
  try {
    const net::HttpResponse response =
        http_.Send(net::MakeMakerRequest({url, endpoints_.api_key}, kInviaMessaggioEmail, body));
    status = response.status;
    reply = net::ReadMakerReply(response);
  } catch (const net::HttpError& e) {
    // A message that went without an answer concerns itself alone: the next
    // one is tried (or paused by the host guard) on its own.
    throw EmailDeliveryError(std::string("Servizio email non raggiungibile: ") + e.what(), true,
                             /*message_only=*/e.Unanswered(), /*in_doubt=*/e.Unanswered());
  }
  const auto codice = reply.codice();
  if (status >= 400 || !codice) {
    // A server error or a page with no outcome: the service may take the
    // message later. A request refused as such (4xx) will not be taken.
    const bool transient = status >= 500 || (status < 400 && !codice);
    throw EmailDeliveryError("Risposta non valida dal servizio email (" + host + ", HTTP " +
                                 std::to_string(status) + ")",
                             transient);
  }
  if (*codice > kHighestAcceptedCodice) {
    std::string text = "Errore invio email (codice " + std::to_string(*codice) + ")";
    if (!reply.response_message().empty()) text += ": " + reply.response_message();
    // The service answered for this message; the next one is asked anew.
    throw EmailDeliveryError(text, false, /*message_only=*/true);
  }
}

void RestEmailTransport::Deliver(const EmailMessage& message, const EmailSettings& settings) {
  const std::lock_guard<std::mutex> lock(mutex_);
  if (settings.DaEmail.empty()) {
    throw EmailError("Email mittente non configurata: il servizio email non può inviare");
  }
  const std::vector<Recipient> recipients = RecipientsOf(message);
  if (recipients.empty()) throw EmailError("Destinatari non passati");
  const std::string url = Endpoint();
  json request = RestEmailRequest(message, settings, "", "");
  for (const auto& recipient : recipients) {
    request["email_destinatario"] = recipient.address;
    request["nominativo_destinatario"] = recipient.name;
    Post(url, request);
  }
}

}  // namespace oxsms::email
