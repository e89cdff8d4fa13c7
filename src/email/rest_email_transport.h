// `TRestEmail`: delivery through the maker's REST email service. One POST
// per To recipient to base + "/invio_email/invia_messaggio_email.json" under
// the maker's JSON conventions (net/maker_rest.h): subject and HTML body
// (with the signature paragraph) in base64, the sender of the settings,
// EmailBCC, and the attachments inlined as base64 members.
//
// The endpoint is chosen at the first delivery and kept for the life of the
// object: the primary base address when its probe host answers, else the
// fallback; once on the fallback, the primary is not tried again.
#pragma once

#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "email/email_transport.h"
#include "net/http_client.h"

namespace oxsms::email {

// The service path below the base address.
inline constexpr const char* kInviaMessaggioEmail = "/invio_email/invia_messaggio_email.json";

struct RestEmailEndpoints {
  std::string primary_url;         // base address without a final "/"
  std::string primary_probe_host;  // "host[:port]" whose answer makes the primary usable
  std::string fallback_url;        // probed at its own host and port
  std::string api_key;             // a secret: never logged
};

// True when "host[:port]" answers; see net::CanConnect.
using ReachabilityProbe = std::function<bool(const std::string& host_port)>;

// The probe production uses: a TCP connection within three seconds.
ReachabilityProbe TcpReachabilityProbe(std::chrono::milliseconds timeout = std::chrono::seconds(3));

class RestEmailTransport : public EmailTransport {
 public:
  // `http` must outlive the transport.
  RestEmailTransport(net::HttpClient& http, RestEmailEndpoints endpoints,
                     ReachabilityProbe probe = TcpReachabilityProbe());

  // See EmailTransport. One request per To recipient in order, the first
  // also carrying ";" and the first Cc address (and the display name again);
  // a message without To goes to each Bcc address alone. Stops at the first
  // refusal. Raises EmailError when DaEmail is empty or there is no
  // recipient; EmailDeliveryError "Server velk <host> non raggiungibile"
  // (transient) when neither endpoint answers, transient for a transport
  // failure or a reply that is no JSON object with a "codice", not
  // transient for a "codice" above 10.
  void Deliver(const EmailMessage& message, const EmailSettings& settings) override;

  // The base address in use; empty before the first delivery.
  const std::string& current_url() const { return current_url_; }

 private:
  // The base address to post to; raises when no endpoint answers.
  const std::string& Endpoint();
  void Post(const std::string& url, const nlohmann::json& body);

  net::HttpClient& http_;
  RestEmailEndpoints endpoints_;
  ReachabilityProbe probe_;
  std::string current_url_;
  bool on_fallback_ = false;
  // A delivery on the email worker and a single send on the caller's thread
  // may overlap; the endpoint choice and the client are used by one at a time.
  std::mutex mutex_;
};

// The request members for one recipient (the table of the service):
// "email_mittente", "nominativo_mittente", "oggetto" and "body" in base64,
// "email_destinatario", "nominativo_destinatario", "email_bcc",
// "file_allegati_base64"/"file_allegati_nome_base64" for the first file and
// the same with "_1", "_2", ... for the next ones, "file_allegati" (the
// paths, CR LF separated). An attachment that cannot be read ends the list.
nlohmann::json RestEmailRequest(const EmailMessage& message, const EmailSettings& settings,
                                const std::string& email_destinatario,
                                const std::string& nominativo_destinatario);

}  // namespace oxsms::email
