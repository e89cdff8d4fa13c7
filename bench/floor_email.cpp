#include "floor_email.h"

#include <curl/curl.h>

#include <memory>
#include <stdexcept>

#include "bench_practice.h"
#include "email/builtin_messages.h"
#include "email/email_composition.h"
#include "email/email_message.h"
#include "email/mime_message.h"
#include "fixture/config_database.h"

namespace oxsms::bench {
namespace {

constexpr const char* kMessageName = "Appuntamento";

struct Handles {
  CURL* curl = curl_easy_init();
  curl_mime* mime = nullptr;
  curl_slist* headers = nullptr;
  curl_slist* recipients = nullptr;
  ~Handles() {
    curl_slist_free_all(recipients);
    curl_slist_free_all(headers);
    curl_mime_free(mime);
    curl_easy_cleanup(curl);
  }
};

email::TEmailString Reminder() {
  for (const email::TypicalMessage& m : email::BuiltInCatalogue()) {
    if (m.C0 == kMessageName) return {m.C0, m.C2, m.C1};
  }
  throw std::runtime_error("no typical message " + std::string(kMessageName));
}

bool Deliver(const email::EmailMessage& message, const email::EmailSettings& settings,
             const std::string& url, const std::string& mail_from) {
  Handles h;
  if (h.curl == nullptr) throw std::runtime_error("no libcurl handle");
  for (const auto& line : email::MessageHeaders(message, settings, email::CurrentMailDate(),
                                                email::MakeMessageId(settings.DaEmail))) {
    h.headers = curl_slist_append(h.headers, line.c_str());
  }
  h.recipients = curl_slist_append(h.recipients, ("<" + message.to.front().address + ">").c_str());
  const std::string html = email::Utf8ToLatin1(email::SignedHtml(message.html_body, settings.Firma));
  h.mime = curl_mime_init(h.curl);
  curl_mimepart* part = curl_mime_addpart(h.mime);
  curl_mime_data(part, html.data(), html.size());
  curl_mime_type(part, "text/html; charset=iso-8859-1");
  curl_mime_encoder(part, "quoted-printable");
  curl_easy_setopt(h.curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(h.curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(h.curl, CURLOPT_MAIL_FROM, mail_from.c_str());
  curl_easy_setopt(h.curl, CURLOPT_MAIL_RCPT, h.recipients);
  curl_easy_setopt(h.curl, CURLOPT_HTTPHEADER, h.headers);
  curl_easy_setopt(h.curl, CURLOPT_MIMEPOST, h.mime);
  curl_easy_setopt(h.curl, CURLOPT_USERNAME, settings.Username.c_str());
  curl_easy_setopt(h.curl, CURLOPT_PASSWORD, settings.Password.c_str());
  return curl_easy_perform(h.curl) == CURLE_OK;
}

}  // namespace

email::EmailSettings FloorEmailSettings(int smtp_port) {
  const auto settings = email::ParseEmailSettings(fixture::SmtpSettingsXml(SinkAccount(smtp_port)));
  if (!settings) throw std::runtime_error("the email settings do not parse");
  return *settings;
}

int SendFloorEmails(const std::vector<std::string>& lines, const email::EmailSettings& settings) {
  if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) throw std::runtime_error("no libcurl");
  const email::TEmailString text = Reminder();
  const std::string url = "smtp://" + settings.Host + ":" + settings.Port;
  const std::string mail_from = "<" + settings.DaEmail + ">";
  int accepted = 0;
  for (const std::string& line : lines) {
    email::TEmailRec rec;
    email::LeggiDestinatario(rec, line);
    const email::TEmailString personal = email::SubstitutePersonal(text, rec);
    email::EmailMessage message;
    message.subject = personal.strSoggetto;
    message.html_body = email::HtmlBody(personal.strBody);
    message.to.push_back({rec.Email, ""});
    if (Deliver(message, settings, url, mail_from)) ++accepted;
  }
  return accepted;
}

}  // namespace oxsms::bench
