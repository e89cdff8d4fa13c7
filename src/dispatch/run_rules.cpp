#include "dispatch/run_rules.h"

#include <algorithm>
#include <cctype>

#include "dispatch/message_text.h"
#include "dispatch/orario.h"

namespace oxsms::dispatch {

std::optional<int> ReminderDaysAhead(const std::string& giorniinvio, int weekday) {
  const auto index = static_cast<std::size_t>(weekday - 1);
  if (weekday < 1 || index >= giorniinvio.size() ||
      !std::isdigit(static_cast<unsigned char>(giorniinvio[index]))) {
    const std::string digit =
        weekday >= 1 && index < giorniinvio.size() ? giorniinvio.substr(index, 1) : "";
    throw ConversionError("'" + digit + "' non è un valore intero valido");
  }
  const int digit = giorniinvio[index] - '0';
  if (digit == kNoRemindersDigit) return std::nullopt;
  return digit + 1;
}

const std::string& BirthdayMask(const TDM1Settings& fields, int weekday) {
  switch (weekday) {
    case 1: return fields.C0;
    case 2: return fields.C1;
    case 3: return fields.C2;
    case 4: return fields.C3;
    case 5: return fields.C4;
    case 6: return fields.C5;
    default: return fields.C6;
  }
}

platform::TDateTime MondayOf(platform::TDateTime day) {
  const platform::TDateTime date = platform::DateOf(day);
  return date - (platform::DayOfTheWeek(date) - 1);
}

std::vector<platform::TDateTime> BirthdayDays(const std::string& mask, platform::TDateTime today) {
  std::vector<platform::TDateTime> days;
  const platform::TDateTime monday = MondayOf(today);
  for (std::size_t i = 0; i < mask.size() && i < 7; ++i) {
    if (mask[i] == '1') days.push_back(monday + static_cast<double>(i));
  }
  return days;
}

std::vector<std::string> ControlNumbers(const std::string& cell_verifica) {
  std::vector<std::string> numbers;
  std::size_t start = 0;
  while (start <= cell_verifica.size()) {
    auto end = cell_verifica.find_first_of("\r\n", start);
    if (end == std::string::npos) end = cell_verifica.size();
    std::string number = TrimText(std::string_view(cell_verifica).substr(start, end - start));
    if (!number.empty()) numbers.push_back(std::move(number));
    // CR LF is one line end.
    if (end + 1 < cell_verifica.size() && cell_verifica[end] == '\r' &&
        cell_verifica[end + 1] == '\n') {
      ++end;
    }
    start = end + 1;
  }
  return numbers;
}

std::string ControlLine(const std::string& number) { return ",," + number; }

std::optional<long long> CreditThreshold(const std::string& edit_sms_finiti) {
  const std::string text = TrimText(edit_sms_finiti);
  std::size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  if (i == text.size() || text.size() - i > 18) return std::nullopt;
  for (std::size_t j = i; j < text.size(); ++j) {
    if (!std::isdigit(static_cast<unsigned char>(text[j]))) return std::nullopt;
  }
  return std::stoll(text);
}

void AppendCreditWarning(std::string& str_verifica, long long threshold, int32_t sms_disp) {
  if (threshold < sms_disp) return;
  if (!str_verifica.empty()) str_verifica += " ";
  str_verifica += "Attenzione: Sms disponibili: " + std::to_string(sms_disp);
}

void AppendSendSummary(std::string& str_verifica, const std::string& kind, std::size_t count) {
  if (!str_verifica.empty()) str_verifica += ". ";
  str_verifica += "Invio Msg " + kind + " " + std::to_string(count) + " Msg.";
}

void AppendFailedSummary(std::string& str_verifica, const std::string& kind, int count) {
  if (!str_verifica.empty()) str_verifica += ". ";
  str_verifica += "Non inviati Msg " + kind + " " + std::to_string(count) + " Msg.";
}

void AppendUnreadSummary(std::string& str_verifica, const std::string& kind) {
  if (!str_verifica.empty()) str_verifica += ". ";
  str_verifica += "Ricerca incompleta Msg " + kind + ".";
}

bool IsEmailLine(const std::string& line) { return line.find('@') != std::string::npos; }

RecipientBatch PhoneBatch(const std::vector<std::string>& lines, const std::vector<std::string>& ids,
                 const std::vector<practice::TPazRec>& payments) {
  RecipientBatch batch;
  // Sized once: a large practice's batch is thousands of lines.
  const auto phones = static_cast<std::size_t>(
      std::count_if(lines.begin(), lines.end(), [](const std::string& l) { return !IsEmailLine(l); }));
  batch.lines.reserve(phones);
  batch.payments.reserve(phones);
  batch.ids.reserve(phones);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (IsEmailLine(lines[i])) continue;
    batch.lines.push_back(lines[i]);
    batch.payments.push_back(i < payments.size() ? payments[i] : practice::TPazRec{});
    if (i < ids.size()) batch.ids.push_back(ids[i]);
  }
  return batch;
}

RecipientBatch EmailBatch(const std::vector<std::string>& lines, const std::vector<std::string>& ids) {
  RecipientBatch batch;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (!IsEmailLine(lines[i])) continue;
    batch.lines.push_back(lines[i]);
    batch.payments.emplace_back();
    if (i < ids.size()) batch.ids.push_back(ids[i]);
  }
  return batch;
}

}  // namespace oxsms::dispatch
