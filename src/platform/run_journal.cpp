#include "platform/run_journal.h"

#include "platform/atomic_file.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>

namespace oxsms::platform {
namespace {

using nlohmann::json;

constexpr const char* kStateNames[] = {"avviato", "in_corso", "completato", "fallito", "incerto"};

JournalState StateOf(const std::string& text) {
  for (int i = 0; i < 5; ++i) {
    if (text == kStateNames[i]) return static_cast<JournalState>(i);
  }
  throw DataError("stato sconosciuto nel diario degli invii: " + text);
}

std::string TwoDigits(int n) { return (n < 10 ? "0" : "") + std::to_string(n); }

json ChannelJson(const ChannelEntry& c) {
  json j = {{"stato", JournalStateName(c.state)}, {"inviati", c.accepted},
            {"non_inviati", c.failed}};
  if (c.state == JournalState::kFailed) j["ritentabile"] = c.retry;
  if (!c.reason.empty()) j["motivo"] = c.reason;
  if (c.lines_kept) j["righe_consegnate"] = c.delivered_lines;
  return j;
}

json KindJson(const KindEntry& k) {
  json j = {{"stato", JournalStateName(k.state)}, {"canali", json::object()}};
  if (k.state == JournalState::kFailed) j["ritentabile"] = k.retry;
  if (!k.reason.empty()) j["motivo"] = k.reason;
  if (k.search_incomplete) j["ricerca_incompleta"] = true;
  for (const auto& [name, c] : k.channels) j["canali"][name] = ChannelJson(c);
  if (!k.delivered_emails.empty()) j["email_consegnate"] = k.delivered_emails;
  return j;
}

ChannelEntry ChannelOf(const json& j) {
  ChannelEntry c;
  c.state = StateOf(j.at("stato").get<std::string>());
  c.retry = j.value("ritentabile", false);
  c.reason = j.value("motivo", std::string());
  c.accepted = j.value("inviati", 0);
  c.failed = j.value("non_inviati", 0);
  if (j.contains("righe_consegnate")) {
    c.delivered_lines = j.at("righe_consegnate").get<std::vector<std::string>>();
    c.lines_kept = true;
  }
  return c;
}

KindEntry KindOf(const json& j) {
  KindEntry k;
  k.state = StateOf(j.at("stato").get<std::string>());
  k.retry = j.value("ritentabile", false);
  k.reason = j.value("motivo", std::string());
  k.search_incomplete = j.value("ricerca_incompleta", false);
  if (j.contains("canali")) {
    for (const auto& [name, c] : j.at("canali").items()) k.channels[name] = ChannelOf(c);
  }
  if (j.contains("email_consegnate")) {
    k.delivered_emails = j.at("email_consegnate").get<std::vector<std::string>>();
  }
  return k;
}

// The date of the last attempt; an unreadable one makes the journal invalid.
TDateTime LastAttemptOf(const json& day) {
  try {
    return platform::ParseIsoDateTime(day.at("ultimo_tentativo").get<std::string>());
  } catch (const DataError& e) {
    throw DataError(std::string("diario degli invii non valido: ") + e.what());
  }
}


}  // namespace

const char* JournalStateName(JournalState state) { return kStateNames[static_cast<int>(state)]; }

RunJournal::RunJournal(std::filesystem::path file, ActivityLog& log)
    : file_(std::move(file)), log_(log) {}

std::string RunJournal::DayKey(TDateTime when) {
  const platform::DateParts d = platform::DecodeDate(when);
  return std::to_string(d.year) + "-" + TwoDigits(d.month) + "-" + TwoDigits(d.day);
}

std::string RunJournal::TimeText(TDateTime when) {
  return DayKey(when) + " " + FormatTime(when, ':');
}

double RunJournal::PauseMinutes(int attempts) {
  if (attempts <= 0) return 0;
  return std::min(60.0, 5.0 * std::pow(2.0, std::min(attempts, 8) - 1));
}

std::string RunJournal::Serialize(const std::map<std::string, DayEntry>& days) {
  json root = {{"versione", 1}, {"giorni", json::object()}};
  for (const auto& [key, day] : days) {
    json d = {{"tentativi", day.attempts}, {"danneggiato", day.damaged}, {"tipi", json::object()}};
    if (day.attempts > 0) d["ultimo_tentativo"] = TimeText(day.last_attempt);
    for (const auto& [name, kind] : day.kinds) d["tipi"][name] = KindJson(kind);
    root["giorni"][key] = std::move(d);
  }
  return root.dump(1);
}

std::map<std::string, DayEntry> RunJournal::Parse(const std::string& text) {
  std::map<std::string, DayEntry> days;
  try {
    const json root = json::parse(text);
    for (const auto& [key, d] : root.at("giorni").items()) {
      DayEntry day;
      day.attempts = d.value("tentativi", 0);
      day.damaged = d.value("danneggiato", false);
      if (d.contains("ultimo_tentativo")) day.last_attempt = LastAttemptOf(d);
      for (const auto& [name, k] : d.at("tipi").items()) day.kinds[name] = KindOf(k);
      days[key] = std::move(day);
    }
  } catch (const json::exception& e) {
    throw DataError(std::string("diario degli invii non valido: ") + e.what());
  }
  return days;
}

void RunJournal::Load(TDateTime today) {
  loaded_ = true;
  std::error_code ec;
  if (!std::filesystem::exists(file_, ec)) return;
  std::ifstream in(file_, std::ios::binary);
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  try {
    if (!in && !in.eof()) throw DataError("lettura non riuscita");
    days_ = Parse(text);
    return;
  } catch (const DataError& e) {
    const std::filesystem::path aside = file_.string() + ".danneggiato";
    std::filesystem::rename(file_, aside, ec);
    log_.WriteLog("ATTENZIONE: diario degli invii illeggibile (" + std::string(e.what()) +
                  "), messo da parte in " + aside.string() +
                  ": oggi nessun invio automatico, per inviare comunque usare --force");
  }
  days_.clear();
  DayEntry& day = days_[DayKey(today)];
  day.damaged = true;
  // The day counts as attempted: no catch-up run of a day whose record is lost.
  day.attempts = 1;
  day.last_attempt = today;
  Save();
}

DayEntry& RunJournal::Day(TDateTime when) {
  if (!loaded_) Load(when);
  return days_[DayKey(when)];
}

void RunJournal::Prune() {
  while (static_cast<int>(days_.size()) > kDaysKept) days_.erase(days_.begin());
}

void RunJournal::Save() {
  Prune();
  try {
    WriteFileAtomically(file_, Serialize(days_),
                        "Impossibile scrivere il diario degli invii " + file_.string());
  } catch (const Error& e) {
    log_.WriteLog(e.what());
    throw;
  }
}

std::optional<std::string> RunJournal::RetryDue(TDateTime now) {
  const DayEntry& day = Day(now);
  if (day.attempts == 0 || day.damaged) return std::nullopt;
  std::string why;
  for (const auto& [name, kind] : day.kinds) {
    if (name == kControlKind) continue;
    if (kind.state == JournalState::kStarted) {
      why += (why.empty() ? "" : "; ") + name + " interrotto";
      continue;
    }
    if (kind.state == JournalState::kFailed && kind.retry) {
      why += (why.empty() ? "" : "; ") + name + " non riuscito (" + kind.reason + ")";
    }
  }
  if (why.empty()) return std::nullopt;
  const double due = day.last_attempt + PauseMinutes(day.attempts) / platform::kMinutesPerDay;
  // A millisecond's tolerance: the clock and the stored seconds round apart.
  if (now + 0.001 / platform::kSecondsPerDay < due) return std::nullopt;
  return why;
}

}  // namespace oxsms::platform
