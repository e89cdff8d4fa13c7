#include "cloud/cloud_prompts.h"

namespace oxsms::cloud {
namespace {

std::string During(const PromptContext& context) {
  return context.reading_configuration ? " (lettura della configurazione, " + context.path + ")"
                                       : " (" + context.path + ")";
}

}  // namespace

std::optional<CloudLogin> HeadlessCloudPrompts::AskCredentials(const PromptContext& context) {
  const std::string who =
      context.current_user.empty() ? "nessun account cloud" : "l'account " + context.current_user;
  log_.WriteLog("Credenziali cloud richieste" + During(context) + " per " + who +
                ": nessun operatore presente, accesso annullato. Il servizio usa l'account di "
                "\"cloud_param\" in config.ini solo se memorizzato (\"login\": true)");
  return std::nullopt;
}

bool HeadlessCloudPrompts::VerifySecurity(const PromptContext& context,
                                          const std::string& protections) {
  log_.WriteLog("Verifica di sicurezza cloud richiesta" + During(context) +
                (protections.empty() ? std::string() : ", protezioni: " + protections) +
                ": nessun operatore presente, verifica annullata");
  return false;
}

bool HeadlessCloudPrompts::SetUpSecurity(const PromptContext& context) {
  log_.WriteLog("Impostazione della sicurezza cloud richiesta" + During(context) +
                ": nessun operatore presente, impostazione annullata");
  return false;
}

}  // namespace oxsms::cloud
