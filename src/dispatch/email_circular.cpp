#include "dispatch/email_circular.h"

#include "channels/sms_text.h"
#include "email/email_composition.h"
#include "email/email_error.h"
#include "email/email_sends.h"
#include "email/tvelk_email.h"
#include "email/typical_messages.h"

namespace oxsms::dispatch {

EmailBatchOutcome EmailCircular::InviaEmailCircolare(practice::Connection& config,
                                                     const std::vector<std::string>& lines,
                                                     const std::string& message_name) {
  EmailBatchOutcome outcome;
  outcome.delivered.assign(lines.size(), false);
  outcome.errors.assign(lines.size(), "");
  email::TypicalMessages messages;
  email::TVelkEmail velk(config, messages, log_);
  velk.LeggiImpostazioni();
  email::EmailSends sends(velk, smtp_, rest_, slot_, log_);
  std::vector<email::DeliveryOutcome> results;
  try {
    results = sends.InviaEmailCircolare(channels::JoinLines(lines), message_name);
  } catch (const email::EmailError& e) {  // the slot taken, no recipients
    log_.WriteLog(e.what());
    outcome.result.Fail(static_cast<int>(lines.size()), channels::SendFailure::kTransient,
                        e.what());
    outcome.errors.assign(lines.size(), e.what());
    return outcome;
  }
  for (std::size_t i = 0; i < lines.size() && i < results.size(); ++i) {
    const email::DeliveryOutcome& r = results[i];
    outcome.delivered[i] = r.delivered;
    if (r.delivered) {
      ++outcome.result.accepted;
    } else if (r.in_doubt) {
      // Counted as not sent, but kept with the lines served today: sending
      // it again could send it twice.
      outcome.delivered[i] = true;
      const std::string text = r.error + ": esito incerto, non ripetuto";
      log_.WriteLog(text);
      outcome.errors[i] = text;
      outcome.result.Fail(1, channels::SendFailure::kTransient, text);
    } else {
      outcome.errors[i] = r.error;
      outcome.result.Fail(1,
                          r.transient ? channels::SendFailure::kTransient
                                      : channels::SendFailure::kRefused,
                          r.error);
    }
  }
  // Every line is accounted for, also one the circular did not report on.
  for (std::size_t i = results.size(); i < lines.size(); ++i) {
    outcome.result.Fail(1, channels::SendFailure::kRefused, "Indirizzo email mancante");
    outcome.errors[i] = "Indirizzo email mancante";
  }
  return outcome;
}

void EmailCircular::Compose(practice::Connection& config, const std::vector<std::string>& lines,
                            const std::string& message_name,
                            const std::function<void(const ComposedEmail&)>& each) {
  email::TypicalMessages messages;
  email::TVelkEmail velk(config, messages, log_);
  velk.LeggiImpostazioni();
  const email::TEmailString text = velk.TestoDaSoggetto(message_name);
  bool personal = true;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    email::TEmailRec rec;
    email::LeggiDestinatario(rec, lines[i]);
    if (i == 0) personal = !rec.Cognome.empty();
    const email::TEmailString filled =
        personal ? email::SubstitutePersonal(text, rec) : email::SubstituteAnonymous(text);
    std::string who =
        rec.Cognome.empty() ? rec.Email : rec.Cognome + " " + rec.Nome + " (" + rec.Email + ")";
    each({std::move(who), filled.strSoggetto + "\n" + filled.strBody});
  }
}

}  // namespace oxsms::dispatch
