#include "channels/manual_whatsapp.h"

#include <chrono>

#include "channels/sms_text.h"
#include "platform/code_page.h"

namespace oxsms::channels {
namespace {

constexpr const char* kSameAppointment = "same";
constexpr std::size_t kLocalNumberLength = 10;
constexpr std::chrono::milliseconds kBetweenAddresses{200};

bool Encoded(unsigned char c) {
  if (c <= ' ' || c >= 0x7F) return true;
  switch (c) {
    case '*':
    case '#':
    case '%':
    case '<':
    case '>':
    case '[':
    case ']':
    case '&':
    case '+':
      return true;
    default:
      return false;
  }
}

bool NothingToCollect(const practice::TPazRec& paz) {
  return paz.incasso == 0 || !paz.id_linkpag.empty();
}

}  // namespace

std::string ManualWhatsAppNumber(const std::string& cellulare) {
  return cellulare.size() <= kLocalNumberLength ? "+39" + cellulare : cellulare;
}

std::string ManualWhatsAppQuery(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  const std::string utf8 = platform::ToUtf8Lenient(text);
  std::string out;
  out.reserve(utf8.size());
  for (const char ch : utf8) {
    const auto c = static_cast<unsigned char>(ch);
    if (!Encoded(c)) {
      out += ch;
      continue;
    }
    out += '%';
    out += kHex[c >> 4];
    out += kHex[c & 0x0F];
  }
  return out;
}

std::string ManualWhatsAppAddress(const std::string& number) {
  return "whatsapp://send?phone=" + number;
}

std::string ManualWhatsAppAddress(const std::string& number, std::string_view text) {
  return ManualWhatsAppAddress(number) + "&" + ManualWhatsAppQuery("text=" + std::string(text));
}

std::string ManualWhatsAppPrompt(const std::string& cognome) {
  return "Il messaggio per \"" + cognome + "\" è pronto per essere spedito.\r\n" +
         " Clicca sul pulsante di invio di Whatsapp.\r\n\n" +
         "Quindi clicca su OK per proseguire con il prossimo invio";
}

SendResult ManualWhatsApp::MultiSendWhts(const std::vector<std::string>& listSmsCell,
                                         const std::vector<std::string>& testoLinee) {
  SendResult result;
  if (listSmsCell.empty()) return result;
  const bool test = host_.TestMode();
  if (!desktop_.HasOperator()) {
    // Nobody would press WhatsApp's send button nor close the message box.
    const std::string why =
        kManualWhatsAppRefused + std::to_string(listSmsCell.size()) + " destinatari non inviati";
    log_.WriteLog(why);
    result.Fail(static_cast<int>(listSmsCell.size()), SendFailure::kRefused, why);
    return result;
  }
  practice::RecipientLists& lists = host_.Batch();
  const bool skip_zero_fees = host_.SkipZeroFees();
  practice::TLineRec rec;
  for (std::size_t i = 0; i < listSmsCell.size(); ++i) {
    const bool has_payment = i < lists.listCellIncassi.size();
    practice::TPazRec paz = has_payment ? lists.listCellIncassi[i] : practice::TPazRec{};
    if (skip_zero_fees && NothingToCollect(paz)) continue;

    // The person comes from the line alone; the link fields stay for "same" lines.
    practice::TLineRec parsed = composer_.ParseLineRec(listSmsCell[i]);
    if (parsed.Cellulare.empty() || parsed.Cellulare.find('@') != std::string::npos) continue;
    rec.Cognome = parsed.Cognome;
    rec.Nome = parsed.Nome;
    rec.Paese = parsed.Paese;
    rec.Cellulare = parsed.Cellulare;
    rec.Data = parsed.Data;
    rec.Ora = parsed.Ora;
    rec.id_agenda = i < lists.list_id_agenda.size() ? lists.list_id_agenda[i] : std::string();
    if (rec.id_agenda != kSameAppointment) {
      rec.id_web.clear();
      rec.link_conferma.clear();
    }

    if (!test) composer_.InizioInvio();
    const std::string text = composer_.ComponiTesto(testoLinee, rec, paz);
    if (has_payment) lists.listCellIncassi[i] = paz;
    if (composer_.LinkMancanti().pagamento) {
      result.Fail(1, SendFailure::kTransient, "Link di pagamento non ottenuto");
      result.held_back.push_back(i);
      continue;
    }
    const std::string number = ManualWhatsAppNumber(rec.Cellulare);
    if (test) {
      log_.WriteLog("Modalità test, WhatsApp manuale non inviato a: " +
                    SingleLine(rec.Cognome + " " + rec.Nome) + " (" + number + ")");
      continue;
    }
    desktop_.OpenAddress(ManualWhatsAppAddress(number));
    sleep_(kBetweenAddresses);
    desktop_.OpenAddress(ManualWhatsAppAddress(number, text));
    desktop_.ShowSystemModalInformation(kManualWhatsAppTitle, ManualWhatsAppPrompt(rec.Cognome));
    composer_.InvioAccettato();
    ++result.accepted;
  }
  return result;
}

}  // namespace oxsms::channels
