#include "email/smtp_transport.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <memory>
#include <mutex>
#include <vector>

#include "email/attachment_file.h"
#include "email/email_error.h"
#include "email/mime_message.h"
#include "email/smtp_failure.h"

namespace oxsms::email {
namespace {

void InitCurlOnce() {
  static std::once_flag once;
  static CURLcode result = CURLE_OK;
  std::call_once(once, [] { result = curl_global_init(CURL_GLOBAL_DEFAULT); });
  if (result != CURLE_OK) throw EmailError("Inizializzazione della libreria di rete non riuscita");
}

std::string Trim(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// Letters, digits and the characters of host names and address literals:
// anything else could change the meaning of the URL.
bool ValidHost(const std::string& host) {
  return !host.empty() && std::all_of(host.begin(), host.end(), [](unsigned char c) {
    return std::isalnum(c) || c == '.' || c == '-' || c == '_' || c == ':' || c == '[' || c == ']';
  });
}

long PortOf(const EmailSettings& settings) {
  const std::string text = Trim(settings.Port);
  if (text.empty()) return 25;
  long port = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), port);
  if (error != std::errc() || end != text.data() + text.size() || port < 1 || port > 65535) {
    throw EmailError("Porta SMTP non valida: " + text);
  }
  return port;
}

std::vector<AttachmentFile> ReadAttachments(const std::vector<std::string>& paths) {
  std::vector<AttachmentFile> attachments;
  for (const auto& path : paths) {
    auto file = ReadAttachmentFile(path);
    if (!file) throw EmailError("Allegato non leggibile: " + path);
    attachments.push_back(std::move(*file));
  }
  return attachments;
}

struct Slist {
  curl_slist* list = nullptr;
  ~Slist() { curl_slist_free_all(list); }
  void Add(const std::string& line) {
    curl_slist* grown = curl_slist_append(list, line.c_str());
    if (grown == nullptr) throw EmailError("Memoria insufficiente per il messaggio email");
    list = grown;
  }
};

struct CurlDeleter {
  void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
struct MimeDeleter {
  void operator()(curl_mime* mime) const { curl_mime_free(mime); }
};

void AddText(curl_mime* mime, const std::string& latin, const char* type) {
  curl_mimepart* part = curl_mime_addpart(mime);
  curl_mime_data(part, latin.data(), latin.size());
  curl_mime_type(part, type);
  curl_mime_encoder(part, "quoted-printable");
}

// The body: the HTML part alone, or with attachments a multipart/mixed of a
// multipart/alternative (plain notice, HTML) and one part per file.
void BuildBody(CURL* curl, curl_mime* mime, const std::string& html,
               const std::vector<AttachmentFile>& attachments) {
  constexpr const char* kHtmlType = "text/html; charset=iso-8859-1";
  if (attachments.empty()) {
    AddText(mime, html, kHtmlType);
    return;
  }
  curl_mime* alternative = curl_mime_init(curl);
  AddText(alternative, Utf8ToLatin1(kHtmlClientNotice), "text/plain; charset=iso-8859-1");
  AddText(alternative, html, kHtmlType);
  curl_mimepart* holder = curl_mime_addpart(mime);
  curl_mime_subparts(holder, alternative);  // the part owns it from here
  curl_mime_type(holder, "multipart/alternative");
  for (const auto& file : attachments) {
    curl_mimepart* part = curl_mime_addpart(mime);
    curl_mime_data(part, file.bytes.data(), file.bytes.size());
    curl_mime_filename(part, EncodeHeaderText(file.name).c_str());
    curl_mime_type(part, "application/octet-stream");
    curl_mime_encoder(part, "base64");
  }
}

}  // namespace

SmtpTransport::SmtpTransport(SmtpOptions options) : options_(std::move(options)) {}

void SmtpTransport::Deliver(const EmailMessage& message, const EmailSettings& settings) {
  const std::string host = Trim(settings.Host);
  if (host.empty()) throw EmailError("Configurazione SMTP non trovata");
  if (!ValidHost(host)) throw EmailError("Server SMTP non valido: " + host);
  const long port = PortOf(settings);
  const std::string sender = Trim(settings.DaEmail);
  if (sender.empty()) throw EmailError("Email mittente non configurata");
  const std::vector<std::string> recipients = EnvelopeRecipients(message, settings);
  if (recipients.empty()) throw EmailError("Destinatari non passati");
  const std::vector<AttachmentFile> attachments = ReadAttachments(message.attachments);
  const std::string server = host + ":" + std::to_string(port);

  InitCurlOnce();
  std::unique_ptr<CURL, CurlDeleter> handle(curl_easy_init());
  if (!handle) throw EmailError("Impossibile creare il client SMTP");
  CURL* curl = handle.get();
  std::unique_ptr<curl_mime, MimeDeleter> mime(curl_mime_init(curl));

  Slist headers;
  for (const auto& line : MessageHeaders(message, settings, CurrentMailDate(), MakeMessageId(sender))) {
    headers.Add(line);
  }
  Slist envelope;
  for (const auto& address : recipients) envelope.Add("<" + address + ">");
  BuildBody(curl, mime.get(), Utf8ToLatin1(SignedHtml(message.html_body, settings.Firma)), attachments);

  const std::string url = "smtp://" + host + ":" + std::to_string(port);
  const std::string mail_from = "<" + sender + ">";
  char error_buffer[CURL_ERROR_SIZE] = {};
  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, error_buffer);
  curl_easy_setopt(curl, CURLOPT_VERBOSE, 0L);
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "smtp");
  curl_easy_setopt(curl, CURLOPT_MAIL_FROM, mail_from.c_str());
  curl_easy_setopt(curl, CURLOPT_MAIL_RCPT, envelope.list);
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers.list);
  curl_easy_setopt(curl, CURLOPT_MIMEPOST, mime.get());
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(options_.connect_timeout.count()));
  const long read_seconds = std::max(1L, static_cast<long>(options_.read_timeout.count()));
  curl_easy_setopt(curl, CURLOPT_SERVER_RESPONSE_TIMEOUT, read_seconds);
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, read_seconds);
  if (settings.CBSSL) {
    // STARTTLS or nothing: never fall back to plain text. TLS 1.0 and newer
    // as far as the system's OpenSSL policy allows; its security level stays.
    curl_easy_setopt(curl, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_ALL));
    curl_easy_setopt(curl, CURLOPT_SSLVERSION, static_cast<long>(CURL_SSLVERSION_TLSv1_0));
  }
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
  if (!options_.ca_file.empty()) curl_easy_setopt(curl, CURLOPT_CAINFO, options_.ca_file.c_str());
  if (settings.AuthType == 1) {
    curl_easy_setopt(curl, CURLOPT_USERNAME, settings.Username.c_str());
    curl_easy_setopt(curl, CURLOPT_PASSWORD, settings.Password.c_str());
  }

  const CURLcode code = curl_easy_perform(curl);
  if (code == CURLE_OK) return;
  long reply_code = 0;
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &reply_code);
  const SmtpFailure failure = DescribeSmtpFailure(code, reply_code, error_buffer, server);
  throw EmailDeliveryError(failure.message, failure.transient, failure.message_only);
}

}  // namespace oxsms::email
