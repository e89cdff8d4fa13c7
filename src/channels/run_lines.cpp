#include "channels/run_lines.h"

namespace oxsms::channels {

const char* LineChannelName(LineChannel channel) {
  switch (channel) {
    case LineChannel::kSms:
      return "sms";
    case LineChannel::kWhatsApp:
      return "whatsapp";
    case LineChannel::kEmail:
      return "email";
    case LineChannel::kNone:
      break;
  }
  return "";
}

std::string PersonLabel(const practice::TLineRec& rec) {
  std::string label = rec.Cognome;
  if (!rec.Nome.empty()) label += (label.empty() ? "" : " ") + rec.Nome;
  const std::string number = rec.Paese + rec.Cellulare;
  if (!number.empty()) label += (label.empty() ? "(" : " (") + number + ")";
  std::string one_line;
  for (const char c : label) one_line += (c == '\r' || c == '\n') ? ' ' : c;
  return one_line;
}

const char* LineOutcomeName(LineOutcome outcome) {
  switch (outcome) {
    case LineOutcome::kToSend:
      return "da_inviare";
    case LineOutcome::kSent:
      return "inviato";
    case LineOutcome::kRefused:
      return "rifiutato";
    case LineOutcome::kError:
      return "errore";
    case LineOutcome::kLeftOut:
      return "escluso";
  }
  return "";
}

}  // namespace oxsms::channels
