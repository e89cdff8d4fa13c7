// What the simulated WhatsApp template service keeps: the templates of each
// account and every message it accepted. The accounts and their credit are
// the SMS gateway's (the two services share the credit). Not thread-safe:
// used with the simulator's state lock held.
#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace oxsms::makersim {

struct WhatsAppTemplate {
  std::string user;    // the account the template belongs to
  std::string sigla;   // the code the client sends as "sigla_template"
  std::string titolo;
  std::string testo;   // the approved text, variables as {{name}}
  std::vector<std::string> variabili;
};

struct AcceptedWhatsApp {
  long long id = 0;
  long long batch = 0;  // messages of one request share it
  std::string user;
  std::string sigla_template;
  std::string mittente;
  std::string destinatario;
  nlohmann::json variabili;         // the recipient object as received
  std::string testo_libero;         // decoded from base64 (UTF-8)
  std::string dati_studio;          // decoded "variabili_globali"
  std::string indirizzo_studio;
  bool bool_conferma_invio = false;
  long long count_msg = 0;
  std::string time;
};

class WhatsAppState {
 public:
  // Three templates of the account "demo": "PROMEMORIA" (appointment
  // reminder), "COMPLEANNO" (birthday) and "PAGAMENTO" (payment request).
  static WhatsAppState Default();
  // Raises BadRequest on a malformed section.
  static WhatsAppState FromJson(const nlohmann::json& section);
  // The templates (accepted messages are not part of the saved state).
  nlohmann::json ToJson() const;

  const WhatsAppTemplate* FindTemplate(const std::string& user, const std::string& sigla) const;
  nlohmann::json TemplatesOf(const std::string& user) const;
  // Adds or replaces (same user and code) a template.
  void PutTemplate(const WhatsAppTemplate& value);

  // Stores the messages of one accepted request; returns their ids.
  std::vector<long long> Accept(std::vector<AcceptedWhatsApp> messages);
  nlohmann::json MessagesJson() const;

  static WhatsAppTemplate TemplateFromJson(const nlohmann::json& value);
  static nlohmann::json TemplateToJson(const WhatsAppTemplate& value);

 private:
  std::vector<WhatsAppTemplate> templates_;
  std::vector<AcceptedWhatsApp> messages_;
  long long next_id_ = 1;
  long long next_batch_ = 1;
};

}  // namespace oxsms::makersim
