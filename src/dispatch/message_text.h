// Message texts and recipient numbers: the recipient line of a phone batch
// split into its record, and an SMS or WhatsApp text filled in for one
// recipient. The email channel has placeholders of its own.
//
// Pure over their arguments, except that composition outside test mode asks
// `links` for the confirmation and payment links the text names.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "channels/link_services.h"
#include "dispatch/tdm1_settings.h"
#include "practice/recipient_records.h"

namespace oxsms::dispatch {

using channels::LinkServices;

// The payment description when the settings give none.
inline constexpr const char* kDefaultDescrPag = "Pagamento prestazione";
// The country prefix of a number that carries none.
inline constexpr const char* kDefaultPaese = "+39";
// The agenda id of a further contact of the appointment of the line before.
inline constexpr const char* kSameAppointment = "same";

// `ParseLineRec`: fills `rec` from a recipient line "Cognome,Nome,Cellulare
// [,Data,Ora]". A line without a comma changes nothing; with one comma only
// `Cognome` is set. Once the number field is reached, `Paese` is its first
// three characters when it starts with '+' (else "+39") and `Cellulare` the
// rest without '.', '/', '-' and blanks. `Data` and `Ora` are set only when
// the line goes on after the number; fields whose part is missing keep their
// values.
void ParseLineRec(practice::TLineRec& rec, std::string_view line);

// `SostituisciTag`: every occurrence of `tag` in `text`, letter case ignored
// (ASCII), replaced by `value`. Inserted values are not searched again.
// ComponiTesto does not chain these: it fills all its placeholders at once.
void SostituisciTag(std::string_view tag, std::string_view value, std::string& text);

// `ComponiTesto`: `lines` joined with CR LF after each line, the recipient's
// placeholders filled ("<Cognome>", "<Nome>", "<Nominativo>",
// "<dati_studio>", "<intestazione_studio>", "<Data>", "<Ora>", letter case
// ignored), ';' turned into ',', and - unless `settings.CBTest` - the links:
// "<link_conferma>" and "<link_pag>" (exact case) through `links`, and
// "<descrizione_pag>". The placeholders are filled in one pass over the
// template: a value put in (a patient's name holding "<Data>") is never
// read again as a placeholder. A link is asked for only when the template
// itself names it. A link that cannot be had (no `links`, an error, a
// refusal; for the payment link also no fee or payment links not in use) is
// replaced by nothing, never sent as written; the links asked for and not
// obtained (a payment link only for a fee to collect) go to `missing`. The
// result is trimmed of blanks and line ends at both ends. In test mode the
// link placeholders stay as written and nothing is fetched.
//
// `rec` and `paz` receive what the link routines fill in; an empty
// `settings.descr_pag_predef` becomes "Pagamento prestazione".
void ComponiTesto(const std::vector<std::string>& lines, practice::TLineRec& rec,
                  std::string& result, practice::TPazRec& paz, TDM1Settings& settings,
                  LinkServices* links, channels::MissingLinks* missing = nullptr);

// `ComponiTestoLibero`: ComponiTesto of the single text `text`, on copies of
// the record and payment data.
std::string ComponiTestoLibero(const std::string& text, practice::TLineRec rec,
                               practice::TPazRec paz, TDM1Settings& settings, LinkServices* links);

// `text` with every CR LF turned into one blank.
std::string CrLfToBlank(std::string text);

// `text` without leading and trailing blanks and control characters.
std::string TrimText(std::string_view text);

}  // namespace oxsms::dispatch
