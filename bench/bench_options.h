// The command line of bench/daily_run.
//
//   daily_run [--json FILE] [--work DIR] [--size A:P:AD:T:PD]... [--repeat N]
//             [--reuse] [--no-floor]
//
// --size: appointments, patients, agenda databases, agenda tables in each,
// patient databases (default: 1000:20000:1:5:1 and 10000:100000:4:5:2).
// The program also starts itself as a child with --child build|run|floor
// (with --sim URL and --smtp-port N, where the driver's simulator and SMTP
// sink listen).
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "bench_practice.h"

namespace oxsms::bench {

struct BenchOptions {
  std::optional<std::filesystem::path> json;
  std::filesystem::path work = "daily_run-work";
  std::vector<PracticeSize> sizes;
  int repeat = 2;
  bool reuse = false;  // keep a practice built by an earlier call
  bool floor = true;

  // Child processes.
  std::string child;  // "", "build", "run", "floor"
  std::filesystem::path result;
  std::string simulator_url;
  int smtp_port = 0;  // the driver's SMTP sink
};

// Raises std::invalid_argument with a message for the user.
BenchOptions ParseBenchOptions(int argc, char** argv);

std::string SizeText(const PracticeSize& size);
PracticeSize ParseSize(const std::string& text);

extern const char* const kUsage;

}  // namespace oxsms::bench
