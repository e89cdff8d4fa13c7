#include "maker-sim/whatsapp_service.h"

#include <string>
#include <vector>

#include "maker-sim/sim_json.h"
#include "maker-sim/sms_batch.h"
#include "platform/base64.h"

namespace oxsms::makersim {

using nlohmann::json;

namespace {

json Refusal(const std::string& message) {
  return {{"codice", 0}, {"message", message}, {"response_message", message}};
}

bool IsAscii(const std::string& body) {
  for (unsigned char c : body) {
    if (c >= 0x80) return false;
  }
  return true;
}

// Runs a JSON endpoint: the API key first, then a body that must be plain
// ASCII JSON (the services' convention); a malformed request is answered with
// HTTP 400 and "codice" 0.
template <typename Body>
void WithJsonBody(SimCore& core, const httplib::Request& request, httplib::Response& response,
                  Body body) {
  if (!core.ApiKeyAccepted(request.get_header_value("Authorization"))) {
    ReplyJson(response, Refusal("Chiave API non valida"), 401);
    return;
  }
  try {
    if (!IsAscii(request.body)) throw BadRequest("il corpo contiene caratteri non ASCII");
    body(ParseJsonObjectBody(request.body));
  } catch (const BadRequest& e) {
    ReplyJson(response, Refusal(std::string("Richiesta non valida: ") + e.what()), 400);
  }
}

bool RequiredBool(const json& object, const char* name) {
  auto it = object.find(name);
  if (it == object.end() || !it->is_boolean()) {
    throw BadRequest(std::string("membro \"") + name + "\" mancante o non booleano");
  }
  return it->get<bool>();
}

const json& RequiredMember(const json& object, const char* name, bool (json::*is_kind)() const,
                           const char* kind) {
  auto it = object.find(name);
  if (it == object.end() || !((*it).*is_kind)()) {
    throw BadRequest(std::string("membro \"") + name + "\" mancante o non " + kind);
  }
  return *it;
}

// A "_b64"-style member decoded to its text; raises BadRequest when it is not
// base64.
std::string DecodedMember(const json& object, const char* name) {
  const auto decoded = platform::TryDecodeBase64(RequiredString(object, name));
  if (!decoded) throw BadRequest(std::string("membro \"") + name + "\" non in base64");
  return *decoded;
}

// One message per recipient object, checked for form; the account fields
// are filled by the caller.
std::vector<AcceptedWhatsApp> ReadRecipients(const json& in) {
  const json& globals = RequiredMember(in, "variabili_globali", &json::is_object, "oggetto");
  const std::string dati_studio = DecodedMember(globals, "dati_studio");
  const std::string indirizzo_studio = DecodedMember(globals, "indirizzo_studio");
  const json& recipients = RequiredMember(in, "variabili", &json::is_array, "elenco");

  std::vector<AcceptedWhatsApp> messages;
  for (const auto& recipient : recipients) {
    if (!recipient.is_object()) throw BadRequest("ogni destinatario deve essere un oggetto");
    AcceptedWhatsApp message;
    message.destinatario = RequiredString(recipient, "destinatario");
    message.testo_libero = DecodedMember(recipient, "testo_libero");
    message.variabili = recipient;
    message.dati_studio = dati_studio;
    message.indirizzo_studio = indirizzo_studio;
    messages.push_back(std::move(message));
  }
  return messages;
}

}  // namespace

void WhatsAppService::AddRoutes(Router& router) {
  router.AddEndpoint("POST", "/whatsapp/invia_template.json",
                     [this](const httplib::Request& rq, httplib::Response& rs) { SendTemplate(rq, rs); });
  router.AddEndpoint("POST", "/whatsapp/lista_template.json",
                     [this](const httplib::Request& rq, httplib::Response& rs) { ListTemplates(rq, rs); });

  router.AddControl("GET", "/_sim/whatsapp", [this](const httplib::Request&, httplib::Response& rs) {
    ReplyJson(rs, state_.MessagesJson());
  });
  router.AddControl("POST", "/_sim/whatsapp/templates",
                    [this](const httplib::Request& rq, httplib::Response& rs) {
                      state_.PutTemplate(WhatsAppState::TemplateFromJson(ParseJsonObjectBody(rq.body)));
                      ReplyJson(rs, state_.ToJson()["templates"]);
                    });
}

void WhatsAppService::LoadState(const json& section) {
  state_ = section.is_null() ? WhatsAppState::Default() : WhatsAppState::FromJson(section);
}

SmsAccount* WhatsAppService::Authenticate(const json& in, httplib::Response& response) {
  const std::string user = RequiredString(in, "user");
  const std::string pwd = RequiredString(in, "pwd");
  SmsAccount* account = sms_.FindUser(user);
  if (account == nullptr || account->pwd != pwd) {
    ReplyJson(response, Refusal("Utente o password non validi"));
    return nullptr;
  }
  if (account->codice != 0) {
    ReplyJson(response, Refusal(account->message.empty() ? "Account sospeso" : account->message));
    return nullptr;
  }
  return account;
}

void WhatsAppService::SendTemplate(const httplib::Request& request, httplib::Response& response) {
  WithJsonBody(core_, request, response, [&](const json& in) {
    const std::string sigla = RequiredString(in, "sigla_template");
    const std::string mittente = RequiredString(in, "mittente");
    const long long count_msg = RequiredInteger(in, "count_msg");
    const bool conferma = RequiredBool(in, "bool_conferma_invio");
    std::vector<AcceptedWhatsApp> messages = ReadRecipients(in);

    SmsAccount* account = Authenticate(in, response);
    if (account == nullptr) return;
    std::string refusal;
    if (state_.FindTemplate(account->user, sigla) == nullptr) {
      refusal = "Template sconosciuto: " + sigla;
    } else if (mittente.empty()) {
      refusal = "Numero mittente mancante";
    } else if (messages.empty()) {
      refusal = "Nessun destinatario";
    }
    for (const auto& message : messages) {
      if (refusal.empty() &&
          (!IsValidRecipient(message.destinatario) || sms_.NumberRefused(message.destinatario))) {
        refusal = "Destinatario non valido: " + message.destinatario;
      }
    }
    const long long needed = static_cast<long long>(messages.size());
    if (refusal.empty() && account->credit < needed) {
      refusal = "Credito insufficiente: servono " + std::to_string(needed) + " messaggi, disponibili " +
                std::to_string(account->credit);
    }
    if (!refusal.empty()) {
      ReplyJson(response, Refusal(refusal));
      return;
    }

    account->credit -= needed;
    for (auto& message : messages) {
      message.user = account->user;
      message.sigla_template = sigla;
      message.mittente = mittente;
      message.bool_conferma_invio = conferma;
      message.count_msg = count_msg;
    }
    const std::vector<long long> ids = state_.Accept(std::move(messages));
    ReplyJson(response, {{"codice", 1},
                         {"dati", {{"messaggi", ids.size()}, {"id", ids}}},
                         {"response_message", "Invio accettato"}});
  });
}

void WhatsAppService::ListTemplates(const httplib::Request& request, httplib::Response& response) {
  WithJsonBody(core_, request, response, [&](const json& in) {
    SmsAccount* account = Authenticate(in, response);
    if (account == nullptr) return;
    ReplyJson(response, {{"codice", 1},
                         {"dati", state_.TemplatesOf(account->user)},
                         {"response_message", ""}});
  });
}

}  // namespace oxsms::makersim
