// The batch text uploaded to "/smsox/filesmstoserver.json", in its two forms.
//
// Small-batch form, one record per message, each ended by a bare LF:
//   recipient in a field of 25 characters, sender alias in a field of 25,
//   the MIME base64 of the UTF-8 text (its own CR LF line breaks inside),
//   then "0000000072".
// Large-batch form (uploaded as base64 of the whole text):
//   "USERNAME=..." LF "PASSWORD=..." LF, then one "SMS=recipient|alias|text"
//   line per message; a line without "SMS=" continues the text before it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/error.h"

namespace oxsms::makersim {

struct BatchSms {
  std::string recipient;
  std::string sender;
  std::string text;  // UTF-8
  std::size_t line = 0;  // the line of the batch text where its record begins
};

// A batch text that breaks the format; the message names the line.
class BatchFormatError : public platform::DataError {
 public:
  using platform::DataError::DataError;
};

// Both parsers take UTF-8 text and raise BatchFormatError on a malformed
// record, an invalid recipient or an empty message text.
std::vector<BatchSms> ParseSmallBatch(std::string_view text);
std::vector<BatchSms> ParseLargeBatch(std::string_view text);

// A recipient the gateway takes: an optional '+' and 6 to 20 digits.
bool IsValidRecipient(std::string_view recipient);

// Credits one message costs: one per started 160 characters (0 when empty).
int CreditsFor(std::string_view utf8_text);

}  // namespace oxsms::makersim
