#include "driver.h"

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <thread>

#include "child_process.h"
#include "floor_run.h"
#include "maker-sim/maker_simulator.h"
#include "net/curl_http_client.h"
#include "report.h"
#include "service_run.h"
#include "smtp_sink.h"

namespace oxsms::bench {
namespace fs = std::filesystem;

namespace {

// The simulator's practice account, with credit for any size.
nlohmann::json SimulatorState() {
  nlohmann::json state = makersim::MakerSimulator::DefaultState();
  state["sms"]["accounts"] = nlohmann::json::array(
      {{{"user", "demo"}, {"pwd", "demo"}, {"idcliente", kCustomerId}, {"credit", kCredit}}});
  return state;
}

// The embedded Firebird engine's mode: the ServerMode of the firebird.conf
// in $FIREBIRD, or the library's default (SuperServer).
std::string FirebirdMode() {
  const char* root = std::getenv("FIREBIRD");
  if (root != nullptr) {
    std::ifstream conf(fs::path(root) / "firebird.conf");
    std::string line;
    while (std::getline(conf, line)) {
      const auto key = line.find("ServerMode");
      if (key == std::string::npos || line.find('#') < key) continue;
      const auto value = line.find_first_not_of(" \t=", key + 10);
      if (value != std::string::npos) return line.substr(value);
    }
  }
  return "SuperServer (default)";
}

double LoadAverage() {
  std::ifstream in("/proc/loadavg");
  double one_minute = -1;
  in >> one_minute;
  return one_minute;
}

fs::path StampOf(const PracticeFolders& folders) { return folders.home.parent_path() / "built.txt"; }

bool AlreadyBuilt(const PracticeFolders& folders, const PracticeSize& size) {
  std::ifstream in(StampOf(folders));
  std::string stamp;
  return std::getline(in, stamp) && stamp == SizeText(size) && fs::exists(folders.pristine);
}

// Where the children find the simulator and the SMTP sink.
struct Services {
  SimulatorControl& sim;
  std::string sim_url;
  SmtpSink& smtp;
};

void Prepare(const BenchOptions& o, const PracticeSize& size, const Services& services) {
  const PracticeFolders folders = FoldersOf(o.work, size);
  const std::string smtp_port = std::to_string(services.smtp.port());
  if (o.reuse && AlreadyBuilt(folders, size)) {
    std::cerr << "practice " << SizeText(size) << ": reused\n";
    PointAtSimulator(folders.home, services.sim_url);
    PointAtSmtpSink(folders, PlanOf(size, folders.home).db_password, services.smtp.port());
    return;
  }
  std::cerr << "practice " << SizeText(size) << ": building\n";
  fs::remove(StampOf(folders));
  RunSelf({"--child", "build", "--work", o.work.string(), "--size", SizeText(size), "--sim",
           services.sim_url, "--smtp-port", smtp_port});
  std::ofstream(StampOf(folders)) << SizeText(size) << "\n";
}

Measurement MeasureChild(const BenchOptions& o, const PracticeSize& size, const char* what,
                         const Services& services) {
  const PracticeFolders folders = FoldersOf(o.work, size);
  RestorePractice(folders);
  services.sim.Reset();
  services.smtp.Reset();
  const fs::path result = folders.home.parent_path() / (std::string(what) + "-result.json");
  fs::remove(result);
  RunSelf({"--child", what, "--work", o.work.string(), "--size", SizeText(size), "--sim",
           services.sim_url, "--smtp-port", std::to_string(services.smtp.port()), "--result",
           result.string()});
  Measurement m;
  m.result = ReadChildResult(result);
  // Kept for a look at what the child did; the next restore removes sms.log.
  const fs::path log = folders.home / (std::string(what) == "run" ? "sms.log" : "floor.log");
  if (fs::exists(log)) {
    fs::copy_file(log, folders.home.parent_path() / (std::string(what) + ".log"),
                  fs::copy_options::overwrite_existing);
  }
  m.counts = services.sim.Counts();
  m.counts.emails = services.smtp.messages();
  std::cerr << "  " << what << ": " << m.result.wall_s << " s, " << m.counts.sms_lines
            << " SMS, " << m.counts.whatsapp_recipients << " WhatsApp, " << m.counts.emails
            << " emails, "
            << m.counts.link_requests << " links, " << m.result.db.executed << " statements\n";
  return m;
}

}  // namespace

int RunBenchmark(const BenchOptions& o) {
  fs::create_directories(o.work);
  makersim::MakerSimulator simulator(SimulatorState());
  simulator.Start();
  net::CurlHttpClient http;
  SimulatorControl control(http, simulator.base_url());
  SmtpSink smtp;
  const Services services{control, simulator.base_url(), smtp};

  nlohmann::ordered_json conditions;
  conditions["load_average_at_start"] = LoadAverage();
  conditions["cpus"] = std::thread::hardware_concurrency();
  conditions["repeat"] = o.repeat;
  conditions["firebird_mode"] = FirebirdMode();

  std::vector<SizeFigures> figures;
  for (const PracticeSize& size : o.sizes) {
    Prepare(o, size, services);
    SizeFigures f{size, {}, {}};
    for (int r = 0; r < o.repeat; ++r) {
      std::cerr << "size " << SizeText(size) << ", pass " << r + 1 << "\n";
      f.runs.push_back(MeasureChild(o, size, "run", services));
      if (o.floor) f.floors.push_back(MeasureChild(o, size, "floor", services));
    }
    if (!o.floor) f.floors = f.runs;  // ratio 1: nothing to compare with
    figures.push_back(std::move(f));
  }
  conditions["load_average_at_end"] = LoadAverage();

  const nlohmann::ordered_json doc = FiguresJson(figures, conditions);
  PrintTable(std::cout, doc);
  if (o.json) {
    std::ofstream out(*o.json, std::ios::trunc);
    out << doc.dump(2) << "\n";
    if (!out.flush()) {
      std::cerr << "cannot write " << o.json->string() << "\n";
      return 1;
    }
  }
  for (const auto& s : doc["sizes"]) {
    if (o.floor && (s["sms_lines"] != s["floor_sms_lines"] ||
                    s["whatsapp_recipients"] != s["floor_whatsapp_recipients"] ||
                    s["emails"] != s["floor_emails"])) {
      std::cerr << "warning: the floor did not send what the run sent (size "
                << s["appointments"] << ")\n";
    }
  }
  // Open keep-alive connections would hold the simulator's workers.
  simulator.Stop();
  return 0;
}

int RunChild(const BenchOptions& o) {
  const PracticeSize& size = o.sizes.front();
  const PracticeFolders folders = FoldersOf(o.work, size);
  if (o.child == "build") {
    BuildPractice(size, folders, o.simulator_url, o.smtp_port);
    return 0;
  }
  ChildResult result;
  if (o.child == "run") {
    result = RunDailyRun(folders.home);
  } else if (o.child == "floor") {
    result = RunFloor(size, folders.home, o.smtp_port);
  } else {
    std::cerr << "unknown child " << o.child << "\n";
    return 2;
  }
  WriteChildResult(o.result, result);
  return 0;
}

}  // namespace oxsms::bench
