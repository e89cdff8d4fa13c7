#include "dispatch/daily_report.h"

#include <cstdio>
#include <nlohmann/json.hpp>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/error.h"

namespace oxsms::dispatch {
namespace {

using nlohmann::json;

constexpr const char* kPrefix = "rapporto_";
constexpr const char* kSuffix = ".json";
// The last bytes of a day's file: the end of its list of runs.
constexpr std::string_view kDayEnd = "\n]}\n";
constexpr const char* kUnknown = "sconosciuto";

std::string IsoDate(platform::TDateTime value) {
  const platform::DateParts d = platform::DecodeDate(value);
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", d.year, d.month, d.day);
  return text;
}

std::string IsoDateTime(platform::TDateTime value) {
  return IsoDate(value) + " " + platform::FormatTime(value, ':');
}

std::string Dump(const json& value) {
  return value.dump(-1, ' ', false, json::error_handler_t::replace);
}

// The outcome of a line as the run's records decided it.
struct Outcome {
  std::string esito;
  std::size_t answer = 0;  // index into the answers
};

// What the first reading of a run's records finds: everything but the lines.
class RunSummary {
 public:
  void Read(const json& record) {
    if (record.contains("inizio")) {
      start_ = record["inizio"].get<std::string>();
      test_ = record.value("prova", false);
    } else if (record.contains("n")) {
      if (!record.contains("esito")) pending_.push_back(record["n"].get<std::size_t>());
    } else if (record.contains("chiudi")) {
      Set(record["chiudi"].get<std::size_t>(), record);
    } else if (record.contains("chiudi_aperte")) {
      // A line ended alone keeps its own outcome.
      for (const std::size_t line : pending_) {
        if (line >= outcomes_.size() || outcomes_[line].esito.empty()) Set(line, record);
      }
      pending_.clear();
    } else if (record.contains("credito")) {
      if (credit_before_.is_null()) credit_before_ = record["credito"];
      credit_after_ = record["credito"];
    } else if (record.contains("fine")) {
      end_ = record["fine"];
    }
  }

  bool Started() const { return !start_.empty(); }
  const std::string& Start() const { return start_; }

  // The run's object up to its list of lines.
  std::string Head() const {
    json head = json::object();
    head["inizio"] = start_;
    head["fine"] = end_;
    head["prova"] = test_;
    head["credito_prima"] = credit_before_;
    head["credito_dopo"] = credit_after_;
    std::string text = Dump(head);
    text.pop_back();  // the closing brace: the lines follow
    return text + ",\"righe\":[\n";
  }

  // A line record as the report holds it.
  std::string Line(json record) const {
    const std::size_t n = record["n"].get<std::size_t>();
    record.erase("n");
    if (!record.contains("esito")) {
      if (n < outcomes_.size() && !outcomes_[n].esito.empty()) {
        record["esito"] = outcomes_[n].esito;
        record["risposta"] = answers_[outcomes_[n].answer];
      } else {
        record["esito"] = kUnknown;
        record["risposta"] = "";
      }
    }
    return Dump(record);
  }

 private:
  void Set(std::size_t line, const json& record) {
    if (line >= outcomes_.size()) outcomes_.resize(line + 1);
    const std::string answer = record.value("risposta", "");
    auto [it, added] = answer_index_.emplace(answer, answers_.size());
    if (added) answers_.push_back(answer);
    outcomes_[line] = Outcome{record.value("esito", kUnknown), it->second};
  }

  std::string start_;
  bool test_ = false;
  json end_;
  json credit_before_;
  json credit_after_;
  std::vector<std::size_t> pending_;
  std::vector<Outcome> outcomes_;
  std::vector<std::string> answers_;
  std::unordered_map<std::string, std::size_t> answer_index_;
};

// Calls `each` with every record of the part file that can be read; a line
// cut short by a stopped process is passed over.
template <typename Each>
void ReadRecords(const std::filesystem::path& file, Each each) {
  std::ifstream in(file, std::ios::binary);
  if (!in)
    throw platform::Error(platform::ErrorCategory::kConfiguration,
                          "Impossibile leggere " + file.string());
  std::string text;
  while (std::getline(in, text)) {
    json record = json::parse(text, nullptr, false);
    if (record.is_object()) each(std::move(record));
  }
}

// True when `file` ends as a day's file written here ends.
bool EndsAsDayFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary | std::ios::ate);
  if (!in) return false;
  const auto size = static_cast<std::streamoff>(in.tellg());
  if (size < static_cast<std::streamoff>(kDayEnd.size())) return false;
  in.seekg(size - static_cast<std::streamoff>(kDayEnd.size()));
  std::string tail(kDayEnd.size(), '\0');
  in.read(tail.data(), static_cast<std::streamsize>(tail.size()));
  return in && tail == kDayEnd;
}

// Copies `file` but its last `drop` bytes to `out`.
void CopyAllBut(const std::filesystem::path& file, std::uintmax_t drop, std::ofstream& out) {
  std::ifstream in(file, std::ios::binary);
  std::uintmax_t left = std::filesystem::file_size(file) - drop;
  char buffer[1 << 16];
  while (left > 0 && in) {
    const std::size_t chunk = left < sizeof buffer ? static_cast<std::size_t>(left) : sizeof buffer;
    in.read(buffer, static_cast<std::streamsize>(chunk));
    out.write(buffer, in.gcount());
    left -= static_cast<std::uintmax_t>(in.gcount());
  }
}

// The day of "rapporto_YYYY-MM-DD.json", or nothing for another name.
std::optional<platform::TDateTime> DayOfFileName(const std::string& name) {
  int year = 0, month = 0, day = 0;
  char rest = 0;
  if (name.size() != std::string(kPrefix).size() + 10 + std::string(kSuffix).size() ||
      std::sscanf(name.c_str(), "rapporto_%4d-%2d-%2d.jso%c", &year, &month, &day, &rest) != 4 ||
      rest != 'n') {
    return std::nullopt;
  }
  try {
    return platform::EncodeDate(year, month, day);
  } catch (const platform::Error&) {
    return std::nullopt;
  }
}

}  // namespace

std::string DailyReportFileName(platform::TDateTime day) {
  return kPrefix + IsoDate(day) + kSuffix;
}

DailyReport::DailyReport(std::filesystem::path folder, int days_kept, platform::ActivityLog& log)
    : folder_(std::move(folder)), days_kept_(days_kept), log_(log) {}

void DailyReport::BeginRun(platform::TDateTime start, bool test) {
  if (recording_) EndRun(start);
  lines_ = 0;
  kind_ = SendKind::kReminder;
  if (days_kept_ <= 0) return;
  try {
    if (std::filesystem::exists(PartFile())) FinishPart();
    RemoveOldReports(platform::DateOf(start));
    part_.open(PartFile(), std::ios::binary | std::ios::trunc);
    if (!part_)
      throw platform::Error(platform::ErrorCategory::kConfiguration,
                            "Impossibile scrivere " + PartFile().string());
    recording_ = true;
    json record = json::object();
    record["inizio"] = IsoDateTime(start);
    record["prova"] = test;
    Write(Dump(record));
  } catch (const std::exception& e) {
    Fail(e.what());
  }
}

void DailyReport::BeginKind(SendKind kind) { kind_ = kind; }

void DailyReport::EndRun(platform::TDateTime end) {
  if (!recording_) return;
  json record = json::object();
  record["fine"] = IsoDateTime(end);
  Write(Dump(record));
  if (!recording_) return;
  recording_ = false;
  part_.close();
  try {
    FinishPart();
  } catch (const std::exception& e) {
    Fail(e.what());
  }
}

std::size_t DailyReport::Composed(channels::LineChannel channel, const std::string& recipient,
                                  const std::string& text) {
  const std::size_t line = lines_++;
  if (!recording_) return line;
  json record = json::object();
  record["n"] = line;
  record["tipo"] = KindName(kind_);
  record["canale"] = channels::LineChannelName(channel);
  record["destinatario"] = recipient;
  record["testo"] = text;
  Write(Dump(record));
  return line;
}

void DailyReport::Ended(std::size_t line, channels::LineOutcome outcome,
                        const std::string& answer) {
  if (!recording_) return;
  json record = json::object();
  record["chiudi"] = line;
  record["esito"] = channels::LineOutcomeName(outcome);
  record["risposta"] = answer;
  Write(Dump(record));
}

void DailyReport::PendingEnded(channels::LineOutcome outcome, const std::string& answer) {
  if (!recording_) return;
  json record = json::object();
  record["chiudi_aperte"] = true;
  record["esito"] = channels::LineOutcomeName(outcome);
  record["risposta"] = answer;
  Write(Dump(record));
}

void DailyReport::LeftOut(channels::LineChannel channel, const std::string& recipient,
                          const std::string& reason) {
  const std::size_t line = lines_++;
  if (!recording_) return;
  json record = json::object();
  record["n"] = line;
  record["tipo"] = KindName(kind_);
  record["canale"] = channels::LineChannelName(channel);
  record["destinatario"] = recipient;
  record["testo"] = "";
  record["esito"] = channels::LineOutcomeName(channels::LineOutcome::kLeftOut);
  record["risposta"] = reason;
  Write(Dump(record));
}

void DailyReport::Credit(int32_t available) {
  if (!recording_) return;
  json record = json::object();
  record["credito"] = available;
  Write(Dump(record));
}

void DailyReport::Write(const std::string& record) {
  if (!recording_) return;
  part_ << record << '\n';
  if (!part_) Fail("Impossibile scrivere " + PartFile().string());
}

void DailyReport::Fail(const std::string& why) {
  log_.WriteLog("Rapporto del giorno non scritto: " + why);
  recording_ = false;
  if (part_.is_open()) part_.close();
  std::error_code ignored;
  std::filesystem::remove(PartFile(), ignored);
}

void DailyReport::FinishPart() {
  RunSummary run;
  ReadRecords(PartFile(), [&run](json record) { run.Read(record); });
  if (!run.Started()) {
    std::filesystem::remove(PartFile());
    return;
  }
  const std::string day = run.Start().substr(0, 10);
  const std::filesystem::path file = folder_ / (kPrefix + day + kSuffix);
  const std::filesystem::path temporary = folder_ / (kPrefix + day + kSuffix + ".tmp");
  std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
  const bool append = std::filesystem::exists(file) && EndsAsDayFile(file);
  if (append) {
    CopyAllBut(file, kDayEnd.size(), out);
    out << ",\n";
  } else {
    if (std::filesystem::exists(file)) {
      // Not a file written here whole: kept aside, the day starts again.
      log_.WriteLog("Rapporto " + file.string() + " non leggibile, messo da parte");
      std::filesystem::rename(file, folder_ / (kPrefix + day + kSuffix + ".danneggiato"));
    }
    out << "{\"data\":\"" << day << "\",\"esecuzioni\":[\n";
  }
  out << run.Head();
  bool first = true;
  ReadRecords(PartFile(), [&](json record) {
    if (!record.contains("n")) return;
    if (!first) out << ",\n";
    first = false;
    out << run.Line(std::move(record));
  });
  out << "\n]}" << kDayEnd;
  out.close();
  if (!out)
    throw platform::Error(platform::ErrorCategory::kConfiguration,
                          "Impossibile scrivere " + temporary.string());
  std::filesystem::rename(temporary, file);
  std::filesystem::remove(PartFile());
}

void DailyReport::RemoveOldReports(platform::TDateTime today) {
  for (const auto& entry : std::filesystem::directory_iterator(folder_)) {
    const std::optional<platform::TDateTime> day = DayOfFileName(entry.path().filename().string());
    if (day && *day <= today - days_kept_) std::filesystem::remove(entry.path());
  }
}

}  // namespace oxsms::dispatch
