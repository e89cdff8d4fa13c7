#include "platform/operator_prompt.h"

#include <utility>

namespace oxsms::platform {

std::string DialogResultName(DialogResult result) {
  switch (result) {
    case DialogResult::Ok:
      return "OK";
    case DialogResult::Cancel:
      return "Annulla";
    case DialogResult::Yes:
      return "Yes";
    case DialogResult::No:
      return "No";
  }
  return std::to_string(static_cast<int>(result));
}

HeadlessOperator::HeadlessOperator(std::function<void(std::string_view)> log)
    : log_(std::move(log)) {}

DialogResult HeadlessOperator::ChiediConferma(std::string_view text, DialogKind /*kind*/,
                                              DialogButtons /*buttons*/,
                                              DialogResult unattended) {
  log_("Richiesta all'operatore: " + std::string(text));
  log_("Nessun operatore presente, risposta automatica: " + DialogResultName(unattended));
  return unattended;
}

void HeadlessOperator::MostraMessaggio(std::string_view text) {
  log_("Messaggio all'operatore: " + std::string(text));
}

}  // namespace oxsms::platform
