// The composition of a recipient's message, which belongs to the send
// orchestration: the channels call it through this interface.
#pragma once

#include <string>
#include <vector>

#include "channels/link_services.h"
#include "practice/recipient_records.h"

namespace oxsms::channels {

class MessageComposer {
 public:
  virtual ~MessageComposer() = default;

  // `ParseLineRec`: the fields of a recipient line ("Cognome,Nome,Cellulare
  // [,Data,Ora]") in a fresh record; `Paese` is the number's three-character
  // international prefix, "+39" when it has none.
  virtual practice::TLineRec ParseLineRec(const std::string& line) const = 0;

  // `ComponiTesto`: the message of the template lines `testoLinee` for the
  // recipient `rec` with payment record `paz`. Fetching a confirmation link or
  // a payment link may change `rec` (`id_web`, `link_conferma`, `link_exist`)
  // and `paz` (`id_linkpag`, `link_pag`); the caller keeps the changes. Link
  // failures are swallowed (the placeholder goes, see LinkMancanti); other
  // errors propagate.
  virtual std::string ComponiTesto(const std::vector<std::string>& testoLinee,
                                   practice::TLineRec& rec, practice::TPazRec& paz) = 0;

  // The links the last ComponiTesto asked for and did not get (each already
  // logged for its line). A message missing its payment link is not sent.
  virtual MissingLinks LinkMancanti() const { return {}; }
  // See LinkServices::InizioInvio and InvioAccettato.
  virtual void InizioInvio() {}
  virtual void InvioAccettato() {}
};

}  // namespace oxsms::channels
