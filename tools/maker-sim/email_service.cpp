#include "maker-sim/email_service.h"

#include <algorithm>

#include "maker-sim/sim_json.h"
#include "platform/base64.h"
#include "platform/code_page.h"

namespace oxsms::makersim {

using nlohmann::json;

namespace {

constexpr const char* kSendPath = "/invio_email/invia_messaggio_email.json";

void Refuse(httplib::Response& response, int codice, const std::string& message, int status = 200) {
  ReplyJson(response, {{"codice", codice}, {"response_message", message}}, status);
}

bool PlainAscii(const std::string& body) {
  return std::all_of(body.begin(), body.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

std::string DecodedMember(const json& in, const char* name) {
  const auto bytes = platform::TryDecodeBase64(RequiredString(in, name));
  if (!bytes) throw BadRequest(std::string("membro \"") + name + "\" non è base64");
  return *bytes;
}

// The attachments in member order: the first without suffix, then "_1",
// "_2", ... up to the first one missing.
std::vector<ReceivedAttachment> Attachments(const json& in) {
  std::vector<ReceivedAttachment> attachments;
  for (int i = 0;; ++i) {
    const std::string suffix = i == 0 ? "" : "_" + std::to_string(i);
    const std::string data = "file_allegati_base64" + suffix;
    if (!in.contains(data)) break;
    ReceivedAttachment attachment;
    attachment.member = data;
    attachment.bytes = DecodedMember(in, data.c_str());
    attachment.nome = OptionalString(in, ("file_allegati_nome_base64" + suffix).c_str(), "");
    attachments.push_back(std::move(attachment));
  }
  return attachments;
}

json EmailToJson(const ReceivedEmail& email) {
  json allegati = json::array();
  for (const auto& file : email.allegati) {
    allegati.push_back({{"member", file.member},
                        {"nome", file.nome},
                        {"size", file.bytes.size()},
                        {"contenuto", platform::ToUtf8Lenient(file.bytes)},
                        {"base64", platform::EncodeBase64Mime(file.bytes)}});
  }
  return {{"id", email.id},
          {"email_mittente", email.email_mittente},
          {"nominativo_mittente", email.nominativo_mittente},
          {"email_destinatario", email.email_destinatario},
          {"nominativo_destinatario", email.nominativo_destinatario},
          {"email_bcc", email.email_bcc},
          {"oggetto", platform::ToUtf8Lenient(email.oggetto)},
          {"body", platform::ToUtf8Lenient(email.body)},
          {"file_allegati", email.file_allegati},
          {"allegati", allegati},
          {"time", email.time}};
}

}  // namespace

void EmailService::AddRoutes(Router& router) {
  router.AddEndpoint("POST", kSendPath,
                     [this](const httplib::Request& rq, httplib::Response& rs) { Send(rq, rs); });
  router.AddControl("GET", "/_sim/emails", [this](const httplib::Request&, httplib::Response& rs) {
    ReplyJson(rs, EmailsJson());
  });
}

void EmailService::LoadState(const json& section) {
  std::vector<std::string> refused;
  if (!section.is_null()) {
    if (!section.is_object()) throw BadRequest("lo stato \"email\" deve essere un oggetto");
    const auto it = section.find("refused_recipients");
    if (it != section.end()) {
      if (!it->is_array()) throw BadRequest("\"refused_recipients\" deve essere una lista");
      for (const auto& address : *it) {
        if (!address.is_string()) throw BadRequest("\"refused_recipients\": indirizzo non testo");
        refused.push_back(address.get<std::string>());
      }
    }
  }
  refused_ = std::move(refused);
  emails_.clear();
  next_id_ = 1;
}

json EmailService::SaveState() const { return {{"refused_recipients", refused_}}; }

void EmailService::Send(const httplib::Request& request, httplib::Response& response) {
  if (!core_.ApiKeyAccepted(request.get_header_value("Authorization"))) {
    Refuse(response, 0, "Chiave API non valida", 401);
    return;
  }
  ReceivedEmail email;
  try {
    if (!PlainAscii(request.body)) throw BadRequest("caratteri non ASCII nel corpo");
    const json in = ParseJsonObjectBody(request.body);
    email.email_mittente = RequiredString(in, "email_mittente");
    email.nominativo_mittente = OptionalString(in, "nominativo_mittente", "");
    email.email_destinatario = RequiredString(in, "email_destinatario");
    email.nominativo_destinatario = OptionalString(in, "nominativo_destinatario", "");
    email.email_bcc = OptionalString(in, "email_bcc", "");
    email.oggetto = DecodedMember(in, "oggetto");
    email.body = DecodedMember(in, "body");
    email.file_allegati = OptionalString(in, "file_allegati", "");
    email.allegati = Attachments(in);
  } catch (const BadRequest& e) {
    Refuse(response, 0, std::string("Richiesta non valida: ") + e.what(), 400);
    return;
  }
  if (email.email_mittente.empty() || email.email_destinatario.empty()) {
    Refuse(response, 12, "Mittente o destinatario mancante");
    return;
  }
  const std::string first = email.email_destinatario.substr(0, email.email_destinatario.find(';'));
  if (std::find(refused_.begin(), refused_.end(), first) != refused_.end()) {
    Refuse(response, 11, "Destinatario rifiutato: " + first);
    return;
  }
  email.id = next_id_++;
  email.time = UtcTimestamp();
  emails_.push_back(std::move(email));
  ReplyJson(response, {{"codice", 1},
                       {"response_message", "Email inviata"},
                       {"dati", {{"id", emails_.back().id}}}});
}

json EmailService::EmailsJson() const {
  json emails = json::array();
  for (const auto& email : emails_) emails.push_back(EmailToJson(email));
  return emails;
}

}  // namespace oxsms::makersim
