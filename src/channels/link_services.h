// The links a message text may carry: the appointment's confirmation short
// link and its payment link, each obtained from the maker's services and then
// recorded in the practice's databases.
//
// Message composition and the WhatsApp template sender call these only outside test mode and only
// when the text asks for the link. Every operation may raise, always an
// error of platform::Error's family; the composer drops the error, takes the placeholder out of the text and reports the
// link as missing (MissingLinks). An installation without these services
// passes no LinkServices at all: no link is fetched, and every link a text
// asks for is missing.
#pragma once

#include <string>

#include "practice/recipient_records.h"

namespace oxsms::channels {

// The links a composed text asked for and did not get. A message without its
// confirmation link still goes out; one without its payment link does not.
struct MissingLinks {
  bool conferma = false;   // "<link_conferma>" left empty
  bool pagamento = false;  // "<link_pag>" of a fee to collect left empty
};

class LinkServices {
 public:
  virtual ~LinkServices() = default;

  // `OttieniLink`: the confirmation short link of the appointment of `rec`
  // (reusing the one stored in the agenda when there is one); fills
  // `rec.id_web`, `rec.link_conferma` and `rec.link_exist`.
  virtual std::string OttieniLink(practice::TLineRec& rec) = 0;

  // `AgImp.SalvaLinkBreve`: records `rec.id_web` in the agenda line of
  // `rec.id_agenda`, through the run's shared search object (created when
  // the run has none yet).
  virtual void SalvaLinkBreve(const practice::TLineRec& rec) = 0;

  // `OttieniLinkPag`: the payment link of the appointment's fee; fills
  // `paz.id_linkpag` and `paz.link_pag`.
  virtual std::string OttieniLinkPag(practice::TLineRec& rec, practice::TPazRec& paz) = 0;

  // `AgImp.SalvaLinkPag`: records the payment link in the agenda and in the
  // patient's accounting, through the run's shared search object.
  virtual void SalvaLinkPag(const practice::TLineRec& rec, const practice::TPazRec& paz) = 0;

  // A channel begins to compose a batch: the payment links given to its
  // messages from here on are those InvioAccettato speaks of.
  virtual void InizioInvio() {}
  // The channel accepted every message of the batch begun with InizioInvio:
  // their payment links reached the patients and wait no more.
  virtual void InvioAccettato() {}
  // After a search: the fees whose recorded payment link never reached the
  // patient are offered again, as fees without a link, to a send that leaves
  // out linked fees; the link services give them that same link back.
  virtual void OffriPagamentiInSospeso(practice::RecipientLists& /*lists*/) {}
};

}  // namespace oxsms::channels
