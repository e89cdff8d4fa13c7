#include "dispatch/email_sender.h"

namespace oxsms::dispatch {

EmailBatchOutcome EmailUnavailable::InviaEmailCircolare(practice::Connection&,
                                                        const std::vector<std::string>& lines,
                                                        const std::string&) {
  log_.WriteLog("Invio email non disponibile in questa installazione: " +
                std::to_string(lines.size()) + " destinatari non inviati");
  EmailBatchOutcome outcome;
  outcome.delivered.assign(lines.size(), false);
  outcome.result.Fail(static_cast<int>(lines.size()), channels::SendFailure::kRefused,
                      "Invio email non disponibile");
  outcome.errors.assign(lines.size(), "Invio email non disponibile");
  return outcome;
}

void EmailUnavailable::Compose(practice::Connection&, const std::vector<std::string>& lines,
                               const std::string&,
                               const std::function<void(const ComposedEmail&)>& each) {
  for (const std::string& line : lines) each({line, ""});
}

}  // namespace oxsms::dispatch
