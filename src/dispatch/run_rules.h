// The decisions of the daily send run that need neither a database nor a
// channel: which day a kind of message looks at, which recipient lines go
// to the phone and to the email batch, and the texts of the control SMS.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "dispatch/tdm1_settings.h"
#include "platform/date_time.h"
#include "practice/recipient_records.h"

namespace oxsms::dispatch {

// The giorniinvio digit that switches the reminders of a weekday off.
inline constexpr int kNoRemindersDigit = 7;

// How many days after today the reminders of `weekday` (1 = Monday … 7 =
// Sunday) look: the weekday's digit of `giorniinvio` plus one; nullopt when
// the digit is 7 (no reminders that day). Raises ConversionError when the
// weekday has no digit there.
std::optional<int> ReminderDaysAhead(const std::string& giorniinvio, int weekday);

// The birthday mask of `weekday` (C0 on Monday … C6 on Sunday).
const std::string& BirthdayMask(const TDM1Settings& fields, int weekday);

// The days of the week of `today` (from its Monday) that `mask` marks with
// '1'; position i of the mask is the i-th day of the week. Empty for an
// empty mask or "0000000"; positions past the seventh are ignored.
std::vector<platform::TDateTime> BirthdayDays(const std::string& mask, platform::TDateTime today);

// The Monday of the week of `day` (the whole day).
platform::TDateTime MondayOf(platform::TDateTime day);

// The control numbers of `CellVerifica1`, one per line, trimmed; empty lines
// are left out.
std::vector<std::string> ControlNumbers(const std::string& cell_verifica);

// The recipient line of a control SMS to `number`.
std::string ControlLine(const std::string& number);

// The low-credit threshold of `EditSmsFiniti`: a decimal integer, blanks
// around it allowed; nullopt for anything else.
std::optional<long long> CreditThreshold(const std::string& edit_sms_finiti);

// Appends "Attenzione: Sms disponibili: <n>" to the control text when the
// credit is at or below the threshold.
void AppendCreditWarning(std::string& str_verifica, long long threshold, int32_t sms_disp);

// Appends "Invio Msg <kind> <count> Msg." to the control text.
void AppendSendSummary(std::string& str_verifica, const std::string& kind, std::size_t count);

// Appends "Non inviati Msg <kind> <count> Msg." to the control text.
void AppendFailedSummary(std::string& str_verifica, const std::string& kind, int count);

// Appends "Ricerca incompleta Msg <kind>." to the control text: the search of
// the kind could not read every database, so recipients may be missing.
void AppendUnreadSummary(std::string& str_verifica, const std::string& kind);

// A line with '@' anywhere goes to an email address.
bool IsEmailLine(const std::string& line);

// One batch of a send, its agenda ids and payment records at the same index
// as its lines (as far as the search gave them).
struct RecipientBatch {
  std::vector<std::string> lines;
  std::vector<std::string> ids;
  std::vector<practice::TPazRec> payments;
};

// The phone lines of `lines`, in order, each with its agenda id and payment
// record (an empty record where the search gave none).
RecipientBatch PhoneBatch(const std::vector<std::string>& lines, const std::vector<std::string>& ids,
                 const std::vector<practice::TPazRec>& payments);

// The email lines of `lines`, in order, each with its agenda id and an empty
// payment record.
RecipientBatch EmailBatch(const std::vector<std::string>& lines, const std::vector<std::string>& ids);

}  // namespace oxsms::dispatch
