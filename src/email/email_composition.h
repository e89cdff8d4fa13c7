// Composition of one email from a recipient and a typical message: the
// recipient description parser, the three placeholder substitutions, the
// HTML line breaks, and the interactive composition (which needs an
// operator the service does not have).
#pragma once

#include <string>

#include "email/typical_messages.h"

namespace oxsms::email {

class TVelkEmail;

// One recipient. Texts are UTF-8; all empty by default.
struct TEmailRec {
  std::string Email;
  std::string Email2;
  std::string Cognome;  // also the supplier's name for "#Fornitore"
  std::string Nome;
  std::string Data;
  std::string Ora;
  std::string linkBreve;  // for "#link"
  std::string link_pag;   // for "#link_pag"

  bool operator==(const TEmailRec&) const = default;
};

// Fills `rec` from one recipient description, clearing it first:
// - text starting with "{": a JSON object whose string members "cognome",
//   "nome", "data", "ora", "email", "email2", "link_pag", "linkBreve" give the
//   fields (a missing or non-string member gives an empty field). Text that
//   starts with "{" but is not a JSON object gives no recipient values: every
//   field stays empty, so the send finds no address;
// - text without a comma: Email is the whole text;
// - otherwise "surname,name,address[,date[,time]]": only the name is trimmed
//   of blanks, the time takes all that follows the fourth comma; with a
//   single comma only the surname is set.
void LeggiDestinatario(TEmailRec& rec, const std::string& text);

// The placeholder substitutions. A placeholder is replaced wherever it occurs
// (case counts) and only by a non-empty value: one whose value is empty stays
// as written.
//
// Personalised message: "#Cognome", "#Nome", "#Data", "#Ora" in body and
// subject.
TEmailString SubstitutePersonal(const TEmailString& text, const TEmailRec& rec);
// Single message with links: the four above, then "#Fornitore" (the surname)
// in body and subject, and in the body "#link_pag" (payment link) and "#link"
// (short link). "#link" never matches the start of "#link_pag", so a text
// holding both receives each link whole.
TEmailString SubstituteWithLinks(const TEmailString& text, const TEmailRec& rec);
// Anonymous circular: "#Cognome", "#Nome", "#Data", "#Ora" removed from body
// and subject.
TEmailString SubstituteAnonymous(const TEmailString& text);

// The HTML part of a body: every CR LF becomes "<br>".
std::string HtmlBody(const std::string& body);

// Interactive composition of a message named `strNome` (empty: chosen by the
// operator) for the recipients `listTo`, with the attachment paths `listFile`
// (one per line; rewritten on confirmation). First the catalogue gains the
// built-in template the name asks for when missing ("Pagamento...",
// "Questionario..." with "Questionario+App", "Agenda", "Laboratorio",
// "Ordine"), stored at once, since callers rely on those records. The service
// has no operator to confirm the text: the composition is logged as
// cancelled and the result is empty (nothing to send); `listFile` is left as
// it was.
TEmailString ComponiTestoEmail(TVelkEmail& email, const std::string& strNome,
                               std::string& listFile, const std::string& listTo,
                               const std::string& PostBody, const std::string& PostSoggetto);

}  // namespace oxsms::email
