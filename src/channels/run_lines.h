// The lines of a run as they are decided: every message composed for a
// recipient, with the channel it goes by and its text, and every recipient
// left out with the reason, then what became of each. The senders of the
// channels tell it; the daily run keeps it as the day's report (and the
// preview as what a run would send). Telling it never changes what is sent.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "practice/recipient_records.h"

namespace oxsms::channels {

enum class LineChannel { kNone, kSms, kWhatsApp, kEmail };

// "", "sms", "whatsapp", "email".
const char* LineChannelName(LineChannel channel);

enum class LineOutcome {
  kToSend,   // test mode or preview: it would go
  kSent,     // the remote service accepted it
  kRefused,  // the service or the data refused it
  kError,    // it did not go for another reason (transport, database, ...)
  kLeftOut,  // the recipient gets nothing; the answer says why
};

// "da_inviare", "inviato", "rifiutato", "errore", "escluso".
const char* LineOutcomeName(LineOutcome outcome);

// "Cognome Nome (number)" of a recipient line, the parts it lacks left out.
std::string PersonLabel(const practice::TLineRec& rec);

// Reasons the senders give.
inline constexpr const char* kUndialableReason = "numero non valido";
inline constexpr const char* kNoPaymentLink = "Link di pagamento non ottenuto";

class RunLines {
 public:
  virtual ~RunLines() = default;

  // A message composed for `recipient`; its outcome is open until Ended or
  // PendingEnded. Returns the line's number within the run.
  virtual std::size_t Composed(LineChannel channel, const std::string& recipient,
                               const std::string& text) = 0;
  // The outcome of line `line` alone (a message refused by name).
  virtual void Ended(std::size_t line, LineOutcome outcome, const std::string& answer) = 0;
  // The outcome of every line whose outcome is still open: the verdict of a
  // batch on what it carried. Without open lines it does nothing.
  virtual void PendingEnded(LineOutcome outcome, const std::string& answer) = 0;
  // A recipient that gets nothing from this send, and why.
  virtual void LeftOut(LineChannel channel, const std::string& recipient,
                       const std::string& reason) = 0;
  // The credit the gateway reported, or the credit after a send lowered it.
  virtual void Credit(int32_t available) = 0;
};

// Keeps nothing: where no run report is wanted.
class NoRunLines : public RunLines {
 public:
  std::size_t Composed(LineChannel, const std::string&, const std::string&) override { return 0; }
  void Ended(std::size_t, LineOutcome, const std::string&) override {}
  void PendingEnded(LineOutcome, const std::string&) override {}
  void LeftOut(LineChannel, const std::string&, const std::string&) override {}
  void Credit(int32_t) override {}
};

}  // namespace oxsms::channels
