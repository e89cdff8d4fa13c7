#include "dispatch/channel_adapters.h"

#include "dispatch/message_text.h"

namespace oxsms::dispatch {

channels::SmsCounters FieldsSmsHost::Counters() const {
  return {fields_.smsDisp, fields_.smsInviabili, fields_.idCliente};
}

void FieldsSmsHost::SetCounters(const channels::SmsCounters& counters) {
  fields_.smsDisp = counters.smsDisp;
  fields_.smsInviabili = counters.smsInviabili;
  fields_.idCliente = counters.idCliente;
  lines_.Credit(counters.smsDisp);
}

channels::SmsAccount FieldsSmsHost::GatewayAccount() const {
  const TUserConnect& user = fields_.UserConnect;
  return {user.User, user.Pwd, user.TESTATA, user.TipoSms};
}

practice::TLineRec FieldsComposer::ParseLineRec(const std::string& line) const {
  practice::TLineRec rec;
  dispatch::ParseLineRec(rec, line);
  return rec;
}

std::string FieldsComposer::ComponiTesto(const std::vector<std::string>& testoLinee,
                                         practice::TLineRec& rec, practice::TPazRec& paz) {
  std::string result;
  missing_ = {};
  dispatch::ComponiTesto(testoLinee, rec, result, paz, settings_, links_(), &missing_);
  const std::string who = rec.Cognome + " " + rec.Nome;
  if (missing_.pagamento) {
    log_.WriteLog("Link di pagamento non ottenuto, messaggio non inviato: " + who);
  } else if (missing_.conferma) {
    log_.WriteLog("Link di conferma non ottenuto, messaggio inviato senza link: " + who);
  }
  return result;
}

void FieldsComposer::InizioInvio() {
  if (LinkServices* links = links_()) links->InizioInvio();
}

void FieldsComposer::InvioAccettato() {
  if (LinkServices* links = links_()) links->InvioAccettato();
}

channels::WhatsAppSettings FieldsWhatsAppHost::Settings() const {
  const SendState& send = fields_.send_in_progress.Current();
  channels::WhatsAppSettings s;
  s.TemplaTeInvioWhts = send.TemplaTeInvioWhts;
  s.TestoLiberoInvioWhts = send.TestoLiberoInvioWhts;
  s.variabiliInvioWhts = send.variabiliInvioWhts;
  s.linkConfermaInvioWhts = send.linkConfermaInvioWhts;
  s.link_pag_predef = fields_.link_pag_predef;
  s.descr_pag_predef = fields_.descr_pag_predef;
  s.CellWhts = fields_.UserConnect.CellWhts;
  s.IntestazioneWhts = fields_.UserConnect.IntestazioneWhts;
  s.IndirizzoWhts = fields_.UserConnect.IndirizzoWhts;
  s.AsService = fields_.AsService;
  s.IsVisual = fields_.IsVisual;
  s.isLinkPag = fields_.isLinkPag;
  return s;
}

}  // namespace oxsms::dispatch
