#include "cloud/cloud_configurations.h"

#include "cloud/cloud_configuration_document.h"
#include "net/maker_rest.h"
#include "practice/database_error.h"

namespace oxsms::cloud {
namespace {

using nlohmann::json;

constexpr int kCodeDone = 1;
constexpr int kCodeNotAccessible = 11;

[[noreturn]] void Unreadable(const std::string& number, const std::string& reason) {
  throw practice::DatabaseError("Configurazione cloud " + number + " non leggibile: " + reason);
}

std::string WhyNot(const json& reply) {
  if (!reply.is_object()) return "nessuna risposta dal servizio cloud";
  const auto codice = net::Codice(reply);
  const std::string message = net::StringMember(reply, "response_message");
  return "risposta del servizio cloud con codice " +
         (codice ? std::to_string(*codice) : std::string("assente")) +
         (message.empty() ? std::string() : " (" + message + ")");
}

}  // namespace

void CloudConfigurations::ReadDocument(const std::string& hex, practice::TRecDatabase& record) {
  LeggiConfigurazioneCloud(cipher_, hex, record);
}

void CloudConfigurations::TakeStoredAccount(const practice::StoredCloudAccount& account,
                                            bool take_remember) {
  session_.user = account.user;
  session_.password = account.password;
  if (take_remember && account.login) session_.remember = *account.login;
}

json CloudConfigurations::Ask(const std::string& number) {
  json request = {{"id_configurazione", number}};
  json reply;
  try {
    client_.ChiamataRestCloud(kConfigurationPath, request, /*authenticate=*/true, reply,
                              /*hide_remember=*/false);
  } catch (const platform::Error& e) {
    Unreadable(number, e.what());
  }
  return reply;
}

void CloudConfigurations::Resolve(const std::string& location, const std::string& number,
                                  practice::TRecDatabase& record) {
  json reply = Ask(number);
  if (net::Codice(reply) == kCodeNotAccessible) {
    log_.WriteLog("Accesso al cloud con " + session_.user +
                  " non riuscito. Ritentare l'accesso al cloud reinserendo le credenziali");
    session_.user.clear();
    session_.password.clear();
    reply = Ask(number);
    if (net::Codice(reply) == kCodeDone && location.compare(0, 3, "con") == 0) {
      client_.SalvaCredenzialiCloud();
    }
  }
  if (net::Codice(reply) != kCodeDone) Unreadable(number, WhyNot(reply));
  const auto dati = reply.find("dati");
  if (dati == reply.end() || !dati->is_object() || !dati->contains("ConfigurazioniCloud") ||
      !(*dati)["ConfigurazioniCloud"].is_object()) {
    Unreadable(number, "la risposta del servizio cloud non contiene la configurazione");
  }
  ReadConfigurationDocument((*dati)["ConfigurazioniCloud"], record);
  const auto account = dati->find("AccountCloud");
  if (!session_.account && account != dati->end()) session_.account = *account;
}

}  // namespace oxsms::cloud
