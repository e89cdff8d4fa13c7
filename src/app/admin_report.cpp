#include "app/admin_report.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>

#include "app/process_context.h"
#include "app/service_parts.h"
#include "dispatch/daily_report.h"
#include "dispatch/tdm1.h"
#include "platform/activity_log.h"
#include "platform/clock.h"

namespace oxsms::app {
namespace {

using nlohmann::json;

// Widths of a message text and an answer in the table.
constexpr std::size_t kTextWidth = 160;
constexpr std::size_t kAnswerWidth = 100;

// The day of "--date AAAA-MM-GG", or nothing when not given.
std::optional<platform::TDateTime> ParseDateOption(const std::vector<std::string>& args,
                                                   const char* usage, const AdminEnv& env,
                                                   bool& help) {
  std::optional<platform::TDateTime> day;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--help" || args[i] == "-h") {
      env.out << usage;
      help = true;
      return day;
    }
    if (args[i] != "--date") throw UsageError("argomento non atteso: " + args[i]);
    if (i + 1 >= args.size()) throw UsageError("manca il valore di --date");
    const std::string& text = args[++i];
    try {
      if (text.size() != 10) throw platform::DataError(text);
      day = platform::DateOf(platform::ParseIsoDateTime(text + " 00:00"));
    } catch (const platform::DataError&) {
      throw UsageError("data non valida (AAAA-MM-GG): " + text);
    }
  }
  return day;
}

// A folder of its own, removed with everything in it at the end.
class ScratchFolder {
 public:
  ScratchFolder() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "oxsms-preview-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
      throw platform::Error(platform::ErrorCategory::kConfiguration,
                            "Impossibile creare una cartella temporanea");
    }
    path_ = pattern;
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// The clock of a preview: the send time of the day previewed.
class PreviewClock : public platform::Clock {
 public:
  explicit PreviewClock(platform::TDateTime now) : now_(now) {}
  platform::TDateTime Now() const override { return now_; }
  void Set(platform::TDateTime now) { now_ = now; }

 private:
  platform::TDateTime now_;
};

json ReadDay(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    throw platform::Error(platform::ErrorCategory::kConfiguration,
                          "Impossibile leggere " + file.string());
  }
  json day = json::parse(in, nullptr, false);
  if (!day.is_object() || !day.contains("esecuzioni")) {
    throw platform::Error(platform::ErrorCategory::kConfiguration,
                          "Rapporto non leggibile: " + file.string());
  }
  return day;
}

std::string Cut(const std::string& text, std::size_t width) {
  std::string one_line;
  for (const char c : text) one_line += (c == '\r' || c == '\n') ? ' ' : c;
  if (one_line.size() <= width) return one_line;
  std::size_t end = width;
  // Never cut inside a UTF-8 character.
  while (end > 0 && (static_cast<unsigned char>(one_line[end]) & 0xC0) == 0x80) --end;
  return one_line.substr(0, end) + "...";
}

std::string Member(const json& object, const char* name) {
  const auto it = object.find(name);
  if (it == object.end() || it->is_null()) return "-";
  return it->is_string() ? it->get<std::string>() : it->dump();
}

void PrintRun(const json& run, std::ostream& out) {
  out << "esecuzione " << Member(run, "inizio") << " - " << Member(run, "fine")
      << (run.value("prova", false) ? " (prova: nulla inviato)" : "") << ", credito SMS "
      << Member(run, "credito_prima") << " -> " << Member(run, "credito_dopo") << "\n";
  std::map<std::string, int> totals;
  for (const json& line : run.at("righe")) {
    const std::string outcome = Member(line, "esito");
    ++totals[outcome];
    const std::string answer = line.value("risposta", "");
    out << "  " << Member(line, "tipo") << " | " << line.value("canale", "") << " | "
        << Member(line, "destinatario") << " | " << outcome
        << (answer.empty() ? "" : ": " + Cut(answer, kAnswerWidth)) << "\n";
    const std::string text = line.value("testo", "");
    if (!text.empty()) out << "      " << Cut(text, kTextWidth) << "\n";
  }
  out << "  righe: " << run.at("righe").size();
  for (const auto& [outcome, count] : totals) out << ", " << outcome << " " << count;
  out << "\n";
}

}  // namespace

int PreviewCommand(const std::vector<std::string>& args, const AdminEnv& env) {
  bool help = false;
  const std::optional<platform::TDateTime> asked = ParseDateOption(args, kPreviewUsage, env, help);
  if (help) return kAdminOk;

  ScratchFolder scratch;
  const platform::SystemClock system_clock;
  PreviewClock clock(system_clock.Now());
  // The preview's own activity log: what the run would log stays out of the
  // service's sms.log.
  platform::ActivityLog log(scratch.path() / "sms.log", clock);
  ProcessContext context(env.home, log);
  dispatch::DailyReport report(scratch.path(), 1, log);
  ServiceParts parts(context, log);
  dispatch::TDM1 dm1(context.catalogue, log, clock, *context.registry, parts.Parts(&report));
  dm1.CBTest = true;  // nothing sent, no link made, nothing written
  dm1.AsService = true;
  const platform::TDateTime now = system_clock.Now();
  platform::TDateTime day = platform::DateOf(now);
  if (asked) {
    day = *asked;
  } else if (platform::TimeOf(now) >= dm1.OrarioInvio) {
    day += 1;
  }
  clock.Set(day + platform::TimeOf(dm1.OrarioInvio));
  bool complete = true;
  try {
    dm1.InviaDaServizio();
  } catch (const platform::Error& e) {
    env.err << "oxsms: l'anteprima si è fermata: " << platform::Describe(e) << "\n";
    complete = false;
  }
  for (const dispatch::KindReport& kind : dm1.LastRun().kinds) {
    if (kind.other.failed == 0 && kind.other.failure == channels::SendFailure::kNone) continue;
    env.err << "oxsms: attenzione (" << dispatch::KindName(kind.kind) << "): " << kind.other.reason
            << "\n";
    complete = false;
  }

  const std::filesystem::path file = scratch.path() / dispatch::DailyReportFileName(day);
  json run = json::object();
  if (std::filesystem::exists(file)) {
    const json read = ReadDay(file);
    if (!read["esecuzioni"].empty()) run = read["esecuzioni"].back();
  }
  if (!run.contains("righe")) run["righe"] = json::array();
  if (env.json) {
    json answer = json::object();
    answer["data"] = dispatch::DailyReportFileName(day).substr(9, 10);  // AAAA-MM-GG
    answer["completa"] = complete;
    answer["righe"] = run["righe"];
    env.out << answer.dump(2, ' ', false, json::error_handler_t::replace) << "\n";
  } else {
    env.out << "anteprima dell'invio del " << platform::FormatDate(day) << "\n";
    PrintRun(run, env.out);
  }
  return complete ? kAdminOk : kAdminFailed;
}

int ReportCommand(const std::vector<std::string>& args, const AdminEnv& env) {
  bool help = false;
  const std::optional<platform::TDateTime> asked = ParseDateOption(args, kReportUsage, env, help);
  if (help) return kAdminOk;
  const platform::SystemClock clock;
  const platform::TDateTime day = asked ? *asked : platform::DateOf(clock.Now());
  const std::filesystem::path file = env.home.File(dispatch::DailyReportFileName(day));
  if (!std::filesystem::exists(file)) {
    env.err << "oxsms: nessun rapporto per il " << platform::FormatDate(day) << " ("
            << file.string() << ")\n";
    return kAdminFailed;
  }
  const json read = ReadDay(file);
  if (env.json) {
    env.out << read.dump(2, ' ', false, json::error_handler_t::replace) << "\n";
    return kAdminOk;
  }
  env.out << "rapporto del " << platform::FormatDate(day) << "\n";
  for (const json& run : read["esecuzioni"]) PrintRun(run, env.out);
  return kAdminOk;
}

}  // namespace oxsms::app
