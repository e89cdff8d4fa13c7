// What the WhatsApp template sender reads and writes of the send-orchestration
// object (`TDM1`) besides what the SMS client already sees through SmsHost
// (credit counters, account, test mode, `eliminaIncassiNulli`, batch lists).
// The orchestration implements it over its own fields; tests use a fake.
//
// Only the service thread calls.
#pragma once

#include <cstdint>
#include <string>

namespace oxsms::channels {

// `linkConfermaInvioWhts` value that switches the confirmation links on.
inline constexpr const char* kLinkConfermaOn = "1";
// `isLinkPag` value of payment links in use.
inline constexpr int32_t kLinkPagInUse = 1;

// The template fields of the current send and the values around them, as
// they stand when a batch starts.
struct WhatsAppSettings {
  std::string TemplaTeInvioWhts;      // code of the template to send
  std::string TestoLiberoInvioWhts;   // free text, with the composer's placeholders
  std::string variabiliInvioWhts;     // names of the variables the template uses
  std::string linkConfermaInvioWhts;  // "1": the messages carry a confirmation link
  std::string link_pag_predef;        // predefined payment link ("" = none)
  std::string descr_pag_predef;       // its description ("" = not set yet)
  std::string CellWhts;               // `UserConnect.CellWhts`: the sender number
  std::string IntestazioneWhts;       // `UserConnect.IntestazioneWhts`: practice heading
  std::string IndirizzoWhts;          // `UserConnect.IndirizzoWhts`: practice address
  bool AsService = false;             // running as the service
  int16_t IsVisual = 0;               // 1 when an operator is present
  int32_t isLinkPag = 2;              // 1 = payment links in use, 2 = not in use
};

class WhatsAppHost {
 public:
  virtual ~WhatsAppHost() = default;

  virtual WhatsAppSettings Settings() const = 0;

  // Sets `descr_pag_predef`, which message composition reads as well.
  virtual void SetDescrPagPredef(const std::string& description) = 0;

  // Puts a text on the operator's clipboard for a later look (a refused
  // request and its reply). A host without an operator or a clipboard writes
  // it to the activity log instead. The text carries no password.
  virtual void CopiaNegliAppunti(const std::string& text) = 0;
};

}  // namespace oxsms::channels
