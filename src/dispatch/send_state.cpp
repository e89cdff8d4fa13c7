#include "dispatch/send_state.h"

namespace oxsms::dispatch {
namespace {

void SetTemplate(SendState& send, const std::string& sigla, const std::string& testo_libero,
                 const std::string& link_conferma, const std::string& variabili) {
  send.TemplaTeInvioWhts = sigla;
  send.TestoLiberoInvioWhts = testo_libero;
  send.linkConfermaInvioWhts = link_conferma;
  send.variabiliInvioWhts = variabili;
}

void SetDay(SendState& send, platform::TDateTime day) { send.DataRicerca = send.DataRicerca1 = day; }

// What a kind's own settings replace, when set.
struct KindTexts {
  const std::string& sms;
  const std::string& sigla;
  const std::string& testo_libero;
  const std::string& link_conferma;
  const std::string& variabili;
  const std::string& email;
};

KindTexts TextsOf(SendKind kind, const TDM1Settings& s) {
  if (kind == SendKind::kPaymentLink) {
    return {s.TestoInvioAppLinkPag,   s.SiglaGeneraleAppWhtsLPag, s.TestoLiberoAppWhtsLPag,
            s.linkConfermaAppWhtsLPag, s.variabiliAppWhtsLPag,    s.NomeEmailAppLPag};
  }
  return {s.TestoInvioAppPreavviso,   s.SiglaGeneraleAppWhtsPreav, s.TestoLiberoAppWhtsPreav,
          s.linkConfermaAppWhtsPreav, s.variabiliAppWhtsPreav,     s.NomeEmailAppPreav};
}

}  // namespace

SendState ReminderSend(const TDM1Settings& s, platform::TDateTime day) {
  SendState send;
  send.kind = SendKind::kReminder;
  send.sendSms = s.CBServizioSMS;
  send.sendWhtsB = s.CBServizioWhatsapp;
  send.sendEmail = s.CBServizioEmail;
  if (send.sendWhtsB) {
    SetTemplate(send, s.SiglaGeneraleAppWhts, s.TestoLiberoAppWhts, s.linkConfermaAppWhts,
                s.variabiliAppWhts);
  }
  SetDay(send, day);
  send.TestoInvioSMS = s.TestoInvioApp;
  send.NomeEmailInvio = s.NomeEmailApp;
  return send;
}

SendState FollowingSend(SendKind kind, const SendState& preceding, const TDM1Settings& settings,
                        platform::TDateTime day) {
  SendState send;
  send.kind = kind;
  send.sendSms = preceding.sendSms;
  send.sendWhtsB = preceding.sendWhtsB;
  send.sendEmail = preceding.sendEmail;
  send.TestoInvioSMS = preceding.TestoInvioSMS;
  SetTemplate(send, preceding.TemplaTeInvioWhts, preceding.TestoLiberoInvioWhts,
              preceding.linkConfermaInvioWhts, preceding.variabiliInvioWhts);
  send.NomeEmailInvio = preceding.NomeEmailInvio;
  send.eliminaIncassiNulli = kind == SendKind::kPaymentLink;
  SetDay(send, day);

  const KindTexts own = TextsOf(kind, settings);
  if (send.sendSms && !own.sms.empty()) send.TestoInvioSMS = own.sms;
  if (send.sendWhtsB && !own.sigla.empty()) {
    SetTemplate(send, own.sigla, own.testo_libero, own.link_conferma, own.variabili);
  }
  if (send.sendEmail && !own.email.empty()) send.NomeEmailInvio = own.email;
  return send;
}

SendState BirthdaySend(const TDM1Settings& s) {
  SendState send;
  send.kind = SendKind::kBirthday;
  send.sendSms = s.CBServComplSMS;
  send.sendWhtsB = s.CBServComplWhts;
  send.sendEmail = s.CBServComplEmail;
  if (send.sendWhtsB) {
    SetTemplate(send, s.SiglaGeneraleComplWhts, s.TestoLiberoComplWhts, s.linkConfermaComplWhts,
                s.variabiliComplWhts);
  }
  send.TestoInvioSMS = s.TestoInvioCompl;
  send.NomeEmailInvio = s.NomeEmailCompl;
  return send;
}

SendState ControlSend(const std::string& text) {
  SendState send;
  send.kind = SendKind::kControl;
  send.sendSms = true;
  send.TestoInvioSMS = text;
  return send;
}

ActiveSend::Scope::Scope(ActiveSend& active, SendState& send)
    : active_(active), previous_(active.current_) {
  active_.current_ = &send;
}

ActiveSend::Scope::~Scope() {
  active_.current_ = previous_;
  if (previous_ == nullptr) active_.idle_ = SendState{};
}

}  // namespace oxsms::dispatch
