// The links a message text may carry: the appointment's confirmation short
// link and its payment link, each obtained from the maker's services and then
// recorded in the practice's databases.
//
// Message composition and the WhatsApp template sender call these only outside test mode and only
// when the text asks for the link. Every operation may raise; the composer
// drops the error and leaves the placeholder in the text. An installation
// without these services passes no LinkServices at all: no link is fetched
// and the placeholders stay as written.
#pragma once

#include <string>

#include "practice/recipient_records.h"

namespace oxsms::channels {

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
};

}  // namespace oxsms::channels
