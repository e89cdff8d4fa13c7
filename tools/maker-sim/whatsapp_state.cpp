#include "maker-sim/whatsapp_state.h"

#include <stdexcept>

#include "maker-sim/sim_json.h"

namespace oxsms::makersim {

using nlohmann::json;

WhatsAppState WhatsAppState::Default() {
  WhatsAppState state;
  state.templates_ = {
      {"demo", "PROMEMORIA", "Promemoria appuntamento",
       "Gentile {{nome}} {{cognome}}, le ricordiamo l'appuntamento di {{giorno}} {{data}} alle "
       "ore {{ora}} presso {{dati_studio}}, {{indirizzo_studio}}. Conferma: {{link_breve}} "
       "{{testo_libero}}",
       {"nome", "cognome", "giorno", "data", "ora", "link_breve", "testo_libero"}},
      {"demo", "COMPLEANNO", "Auguri di compleanno",
       "Tanti auguri {{nome}} da {{dati_studio}}! {{testo_libero}}",
       {"nome", "cognome", "testo_libero"}},
      {"demo", "PAGAMENTO", "Richiesta di pagamento",
       "Gentile {{nome}} {{cognome}}, per l'appuntamento di {{giorno}} {{data}} alle ore {{ora}} "
       "puo' pagare {{descrizione_pag}} qui: {{link_pagamento}} {{testo_libero}}",
       {"nome", "cognome", "giorno", "data", "ora", "link_pagamento", "descrizione_pag",
        "testo_libero"}},
  };
  return state;
}

WhatsAppTemplate WhatsAppState::TemplateFromJson(const json& value) {
  if (!value.is_object()) throw BadRequest("il template deve essere un oggetto JSON");
  WhatsAppTemplate result;
  result.user = RequiredString(value, "user");
  result.sigla = RequiredString(value, "sigla");
  result.titolo = OptionalString(value, "titolo", "");
  result.testo = OptionalString(value, "testo", "");
  const json names = value.value("variabili", json::array());
  if (!names.is_array()) throw BadRequest("\"variabili\" deve essere un elenco di nomi");
  for (const auto& name : names) {
    if (!name.is_string()) throw BadRequest("\"variabili\" deve essere un elenco di nomi");
    result.variabili.push_back(name.get<std::string>());
  }
  if (result.user.empty() || result.sigla.empty()) {
    throw BadRequest("template senza \"user\" o \"sigla\"");
  }
  return result;
}

json WhatsAppState::TemplateToJson(const WhatsAppTemplate& value) {
  return {{"user", value.user},
          {"sigla", value.sigla},
          {"titolo", value.titolo},
          {"testo", value.testo},
          {"variabili", value.variabili}};
}

WhatsAppState WhatsAppState::FromJson(const json& section) {
  if (!section.is_object()) {
    throw BadRequest("lo stato \"whatsapp\" deve essere un oggetto");
  }
  WhatsAppState state;
  for (const auto& value : section.value("templates", json::array())) {
    state.PutTemplate(TemplateFromJson(value));
  }
  return state;
}

json WhatsAppState::ToJson() const {
  json templates = json::array();
  for (const auto& t : templates_) templates.push_back(TemplateToJson(t));
  return {{"templates", templates}};
}

const WhatsAppTemplate* WhatsAppState::FindTemplate(const std::string& user,
                                                    const std::string& sigla) const {
  for (const auto& t : templates_) {
    if (t.user == user && t.sigla == sigla) return &t;
  }
  return nullptr;
}

json WhatsAppState::TemplatesOf(const std::string& user) const {
  json list = json::array();
  for (const auto& t : templates_) {
    if (t.user != user) continue;
    list.push_back({{"sigla", t.sigla},
                    {"titolo", t.titolo},
                    {"testo", t.testo},
                    {"variabili", t.variabili}});
  }
  return list;
}

void WhatsAppState::PutTemplate(const WhatsAppTemplate& value) {
  for (auto& t : templates_) {
    if (t.user == value.user && t.sigla == value.sigla) {
      t = value;
      return;
    }
  }
  templates_.push_back(value);
}

std::vector<long long> WhatsAppState::Accept(std::vector<AcceptedWhatsApp> messages) {
  std::vector<long long> ids;
  const long long batch = next_batch_++;
  const std::string time = UtcTimestamp();
  for (auto& message : messages) {
    message.id = next_id_++;
    message.batch = batch;
    message.time = time;
    ids.push_back(message.id);
    messages_.push_back(std::move(message));
  }
  return ids;
}

json WhatsAppState::MessagesJson() const {
  json list = json::array();
  for (const auto& m : messages_) {
    list.push_back({{"id", m.id},
                    {"batch", m.batch},
                    {"user", m.user},
                    {"sigla_template", m.sigla_template},
                    {"mittente", m.mittente},
                    {"destinatario", m.destinatario},
                    {"variabili", m.variabili},
                    {"testo_libero", m.testo_libero},
                    {"dati_studio", m.dati_studio},
                    {"indirizzo_studio", m.indirizzo_studio},
                    {"bool_conferma_invio", m.bool_conferma_invio},
                    {"count_msg", m.count_msg},
                    {"time", m.time}});
  }
  return list;
}

}  // namespace oxsms::makersim
