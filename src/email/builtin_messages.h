// The typical messages the program supplies itself: the catalogue a practice
// starts with, and the templates some callers rely on finding.
#pragma once

#include <string>
#include <vector>

#include "email/typical_messages.h"

namespace oxsms::email {

// The nine records of a new catalogue, in their order.
const std::vector<TypicalMessage>& BuiltInCatalogue();

// The "Pagamento" record that AggiungiMessaggio adds: the payment link as an
// HTML anchor.
TypicalMessage PaymentMessageWithAnchor();

// The templates the interactive composition adds for the message name
// `strNome` ("Pagamento..." with the link as plain text, "Questionario..."
// with "Questionario+App", "Agenda", "Laboratorio", "Ordine"); empty for any
// other name. The first record is the one the name asks for.
std::vector<TypicalMessage> CompositionTemplates(const std::string& strNome);

}  // namespace oxsms::email
