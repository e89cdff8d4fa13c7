// What a measuring child process reports to the driver: the time and memory
// of its work and the statements it issued. Passed as a small JSON file.
#pragma once

#include <filesystem>

#include "process_meter.h"
#include "statement_counter.h"

namespace oxsms::bench {

struct ChildResult {
  double wall_s = 0;
  double cpu_s = 0;
  double peak_rss_mib = 0;
  StatementCounts db;
};

// The result of the work timed by `watch` (stopped), with the statements
// issued since `before` and the process's peak memory so far.
ChildResult MeasuredResult(const Stopwatch& watch, const StatementCounts& before);

void WriteChildResult(const std::filesystem::path& file, const ChildResult& result);
// Raises std::runtime_error when the file is missing or malformed.
ChildResult ReadChildResult(const std::filesystem::path& file);

}  // namespace oxsms::bench
