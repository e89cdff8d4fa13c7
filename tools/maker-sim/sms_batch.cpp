#include "maker-sim/sms_batch.h"

#include <cctype>
#include <optional>

#include "platform/base64.h"
#include "platform/code_page.h"

namespace oxsms::makersim {
namespace {

constexpr std::size_t kFieldWidth = 25;
constexpr std::string_view kRecordEnd = "0000000072";

bool IsContinuationByte(unsigned char c) { return (c & 0xC0) == 0x80; }

std::size_t CountCodePoints(std::string_view text) {
  std::size_t count = 0;
  for (unsigned char c : text) count += IsContinuationByte(c) ? 0 : 1;
  return count;
}

// Byte length of the first `count` characters of UTF-8 text (all of it when
// shorter).
std::size_t PrefixBytes(std::string_view text, std::size_t count) {
  std::size_t pos = 0;
  for (std::size_t seen = 0; pos < text.size(); ++pos) {
    if (!IsContinuationByte(static_cast<unsigned char>(text[pos])) && seen++ == count) break;
  }
  return pos;
}

std::string TrimRight(std::string_view text) {
  auto end = text.find_last_not_of(' ');
  return end == std::string_view::npos ? std::string() : std::string(text.substr(0, end + 1));
}

[[noreturn]] void Fail(std::size_t line, const std::string& what) {
  throw BatchFormatError("riga " + std::to_string(line) + ": " + what);
}

void CheckMessage(const BatchSms& sms, std::size_t line) {
  if (!IsValidRecipient(sms.recipient)) Fail(line, "destinatario non valido \"" + sms.recipient + "\"");
  if (sms.text.empty()) Fail(line, "testo vuoto");
}

// Splits at bare LF (an LF not preceded by CR); the part after the last LF
// must be empty, since every record ends with one.
std::vector<std::string_view> SplitRecords(std::string_view text) {
  std::vector<std::string_view> records;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) {
      records.push_back(text.substr(start, i - start));
      start = i + 1;
    }
  }
  if (start < text.size()) throw BatchFormatError("ultima riga senza fine riga");
  return records;
}

BatchSms ParseSmallRecord(std::string_view record, std::size_t line) {
  std::size_t recipient_end = PrefixBytes(record, kFieldWidth);
  std::size_t sender_end = recipient_end + PrefixBytes(record.substr(recipient_end), kFieldWidth);
  std::string_view rest = record.substr(sender_end);
  if (CountCodePoints(record.substr(0, sender_end)) != 2 * kFieldWidth ||
      rest.size() < kRecordEnd.size() || !rest.ends_with(kRecordEnd)) {
    Fail(line, "record troncato o senza \"0000000072\"");
  }
  std::optional<std::string> bytes =
      platform::TryDecodeBase64(rest.substr(0, rest.size() - kRecordEnd.size()));
  if (!bytes) Fail(line, "testo base64 non valido");
  BatchSms sms{TrimRight(record.substr(0, recipient_end)),
               TrimRight(record.substr(recipient_end, sender_end - recipient_end)),
               platform::ToUtf8Lenient(*bytes), line};
  CheckMessage(sms, line);
  return sms;
}

BatchSms ParseSmsLine(std::string_view body, std::size_t line) {
  auto first = body.find('|');
  auto second = first == std::string_view::npos ? first : body.find('|', first + 1);
  if (second == std::string_view::npos) Fail(line, "attesi destinatario|alias|testo");
  return BatchSms{std::string(body.substr(0, first)),
                  std::string(body.substr(first + 1, second - first - 1)),
                  std::string(body.substr(second + 1)), line};
}

}  // namespace

bool IsValidRecipient(std::string_view recipient) {
  if (recipient.starts_with('+')) recipient.remove_prefix(1);
  if (recipient.size() < 6 || recipient.size() > 20) return false;
  for (unsigned char c : recipient) {
    if (!std::isdigit(c)) return false;
  }
  return true;
}

int CreditsFor(std::string_view utf8_text) {
  return static_cast<int>((CountCodePoints(utf8_text) + 159) / 160);
}

std::vector<BatchSms> ParseSmallBatch(std::string_view text) {
  if (text.starts_with("USERNAME=")) {
    throw BatchFormatError("intestazione USERNAME= in un file del formato breve");
  }
  std::vector<BatchSms> messages;
  std::size_t line = 0;
  for (std::string_view record : SplitRecords(text)) {
    messages.push_back(ParseSmallRecord(record, ++line));
  }
  return messages;
}

std::vector<BatchSms> ParseLargeBatch(std::string_view text) {
  std::vector<std::string_view> lines;
  for (std::size_t start = 0; start < text.size();) {
    auto end = text.find('\n', start);
    if (end == std::string_view::npos) throw BatchFormatError("ultima riga senza fine riga");
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  if (lines.size() < 2 || !lines[0].starts_with("USERNAME=") || !lines[1].starts_with("PASSWORD=")) {
    throw BatchFormatError("intestazione USERNAME=/PASSWORD= mancante");
  }
  std::vector<BatchSms> messages;
  std::vector<std::size_t> first_lines;
  for (std::size_t i = 2; i < lines.size(); ++i) {
    if (lines[i].starts_with("SMS=")) {
      messages.push_back(ParseSmsLine(lines[i].substr(4), i + 1));
      first_lines.push_back(i + 1);
    } else if (messages.empty()) {
      Fail(i + 1, "attesa una riga SMS=");
    } else {
      messages.back().text += "\n";
      messages.back().text += lines[i];
    }
  }
  for (std::size_t i = 0; i < messages.size(); ++i) CheckMessage(messages[i], first_lines[i]);
  return messages;
}

}  // namespace oxsms::makersim
