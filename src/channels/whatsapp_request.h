// The pure pieces of a WhatsApp template request: the values shared by all
// messages, the weekday of an appointment, the payment words of the free
// text, and the rule that leaves a recipient out of a payment request.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "channels/whatsapp_host.h"
#include "practice/recipient_records.h"

namespace oxsms::channels {

// Request and reply objects keep their members in the order they are added.
using TemplateObject = nlohmann::ordered_json;

// From this many lines on a desktop batch asks the service to confirm the
// send, as a batch from the service always does.
inline constexpr std::size_t kConfermaInvioFrom = 50;

// "bool_conferma_invio".
bool ConfermaInvio(bool as_service, std::size_t lines);

// Base64 (MIME layout) of the UTF-8 text with every CR LF turned into a blank.
std::string Base64OneLine(std::string_view text);

// "variabili_globali": "dati_studio" and "indirizzo_studio", each the base64
// of the practice's heading and address on one line.
TemplateObject VariabiliGlobali(const WhatsAppSettings& settings);

// "giorno": the Italian weekday ("Lunedì" … "Domenica") of a date written
// day, month, year ("12/05/2025"; '-' or '.' also separate; a two-digit year
// is of this century). Raises ChannelError "'<data>' non è una data valida"
// for anything else.
std::string GiornoDellaSettimana(const std::string& data);

// The free text with the bare words "link_pagamento" and "link_pag" replaced
// by `link` and "descrizione_pag" by `descrizione`. A word counts only when
// it stands whole: no letter, digit or '_' next to it, and not inside the
// angle brackets of a placeholder ("<link_pag>" is the composer's).
std::string SostituisciParolePagamento(const std::string& text, const std::string& link,
                                       const std::string& descrizione);

// True when the text asks for payment fields: the template names
// "link_pagamento", or the free text holds "link_pag" (also as part of
// "<link_pag>" or "link_pagamento").
bool ChiedePagamento(const WhatsAppSettings& settings);

// The payment-request rule: outside the service, while only recipients with
// something to collect are wanted, a template that carries the payment link
// and has no predefined link leaves out a recipient whose record has nothing
// to collect or already has a link. A free text that asks for the payment
// link itself keeps every recipient.
bool EscludiPerPagamento(const WhatsAppSettings& settings, bool eliminaIncassiNulli,
                         const practice::TPazRec& paz);

}  // namespace oxsms::channels
