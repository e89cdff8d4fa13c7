#include "bench_options.h"

#include <sstream>
#include <stdexcept>

namespace oxsms::bench {

const char* const kUsage =
    "usage: daily_run [--json FILE] [--work DIR] [--size A:P:AD:T:PD]... [--repeat N]\n"
    "                 [--reuse] [--no-floor]\n"
    "  --json FILE   write the figures as JSON to FILE\n"
    "  --work DIR    where the practices are built (default ./daily_run-work)\n"
    "  --size ...    appointments:patients:agenda databases:tables each:patient databases\n"
    "                (default 1000:20000:1:5:1 and 10000:100000:4:5:2)\n"
    "  --repeat N    runs of each size, the better figure is kept (default 2)\n"
    "  --reuse       use a practice built by an earlier call when it has the same size\n"
    "  --no-floor    time the service's run only\n";

std::string SizeText(const PracticeSize& s) {
  return std::to_string(s.appointments) + ":" + std::to_string(s.patients) + ":" +
         std::to_string(s.agenda_databases) + ":" + std::to_string(s.tables_per_agenda) + ":" +
         std::to_string(s.patient_databases);
}

PracticeSize ParseSize(const std::string& text) {
  std::istringstream in(text);
  PracticeSize s;
  char c1 = 0, c2 = 0, c3 = 0, c4 = 0;
  in >> s.appointments >> c1 >> s.patients >> c2 >> s.agenda_databases >> c3 >>
      s.tables_per_agenda >> c4 >> s.patient_databases;
  if (!in || c1 != ':' || c2 != ':' || c3 != ':' || c4 != ':' || in.peek() != EOF ||
      s.appointments < 1 || s.patients < 1 || s.agenda_databases < 1 ||
      s.tables_per_agenda < 1 || s.patient_databases < 1) {
    throw std::invalid_argument("--size wants five positive numbers A:P:AD:T:PD, not " + text);
  }
  return s;
}

BenchOptions ParseBenchOptions(int argc, char** argv) {
  BenchOptions o;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const auto value = [&]() -> std::string {
      if (i + 1 >= argc) throw std::invalid_argument(arg + " needs a value");
      return argv[++i];
    };
    if (arg == "--json") {
      o.json = value();
    } else if (arg == "--work") {
      o.work = value();
    } else if (arg == "--size") {
      o.sizes.push_back(ParseSize(value()));
    } else if (arg == "--repeat") {
      o.repeat = std::stoi(value());
      if (o.repeat < 1) throw std::invalid_argument("--repeat must be at least 1");
    } else if (arg == "--reuse") {
      o.reuse = true;
    } else if (arg == "--no-floor") {
      o.floor = false;
    } else if (arg == "--child") {
      o.child = value();
    } else if (arg == "--result") {
      o.result = value();
    } else if (arg == "--sim") {
      o.simulator_url = value();
    } else if (arg == "--smtp-port") {
      o.smtp_port = std::stoi(value());
    } else if (arg == "--help" || arg == "-h") {
      throw std::invalid_argument("");
    } else {
      throw std::invalid_argument("unknown argument " + arg);
    }
  }
  if (o.sizes.empty()) {
    o.sizes = {ParseSize("1000:20000:1:5:1"), ParseSize("10000:100000:4:5:2")};
  }
  return o;
}

}  // namespace oxsms::bench
