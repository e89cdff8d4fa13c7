#include "channels/sms_batch.h"

#include <string_view>

#include "channels/sms_text.h"
#include "platform/base64.h"

namespace oxsms::channels {
namespace {

constexpr std::size_t kSmallBatchField = 25;
constexpr const char* kSmallBatchTrailer = "0000000072";
constexpr const char* kSameAppointment = "same";

std::string HeaderLines(const SmsBatchOptions& options) {
  return "USERNAME=" + SingleLine(options.header_user) + "\nPASSWORD=" +
         SingleLine(options.header_password) + "\n";
}

std::string BatchLine(const SmsBatchOptions& options, const std::string& number,
                      const std::string& text) {
  if (options.bool_futurland) {
    return "SMS=" + SingleLine(number) + "|" + SingleLine(options.testata) + "|" +
           SingleLine(text) + "\n";
  }
  return FixedField(SingleLine(number), kSmallBatchField) +
         FixedField(SingleLine(options.testata), kSmallBatchField) +
         platform::EncodeBase64Mime(text) + kSmallBatchTrailer + "\n";
}

bool NothingToCollect(const practice::TPazRec& paz) {
  return paz.incasso == 0 || !paz.id_linkpag.empty();
}

const char* NothingToCollectReason(const practice::TPazRec& paz) {
  return paz.incasso == 0 ? "nulla da incassare" : "link di pagamento già inviato";
}

// The person fields come from the line alone, so nothing of one patient
// reaches the message of the next; the link fields stay for "same" lines.
void TakePersonFields(practice::TLineRec& rec, practice::TLineRec parsed) {
  rec.Cognome = std::move(parsed.Cognome);
  rec.Nome = std::move(parsed.Nome);
  rec.Paese = std::move(parsed.Paese);
  rec.Cellulare = std::move(parsed.Cellulare);
  rec.Data = std::move(parsed.Data);
  rec.Ora = std::move(parsed.Ora);
}

}  // namespace

SmsBatch CreaFileSms(const std::vector<std::string>& lines,
                     const std::vector<std::string>& testoLinee, const SmsBatchOptions& options,
                     practice::RecipientLists& lists, MessageComposer& composer) {
  SmsBatch batch;
  if (options.bool_futurland) batch.text = HeaderLines(options);

  practice::TLineRec rec;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const bool has_payment = i < lists.listCellIncassi.size();
    practice::TPazRec paz = has_payment ? lists.listCellIncassi[i] : practice::TPazRec{};
    if (options.eliminaIncassiNulli && NothingToCollect(paz)) {
      if (options.lines != nullptr) {
        options.lines->LeftOut(LineChannel::kSms, PersonLabel(composer.ParseLineRec(lines[i])),
                               NothingToCollectReason(paz));
      }
      continue;
    }

    TakePersonFields(rec, composer.ParseLineRec(lines[i]));
    if (rec.Cellulare.find('@') != std::string::npos || rec.Cellulare.empty()) continue;
    const std::string who = rec.Cognome + " " + rec.Nome + " (" + rec.Paese + rec.Cellulare + ")";
    const std::string number = WireNumber(rec.Paese, rec.Cellulare);
    if (!IsDialable(number)) {
      if (options.lines != nullptr)
        options.lines->LeftOut(LineChannel::kSms, PersonLabel(rec), kUndialableReason);
      batch.undialable.push_back(who);
      continue;
    }

    rec.id_agenda = i < lists.list_id_agenda.size() ? lists.list_id_agenda[i] : std::string();
    if (rec.id_agenda != kSameAppointment) {
      rec.id_web.clear();
      rec.link_conferma.clear();
    }

    std::string text = composer.ComponiTesto(testoLinee, rec, paz);
    if (has_payment) lists.listCellIncassi[i] = paz;
    if (composer.LinkMancanti().pagamento) {
      if (options.lines != nullptr) {
        options.lines->Ended(options.lines->Composed(LineChannel::kSms, PersonLabel(rec), text),
                             LineOutcome::kError, kNoPaymentLink);
      }
      ++batch.without_payment_link;
      batch.held_back.push_back(i);
      continue;
    }

    text = CutText(text, kMaxMessageChars);
    SmsBatchRecord record{batch.text.size(), 0, CreditsFor(text), who};
    if (options.lines != nullptr)
      record.line = options.lines->Composed(LineChannel::kSms, PersonLabel(rec), text);
    batch.text += BatchLine(options, number, text);
    record.end = batch.text.size();
    batch.credits += record.credits;
    ++batch.messages;
    batch.records.push_back(std::move(record));
  }
  return batch;
}

SmsBatch WithoutMessage(const SmsBatch& batch, std::size_t message) {
  SmsBatch rest = batch;
  if (message >= rest.records.size()) return rest;
  const SmsBatchRecord gone = rest.records[message];
  const std::size_t length = gone.end - gone.begin;
  rest.text.erase(gone.begin, length);
  rest.credits -= gone.credits;
  --rest.messages;
  rest.records.erase(rest.records.begin() + static_cast<std::ptrdiff_t>(message));
  for (std::size_t i = message; i < rest.records.size(); ++i) {
    rest.records[i].begin -= length;
    rest.records[i].end -= length;
  }
  return rest;
}

std::optional<std::size_t> RefusedMessage(const std::string& outvalue, const SmsBatch& batch,
                                          bool bool_futurland) {
  static constexpr std::string_view kLine = "riga ";
  const std::size_t at = outvalue.find(kLine);
  if (outvalue.find("KO ") == std::string::npos || at == std::string::npos) return std::nullopt;
  std::size_t line = 0;
  std::size_t pos = at + kLine.size();
  const std::size_t first_digit = pos;
  for (; pos < outvalue.size() && outvalue[pos] >= '0' && outvalue[pos] <= '9'; ++pos) {
    if (pos - first_digit >= 9) return std::nullopt;  // no batch has that many lines
    line = line * 10 + static_cast<std::size_t>(outvalue[pos] - '0');
  }
  // Lines count from 1; the large form's two header lines come first. Every
  // record is one line: texts are made single-line, base64 breaks are CR LF.
  const std::size_t first_message_line = bool_futurland ? 3 : 1;
  if (pos == first_digit || line < first_message_line) return std::nullopt;
  const std::size_t message = line - first_message_line;
  if (message >= batch.records.size()) return std::nullopt;
  return message;
}

std::string MaskedForLog(const std::string& batch_text, const std::string& header_password) {
  const std::string line = "PASSWORD=" + SingleLine(header_password) + "\n";
  std::string masked = batch_text;
  const std::size_t second_line = masked.find('\n') + 1;  // 0 when there is no line end
  if (masked.rfind("USERNAME=", 0) == 0 && second_line > 0 &&
      masked.compare(second_line, line.size(), line) == 0) {
    masked.replace(second_line, line.size(), "PASSWORD=********\n");
  }
  return masked;
}

}  // namespace oxsms::channels
