// The stored settings of the send-orchestration object `TDM1`, in declaration
// order and with the default the object starts from: what the settings
// document and the legacy registry key bind, what each reload derives from
// the configuration database (`isLinkPag`, `ore_disdetta`), and section "sms"
// of config.ini. They live in a plain struct of their own so that the stores
// can be applied to them, and tested, without a database. Nothing of a send
// in progress is kept here (see send_state.h).
//
// Times of day are fractions of a day (0 = midnight); dates are day counts
// (platform::TDateTime). Texts are UTF-8.
#pragma once

#include <cstdint>
#include <string>

#include "dispatch/sms_section.h"
#include "platform/date_time.h"

namespace oxsms::dispatch {

// 11:00, the send time of a new installation.
inline constexpr platform::TDateTime kDefaultOrarioInvio = 11.0 / 24.0;
// 18:00 of the day before the appointment: the cancellation deadline that
// every reload starts from.
inline constexpr double kDefaultOreDisdetta = 0.75;
inline constexpr const char* kDefaultTestoInvioApp =
    "Gentile <Nome> <Cognome> le ricordiamo l'appuntamento del <Data> alle ore <Ora>";
inline constexpr const char* kDefaultTestoInvioCompl =
    "Gentile <Nome> <Cognome>, il nostro studio e tutto lo staff le fanno gli auguri di Buon "
    "Compleanno";
inline constexpr const char* kDefaultEditSmsFiniti = "50";
inline constexpr const char* kNoReminderDays = "0000000";

// The practice's account at the maker's services and its WhatsApp identity.
struct TUserConnect {
  int16_t TipoSms = 0;        // 0 plain SMS, otherwise flash; no store holds it
  std::string User;           // account at the maker's services
  std::string Pwd;            // its password; never logged
  std::string TESTATA;        // SMS sender alias
  std::string CellWhts;       // the practice's WhatsApp number
  std::string IntestazioneWhts;  // signature ("FirmaWhts"), replaces "<dati_studio>"
  std::string IndirizzoWhts;  // address, replaces "<intestazione_studio>"
  std::string ListaFile;      // additional patient database files, one per line
};

struct TDM1Settings {
  TUserConnect UserConnect;
  platform::TDateTime OrarioInvio = kDefaultOrarioInvio;
  std::string TestoGenerale = kDefaultTestoInvioApp;

  // WhatsApp templates, six settings per kind of message.
  std::string SiglaGeneraleWhts, TestoGeneraleWths, TestoLiberoWhts, titoloWhts,
      linkConfermaWhts, variabiliWhts;
  std::string SiglaGeneraleAppWhts, TestoGeneraleAppWths, TestoLiberoAppWhts, titoloAppWhts,
      linkConfermaAppWhts, variabiliAppWhts;
  std::string SiglaGeneraleAppWhtsPreav, TestoGeneraleAppWthsPreav, TestoLiberoAppWhtsPreav,
      titoloAppWhtsPreav, linkConfermaAppWhtsPreav, variabiliAppWhtsPreav;
  std::string SiglaGeneraleAppWhtsLPag, TestoGeneraleAppWthsLPag, TestoLiberoAppWhtsLPag,
      titoloAppWhtsLPag, linkConfermaAppWhtsLPag, variabiliAppWhtsLPag;
  std::string SiglaGeneraleComplWhts, TestoGeneraleComplWths, TestoLiberoComplWhts,
      titoloComplWhts, linkConfermaComplWhts, variabiliComplWhts;

  std::string TestoInvioApp = kDefaultTestoInvioApp;
  // The stored typical email message ("testoinvioemail"); each send names
  // its own (SendState::NomeEmailInvio).
  std::string NomeEmailInvio = "Appuntamento";
  std::string NomeEmailApp = "Appuntamento";
  std::string TestoInvioCompl = kDefaultTestoInvioCompl;
  std::string NomeEmailCompl = "Compleanno";
  std::string CellVerifica1;  // control numbers, one per line
  std::string EditSmsFiniti = kDefaultEditSmsFiniti;  // low-credit threshold (decimal text)
  std::string TabAgEscluse;  // agenda tables left out of the search
  // Per weekday, Monday first: extra days ahead of the reminders; '7' = none.
  std::string giorniinvio = kNoReminderDays;
  std::string TestoInvioAppPreavviso;
  std::string NomeEmailAppPreav;
  std::string TestoInvioAppLinkPag;
  std::string NomeEmailAppLPag;
  bool CBMemoApp = true;
  bool CBCompl = false;
  bool CBSmsVerifica = false;
  bool CBTest = false;
  bool CBSmsFiniti = false;
  bool CBServizioSMS = true;
  bool CBServizioEmail = false;
  bool CBServizioWhatsapp = false;
  bool CBPreavviso = false;
  bool CBLinkPag = false;
  int32_t GGPreavviso = 7;
  int32_t GGLinkPag = 0;
  bool CBServComplSMS = false;
  bool CBServComplWhts = false;
  bool CBServComplEmail = false;
  // Per weekday (C0 Monday … C6 Sunday): birthdays to greet this week.
  std::string C0, C1, C2, C3, C4, C5, C6;
  // Cancellation deadline on the day before the appointment (0 = none).
  double ore_disdetta = kDefaultOreDisdetta;
  int32_t isLinkPag = 2;  // payment-link module: 1 in use, 2 not in use
  bool doublepassincassi = false;
  std::string descr_pag_predef;  // "<descrizione_pag>"; set when first needed
  std::string link_pag_predef;   // a predefined payment link for WhatsApp ("" = none)

  // Section "sms" of config.ini, read once at creation.
  SmsGatewaySettings SmsGateway;
};

}  // namespace oxsms::dispatch
