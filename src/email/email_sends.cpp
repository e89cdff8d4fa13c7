#include "email/email_sends.h"

#include <optional>
#include <utility>

#include "email/email_error.h"

namespace oxsms::email {
namespace {

constexpr const char* kBusy = "Attendere invio di altre email ancora in corso";

// Lines separated by CR LF (a lone LF is taken as a line end too); a final
// line end does not make an empty last line.
std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    if (c == '\n') {
      lines.push_back(std::move(line));
      line.clear();
    } else {
      line += c;
    }
  }
  if (!line.empty()) lines.push_back(std::move(line));
  return lines;
}

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

EmailMessage MessageOf(const TEmailString& text, const std::string& listFile) {
  EmailMessage message;
  message.subject = text.strSoggetto;
  message.html_body = HtmlBody(text.strBody);
  message.attachments = SplitLines(listFile);
  return message;
}

// A circular has no links to put in: a text that still asks for one would
// reach the patient with the placeholder as written.
bool AsksForALink(const TEmailString& text) {
  return text.strBody.find("#link") != std::string::npos ||
         text.strSoggetto.find("#link") != std::string::npos;
}

DeliveryOutcome LinkMissing() {
  return DeliveryOutcome::Failed("Il messaggio email chiede un link che l'invio circolare non ha: "
                                 "non inviato",
                                 false, /*message_only=*/false);
}

DeliveryOutcome NoAddress() {
  return DeliveryOutcome::Failed("Indirizzo email mancante", false, /*message_only=*/true);
}

}  // namespace

std::string RecipientOf(const std::string& line) {
  TEmailRec rec;
  LeggiDestinatario(rec, line);
  return rec.Email.empty() ? line : rec.Email;
}

EmailSends::EmailSends(TVelkEmail& email, EmailTransport& smtp, EmailTransport& rest,
                       InProgressSlot& slot, platform::ActivityLog& log)
    : email_(email), smtp_(smtp), rest_(rest), slot_(slot), log_(log) {}

std::vector<DeliveryOutcome> EmailSends::InviaEmailCircolare(const std::string& listToEmail,
                                                             const std::string& strNome,
                                                             const std::string& listFile) {
  if (slot_.Busy()) throw EmailError(kBusy);
  std::string files = listFile;
  const TEmailString text =
      strNome.empty()
          ? ComponiTestoEmail(email_, "", files, "Indirizzi multipli per invio circolare", "", "")
          : email_.TestoDaSoggetto(strNome);
  const std::vector<std::string> lines = SplitLines(listToEmail);
  if (text.strBody.empty()) {
    // Nothing to send; in an unattended run that is a failure of every line.
    const std::string why = "Messaggio email \"" + strNome + "\" non trovato o senza testo";
    log_.WriteLog(why + ": " + std::to_string(lines.size()) + " email non inviate");
    return std::vector<DeliveryOutcome>(lines.size(), DeliveryOutcome::Failed(why, false, false));
  }
  if (lines.empty()) throw EmailError("Destinatari non passati");
  if (AsksForALink(text)) {
    const DeliveryOutcome missing = LinkMissing();
    log_.WriteLog("Messaggio email \"" + strNome + "\": " + missing.error + " (" +
                  std::to_string(lines.size()) + " email)");
    return std::vector<DeliveryOutcome>(lines.size(), missing);
  }
  TEmailRec first;
  LeggiDestinatario(first, lines.front());
  std::vector<DeliveryOutcome> outcomes =
      first.Cognome.empty() ? Anonymous(lines, text, files) : Personalised(lines, text, files);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (!outcomes[i].delivered) {
      log_.WriteLog("Email non inviata a " + RecipientOf(lines[i]) + ": " + outcomes[i].error);
    }
  }
  return outcomes;
}

std::vector<DeliveryOutcome> EmailSends::Personalised(const std::vector<std::string>& lines,
                                                      const TEmailString& text,
                                                      const std::string& listFile) {
  std::vector<DeliveryOutcome> outcomes;
  outcomes.reserve(lines.size());
  std::optional<DeliveryOutcome> stop;
  for (const std::string& line : lines) {
    if (stop) {
      // The failure would repeat for this line: not tried, failed the same way.
      outcomes.push_back(*stop);
      continue;
    }
    outcomes.push_back(InviaEmailDestinatario(line, text, /*wait=*/true, listFile));
    if (!outcomes.back().delivered && !outcomes.back().message_only) stop = outcomes.back();
  }
  return outcomes;
}

std::vector<DeliveryOutcome> EmailSends::Anonymous(const std::vector<std::string>& lines,
                                                   const TEmailString& text,
                                                   const std::string& listFile) {
  SlotPlace place(slot_, slot_.Take());
  const EmailMessage base = MessageOf(SubstituteAnonymous(text), listFile);
  std::vector<std::string> addresses;
  for (const std::string& line : lines) {
    TEmailRec rec;
    LeggiDestinatario(rec, line);
    addresses.push_back(rec.Email);
  }
  std::vector<EmailMessage> messages;
  if (email_.usavelk) {
    // The REST service carries no Bcc: each address gets the message alone,
    // so that nobody sees another's address and nobody is left out.
    for (const std::string& address : addresses) {
      if (address.empty()) continue;
      EmailMessage one = base;
      one.to.push_back({address, ""});
      messages.push_back(std::move(one));
    }
  } else {
    EmailMessage all = base;
    for (const std::string& address : addresses) {
      if (!address.empty()) all.bcc.push_back({address, ""});
    }
    if (!all.bcc.empty()) messages.push_back(std::move(all));
  }
  const std::vector<DeliveryOutcome> delivered =
      messages.empty() ? std::vector<DeliveryOutcome>{}
                       : DeliverOnWorker(std::move(messages), std::move(place));
  std::vector<DeliveryOutcome> outcomes;
  std::size_t next = 0;
  for (const std::string& address : addresses) {
    if (address.empty()) {
      outcomes.push_back(NoAddress());
    } else {
      outcomes.push_back(delivered.at(next));
      if (email_.usavelk) ++next;
    }
  }
  return outcomes;
}

DeliveryOutcome EmailSends::InviaEmailDestinatario(const std::string& line,
                                                   const TEmailString& text, bool wait,
                                                   const std::string& listFile) {
  if (slot_.Busy()) throw EmailError(kBusy);
  TEmailRec rec;
  LeggiDestinatario(rec, line);
  if (rec.Email.empty()) return NoAddress();
  SlotPlace place(slot_, slot_.Take());
  EmailMessage message = MessageOf(SubstitutePersonal(text, rec), listFile);
  message.to.push_back({rec.Email, ""});
  if (wait) return DeliverHere(message);
  return DeliverOnWorker({std::move(message)}, std::move(place)).front();
}

std::string EmailSends::InviaEmailSingola(const std::string& listToEmail,
                                          const std::string& strNome, std::string listFile,
                                          bool forceComponi, bool wait,
                                          const std::string& soggetto,
                                          const std::string& PostBody,
                                          const std::string& PostSoggetto) {
  if (!email_.usavelk && slot_.Busy()) throw EmailError(kBusy);
  TEmailRec rec;
  LeggiDestinatario(rec, listToEmail);
  if (!listFile.empty() && StartsWith(strNome, "Questionario")) rec.linkBreve = listFile;
  TEmailString text;
  if (strNome.empty()) {
    text = ComponiTestoEmail(email_, "", listFile, listToEmail, "", "");
  } else if (forceComponi) {
    text = ComponiTestoEmail(email_, strNome, listFile, listToEmail, PostBody, PostSoggetto);
  } else {
    text = email_.TestoDaSoggetto(strNome);
  }
  if (text.strBody.empty()) {
    if (forceComponi) return {};
    text.strSoggetto = soggetto;
    text.strBody = strNome;
  }
  if (rec.Email.empty()) return {};
  SlotPlace place(slot_, email_.usavelk ? slot_.TakeAlongside() : slot_.Take());
  EmailMessage message = MessageOf(SubstituteWithLinks(text, rec), listFile);
  message.to.push_back({rec.Email, rec.Nome + " " + rec.Cognome});
  if (!rec.Email2.empty()) message.cc.push_back({rec.Email2, ""});
  if (email_.usavelk || wait) {
    InviaMessaggio(message, email_.SettingsDocument());
    return message.subject;
  }
  const std::string subject = message.subject;
  const DeliveryOutcome outcome = DeliverOnWorker({std::move(message)}, std::move(place)).front();
  if (!outcome.delivered) {
    throw EmailDeliveryError(outcome.error, outcome.transient, outcome.message_only);
  }
  return subject;
}

void EmailSends::InviaMessaggio(const EmailMessage& message, const std::string& configStream) {
  NoteDesktopClient();
  if (!email_.usavelk) {
    const std::optional<EmailSettings> settings = ParseEmailSettings(configStream);
    if (!settings) throw EmailError("Configurazione SMTP non trovata");
    smtp_.Deliver(message, *settings);
    return;
  }
  const char* no_sender = "Email mittente non configurata: nessun invio";
  if (configStream.empty() && !ChiediMittente()) throw EmailError(no_sender);
  const std::optional<EmailSettings> settings = ParseEmailSettings(configStream);
  if (!settings) throw EmailError("Configurazione email non trovata");
  if (settings->DaEmail.empty() && !ChiediMittente()) throw EmailError(no_sender);
  rest_.Deliver(message, *settings);
}

bool EmailSends::ChiediMittente() {
  log_.WriteLog(
      "Email mittente non configurata: il servizio non ha un operatore a cui chiederla, "
      "indicarla nelle impostazioni email del programma");
  return false;
}

void EmailSends::NoteDesktopClient() {
  if (!email_.sendLocalClient || desktop_client_noted_) return;
  desktop_client_noted_ = true;
  log_.WriteLog(std::string("Client di posta del desktop non disponibile nel servizio: email "
                            "inviate con ") +
                (email_.usavelk ? "il servizio email" : "il server SMTP"));
}

DeliveryOutcome EmailSends::DeliverHere(const EmailMessage& message) {
  try {
    InviaMessaggio(message, email_.SettingsDocument());
    return DeliveryOutcome::Delivered();
  } catch (const EmailDeliveryError& e) {
    return DeliveryOutcome::Failed(e.what(), e.transient(), e.message_only(), e.in_doubt());
  } catch (const EmailError& e) {  // settings, sender, an attachment
    return DeliveryOutcome::Failed(e.what(), false, false);
  }
}

std::vector<DeliveryOutcome> EmailSends::DeliverOnWorker(std::vector<EmailMessage> messages,
                                                         SlotPlace place) {
  TEmailThread worker(
      [this, messages = std::move(messages)] {
        std::vector<DeliveryOutcome> outcomes;
        for (const EmailMessage& message : messages) outcomes.push_back(DeliverHere(message));
        return outcomes;
      },
      std::move(place));
  return worker.Wait();
}

}  // namespace oxsms::email
