#include "reliability/soak_checks.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <numeric>
#include <regex>
#include <sstream>

namespace oxsms::soak {
namespace {

constexpr std::size_t kProblemsShown = 20;

void Note(SendTally& tally, const std::string& text) {
  if (tally.problems.size() < kProblemsShown) tally.problems.push_back(text);
}

std::string Describe(const SendKey& key) {
  return std::string(key.kind == Kind::kReminder ? "promemoria" : "preavviso") + " giorno " +
         std::to_string(key.day) + " paziente " + std::to_string(key.badge);
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// Words that mark a line reporting a failure, in lower case.
constexpr const char* kFailureWords[] = {
    "errore", "error", "impossibile", "interrott", "non riuscit", "incert", "danneggiat",
    "eccezione", "exception", "fallit", "non inviat", "attenzione", "sconosciut",
    "non valid", "timeout", "time-out", "non ottenut", "rifiutat", "recupero",
    "ritentat", "tentativo"};

// Failure lines the soak provokes on purpose, and what must have happened on
// their day for them to be in order. Each entry's text is part of the line.
struct Allowed {
  const char* text;
  const char* needs;  // a fault kind, "fault" (any), or "kill"
};

constexpr Allowed kAllowed[] = {
    // A gateway answering HTTP 500 or breaking the reply off: the send
    // fails for a reason that may pass, the kind is tried again later.
    {"Errore", "fault"},
    {"non riuscito, sarà ritentato più tardi", "fault"},
    {"Nuovo tentativo di invio", "fault"},
    // The reply broken off after its headers, as curl reports it.
    {"Connessione interrotta", "refuse"},
    // A kill during a run: the run is taken up again after the restart.
    {"Nuovo tentativo di invio", "kill"},
    {"recupero ora", "kill"},
    // A kill while the upload was under way: the restarted service does not
    // send it again (its messages may have gone) and says so.
    {"interrotto durante la consegna: esito incerto", "trickle"},
};

bool Explained(const std::string& line, const DayEvents& events) {
  const std::string lower = Lower(line);
  for (const Allowed& a : kAllowed) {
    if (lower.find(Lower(a.text)) == std::string::npos) continue;
    const std::string needs = a.needs;
    if (needs == "kill" && events.killed) return true;
    if (needs == "fault" && !events.faults.empty()) return true;
    if (events.faults.count(needs) != 0) return true;
  }
  return false;
}

bool ReportsFailure(const std::string& line) {
  const std::string lower = Lower(line);
  return std::any_of(std::begin(kFailureWords), std::end(kFailureWords),
                     [&](const char* w) { return lower.find(w) != std::string::npos; });
}

// The day of a log line ("dd/mm/yyyy ..."); nothing for a continuation line.
std::optional<int> DayOfLine(const std::string& line, platform::TDateTime first_day) {
  int d = 0, m = 0, y = 0;
  if (line.size() < 10 || std::sscanf(line.c_str(), "%2d/%2d/%4d", &d, &m, &y) != 3) {
    return std::nullopt;
  }
  return static_cast<int>(platform::EncodeDate(y, m, d) - first_day);
}

}  // namespace

std::string NumberOfBadge(int badge) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "333%07d", badge);
  return digits;
}

std::optional<SentMessage> ReadSent(const std::string& recipient, const std::string& text,
                                    platform::TDateTime first_day) {
  static const std::regex form(R"(^(PROMEMORIA|PREAVVISO) (\d{1,2})/(\d{1,2})/(\d{4}) (\d{1,2})[.:](\d{2}).*)");
  std::smatch m;
  if (!std::regex_match(text, m, form)) return std::nullopt;
  if (recipient.size() < 7) return std::nullopt;
  const std::string tail = recipient.substr(recipient.size() - 7);
  if (!std::all_of(tail.begin(), tail.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return std::nullopt;
  }
  SentMessage sent;
  sent.key.kind = m[1] == "PROMEMORIA" ? Kind::kReminder : Kind::kNotice;
  const platform::TDateTime date =
      platform::EncodeDate(std::stoi(m[4]), std::stoi(m[3]), std::stoi(m[2]));
  sent.key.day = static_cast<int>(date - first_day);
  sent.key.badge = std::stoi(tail);
  sent.minute = std::stoi(m[5]) * 60 + std::stoi(m[6]);
  return sent;
}

void Expectations::Expect(Kind kind, int day, const std::vector<Appointment>& appointments) {
  for (const Appointment& a : appointments) expected_[{kind, day, a.badge}] = a.minute;
}

SendTally CompareSends(const Expectations& expectations, const std::vector<SentMessage>& sent,
                       long unreadable) {
  SendTally tally;
  tally.unreadable = unreadable;
  if (unreadable > 0) Note(tally, std::to_string(unreadable) + " messaggi di forma sconosciuta");
  const std::map<SendKey, int>& expected = expectations.expected();
  tally.expected = static_cast<long>(expected.size());
  tally.sent = static_cast<long>(sent.size());
  std::map<SendKey, int> seen;
  for (const SentMessage& s : sent) {
    if (++seen[s.key] > 1) {
      ++tally.duplicates;
      Note(tally, "doppio: " + Describe(s.key));
    }
    const auto want = expected.find(s.key);
    if (want == expected.end()) {
      ++tally.unexpected;
      const bool removed = expectations.WasRemoved(s.key.day, s.key.badge);
      if (removed) ++tally.for_removed;
      Note(tally, std::string(removed ? "per un appuntamento tolto: " : "non atteso: ") +
                      Describe(s.key));
    } else if (want->second != s.minute) {
      ++tally.wrong_time;
      Note(tally, "ora sbagliata: " + Describe(s.key));
    }
  }
  for (const auto& [key, minute] : expected) {
    if (seen.count(key) == 0) {
      ++tally.lost;
      Note(tally, "perso: " + Describe(key));
    }
  }
  return tally;
}

std::vector<std::string> UnexplainedErrorLines(const std::string& log,
                                               platform::TDateTime first_day,
                                               const std::map<int, DayEvents>& events) {
  std::vector<std::string> out;
  std::istringstream in(log);
  std::string line;
  std::optional<int> day;
  static const DayEvents kNone;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (const auto d = DayOfLine(line, first_day)) day = d;
    if (!ReportsFailure(line)) continue;
    const auto found = day ? events.find(*day) : events.end();
    if (!Explained(line, found == events.end() ? kNone : found->second)) out.push_back(line);
  }
  return out;
}

MemoryVerdict CompareMemory(const std::map<int, long>& samples, int days) {
  MemoryVerdict v;
  v.period_days = days >= 90 ? 30 : std::max(1, days / 6);
  const int p = v.period_days;
  auto mean = [&](int from, int to) -> std::optional<double> {  // [from, to)
    long sum = 0, n = 0;
    for (const auto& [day, kb] : samples) {
      if (day >= from && day < to) sum += kb, ++n;
    }
    if (n == 0) return std::nullopt;
    return static_cast<double>(sum) / static_cast<double>(n);
  };
  const auto second = mean(p, 2 * p);
  const auto last = mean(days - p, days);
  if (!second || !last || days < 3 * p) {
    v.reason = "campioni insufficienti";
    return v;
  }
  v.second = *second;
  v.last = *last;
  v.ok = v.last <= v.second * 1.05 && v.last >= v.second * 0.95;
  if (!v.ok) v.reason = "memoria residente fuori dal 5 %";
  return v;
}

}  // namespace oxsms::soak
