// The operator of the desktop programs: modal questions and messages. The
// service runs with nobody in front of the screen, so the interface lets
// every question state the answer that stands when no operator is present;
// the headless implementation gives that answer at once, writes question and
// answer to the activity log, and never blocks.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace oxsms::platform {

// What kind of question a dialog shows (icon and title of a desktop dialog).
enum class DialogKind { Warning, Error, Information, Confirmation };

// The buttons a dialog offers.
enum class DialogButtons { Ok, OkCancel, YesNo, YesNoCancel };

// The button pressed; the values are those of the desktop programs' modal
// results, so they can travel as plain integers.
enum class DialogResult : int { Ok = 1, Cancel = 2, Yes = 6, No = 7 };

// The name of a button as shown to the operator ("Yes", "No", "OK", "Annulla").
std::string DialogResultName(DialogResult result);

class OperatorPrompt {
 public:
  virtual ~OperatorPrompt() = default;

  // `ChiediConferma`: asks the operator and returns the button pressed.
  // `unattended` is the answer that stands when nobody can answer; an
  // implementation with an operator ignores it.
  virtual DialogResult ChiediConferma(std::string_view text, DialogKind kind,
                                      DialogButtons buttons, DialogResult unattended) = 0;

  // `MostraMessaggio`: a message with an OK button.
  virtual void MostraMessaggio(std::string_view text) = 0;
};

// The operator of an unattended service: every question is answered with its
// `unattended` answer, every message is only logged. Thread-safe as far as
// the log sink is.
class HeadlessOperator : public OperatorPrompt {
 public:
  // `log` receives one activity-log line per call (the text may span lines).
  explicit HeadlessOperator(std::function<void(std::string_view)> log);

  // Logs "Richiesta all'operatore: " + text, then
  // "Nessun operatore presente, risposta automatica: " + the answer's name.
  DialogResult ChiediConferma(std::string_view text, DialogKind kind, DialogButtons buttons,
                              DialogResult unattended) override;
  // Logs "Messaggio all'operatore: " + text.
  void MostraMessaggio(std::string_view text) override;

 private:
  std::function<void(std::string_view)> log_;
};

}  // namespace oxsms::platform
