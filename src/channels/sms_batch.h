// `CreaFileSms`: the text of an SMS batch upload, built without any I/O.
//
// Two layouts, one line per message, each line ended by "\n":
//  - large batch (`bool_futurland`): the header lines "USERNAME=<user>" and
//    "PASSWORD=<password>", then "SMS=<number>|<alias>|<text>";
//  - small batch: the number and the alias each in a field of exactly 25
//    characters, the base64 (MIME layout, UTF-8) of the text, "0000000072".
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "channels/message_composer.h"
#include "channels/run_lines.h"
#include "practice/recipient_records.h"

namespace oxsms::channels {

struct SmsBatchOptions {
  bool bool_futurland = false;  // large-batch layout
  std::string testata;          // `TESTATA`, the sender alias
  bool eliminaIncassiNulli = false;
  std::string header_user;      // large-batch header account
  std::string header_password;  // a secret: see MaskedForLog
  // Told each message composed and each line left out; nullptr: nobody.
  RunLines* lines = nullptr;
};

// One message of a batch: where its record (ended by "\n") lies in the batch
// text, and whom it is for.
struct SmsBatchRecord {
  std::size_t begin = 0;
  std::size_t end = 0;
  int32_t credits = 0;
  std::string who;  // "Cognome Nome (number as stored)", for the log
  std::size_t line = 0;  // its number in the run's lines (SmsBatchOptions::lines)
};

struct SmsBatch {
  std::string text;       // the batch text (UTF-8)
  int32_t credits = 0;    // credits all its messages need
  int32_t messages = 0;   // message lines written
  // Lines left out because their number cannot reach a telephone:
  // "Cognome Nome (number as stored)".
  std::vector<std::string> undialable;
  std::vector<SmsBatchRecord> records;  // one per message, in batch order
  // Lines left out because their payment link could not be had (the
  // composer logged each): they wait for the next attempt. Their positions
  // in the lines given.
  int32_t without_payment_link = 0;
  std::vector<std::size_t> held_back;
};

// Builds the batch of `lines` with the template `testoLinee`. Line i takes
// the agenda reference `lists.list_id_agenda[i]` and the payment record
// `lists.listCellIncassi[i]` (an empty record when the list is shorter); the
// record is stored back after composing, which may add a payment link.
// Left out: e-mail lines, lines without a number, lines whose number cannot
// reach a telephone (IsDialable of its WireNumber; listed in `undialable`),
// and - with
// `eliminaIncassiNulli` - lines with nothing to collect or with a payment
// link already. A line whose agenda reference is "same" keeps the
// confirmation link of the line before; every other line starts without one.
// A line whose text lacks the payment link it asked for is left out too.
// Each text is cut to 480 characters. Errors of the composer propagate.
SmsBatch CreaFileSms(const std::vector<std::string>& lines,
                     const std::vector<std::string>& testoLinee, const SmsBatchOptions& options,
                     practice::RecipientLists& lists, MessageComposer& composer);

// The batch without its message `message` (an index into `records`): its
// record cut out of the text, credits and count lowered.
SmsBatch WithoutMessage(const SmsBatch& batch, std::size_t message);

// The message of `batch` that a refusal ("KO Formato non valido: riga N: ...")
// names, as an index into `records`, or nothing when the refusal names no
// line or a line that is no message (a header line of the large form).
std::optional<std::size_t> RefusedMessage(const std::string& outvalue, const SmsBatch& batch,
                                          bool bool_futurland);

// The batch text with the password of the header replaced by asterisks, for
// the activity log.
std::string MaskedForLog(const std::string& batch_text, const std::string& header_password);

}  // namespace oxsms::channels
