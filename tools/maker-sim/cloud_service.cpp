#include "maker-sim/cloud_service.h"

#include <algorithm>

#include "maker-sim/sim_json.h"
#include "platform/base64.h"

namespace oxsms::makersim {

using nlohmann::json;

namespace {

constexpr const char* kShowPath = "/configurazioni_cloud/show.json";
constexpr const char* kProtectionsPath = "/account_cloud/verifica_protezioni_abilitate.json";

void Reply(httplib::Response& response, int codice, const std::string& message, int status = 200) {
  ReplyJson(response, {{"codice", codice}, {"response_message", message}}, status);
}

std::string Credential(const json& body, const char* name) {
  const auto decoded = platform::TryDecodeBase64(OptionalString(body, name, ""));
  if (!decoded) throw BadRequest(std::string("membro \"") + name + "\" non è base64");
  return *decoded;
}

std::vector<std::string> StringList(const json& object, const char* name) {
  std::vector<std::string> list;
  const auto it = object.find(name);
  if (it == object.end()) return list;
  if (!it->is_array()) throw BadRequest(std::string("\"") + name + "\" deve essere una lista");
  for (const auto& item : *it) {
    if (!item.is_string()) throw BadRequest(std::string("\"") + name + "\": elemento non testo");
    list.push_back(item.get<std::string>());
  }
  return list;
}

json ObjectMember(const json& object, const char* name) {
  const auto it = object.find(name);
  if (it == object.end()) return json::object();
  if (!it->is_object()) throw BadRequest(std::string("\"") + name + "\" deve essere un oggetto");
  return *it;
}

json List(const json& section, const char* name) {
  const auto it = section.find(name);
  if (it == section.end()) return json::array();
  if (!it->is_array()) throw BadRequest(std::string("\"") + name + "\" deve essere una lista");
  return *it;
}

}  // namespace

void CloudService::AddRoutes(Router& router) {
  router.AddEndpoint("POST", kShowPath,
                     [this](const httplib::Request& rq, httplib::Response& rs) { Show(rq, rs); });
  router.AddEndpoint(
      "POST", kProtectionsPath,
      [this](const httplib::Request& rq, httplib::Response& rs) { Protections(rq, rs); });
  router.AddControl("POST", "/_sim/cloud",
                    [this](const httplib::Request& rq, httplib::Response& rs) {
                      try {
                        LoadState(ParseJsonObjectBody(rq.body));
                      } catch (const BadRequest& e) {
                        ReplyJson(rs, {{"error", e.what()}}, 400);
                        return;
                      }
                      ReplyJson(rs, SaveState());
                    });
}

void CloudService::LoadState(const json& section) {
  std::vector<CloudAccount> accounts;
  std::vector<CloudConfiguration> configurations;
  if (section.is_null()) {
    accounts.push_back({"demo-cloud", "demo-cloud", 0, {}, json::object()});
  } else {
    if (!section.is_object()) throw BadRequest("lo stato \"cloud\" deve essere un oggetto");
    for (const auto& a : List(section, "accounts")) {
      if (!a.is_object()) throw BadRequest("\"accounts\": elemento non oggetto");
      CloudAccount account{RequiredString(a, "user"), RequiredString(a, "pwd"),
                           static_cast<int>(OptionalInteger(a, "security", 0)),
                           StringList(a, "devices"), ObjectMember(a, "protezioni")};
      accounts.push_back(std::move(account));
    }
    for (const auto& c : List(section, "configurations")) {
      if (!c.is_object()) throw BadRequest("\"configurations\": elemento non oggetto");
      configurations.push_back(
          {RequiredString(c, "id"), StringList(c, "users"), ObjectMember(c, "configurazione")});
    }
  }
  accounts_ = std::move(accounts);
  configurations_ = std::move(configurations);
}

json CloudService::SaveState() const {
  json accounts = json::array();
  for (const auto& a : accounts_) {
    accounts.push_back({{"user", a.user},
                        {"pwd", a.pwd},
                        {"security", a.security},
                        {"devices", a.devices},
                        {"protezioni", a.protezioni}});
  }
  json configurations = json::array();
  for (const auto& c : configurations_) {
    configurations.push_back(
        {{"id", c.id}, {"users", c.users}, {"configurazione", c.configurazione}});
  }
  return {{"accounts", accounts}, {"configurations", configurations}};
}

const CloudAccount* CloudService::Authenticate(const httplib::Request& request,
                                               httplib::Response& response, json& body,
                                               bool security_step) {
  if (!core_.ApiKeyAccepted(request.get_header_value("Authorization"))) {
    Reply(response, 0, "Chiave API non valida", 401);
    return nullptr;
  }
  std::string user, pwd, identifier;
  try {
    body = ParseJsonObjectBody(request.body);
    user = Credential(body, "user_cloud_b64");
    pwd = Credential(body, "pwd_cloud_b64");
    identifier = OptionalString(body, "identifier", "");
  } catch (const BadRequest& e) {
    Reply(response, 0, std::string("Richiesta non valida: ") + e.what(), 400);
    return nullptr;
  }
  const auto account = std::find_if(accounts_.begin(), accounts_.end(),
                                    [&](const CloudAccount& a) { return a.user == user; });
  if (account == accounts_.end() || account->pwd != pwd) {
    Reply(response, 17, "Utente o password cloud non validi");
    return nullptr;
  }
  if (security_step) return &*account;
  if (account->security == 21) {
    Reply(response, 21, "Sicurezza dell'account cloud non configurata");
    return nullptr;
  }
  const bool known_device = std::find(account->devices.begin(), account->devices.end(),
                                      identifier) != account->devices.end();
  if (account->security == 41 && !known_device) {
    Reply(response, 41, "Verifica di sicurezza del dispositivo richiesta");
    return nullptr;
  }
  return &*account;
}

void CloudService::Show(const httplib::Request& request, httplib::Response& response) {
  json body;
  const CloudAccount* account = Authenticate(request, response, body, false);
  if (account == nullptr) return;
  std::string id;
  try {
    id = RequiredString(body, "id_configurazione");
  } catch (const BadRequest& e) {
    Reply(response, 0, std::string("Richiesta non valida: ") + e.what(), 400);
    return;
  }
  const auto configuration = std::find_if(configurations_.begin(), configurations_.end(),
                                          [&](const CloudConfiguration& c) { return c.id == id; });
  if (configuration == configurations_.end()) {
    Reply(response, 12, "Configurazione cloud inesistente: " + id);
    return;
  }
  const auto& users = configuration->users;
  if (std::find(users.begin(), users.end(), account->user) == users.end()) {
    Reply(response, 11,
          "Configurazione cloud " + id + " non accessibile con l'account " + account->user);
    return;
  }
  ReplyJson(response,
            {{"codice", 1},
             {"response_message", "OK"},
             {"dati",
              {{"ConfigurazioniCloud", configuration->configurazione},
               {"AccountCloud", {{"user", account->user}, {"protezioni", account->protezioni}}}}}});
}

void CloudService::Protections(const httplib::Request& request, httplib::Response& response) {
  json body;
  const CloudAccount* account = Authenticate(request, response, body, true);
  if (account == nullptr) return;
  ReplyJson(response, {{"codice", 1}, {"response_message", "OK"}, {"dati", account->protezioni}});
}

}  // namespace oxsms::makersim
