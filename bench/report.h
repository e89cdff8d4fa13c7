// The figures of a benchmark call: per size the better of its repetitions,
// as one JSON document (for comparison from one commit to the next) and as a
// short table.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "bench_practice.h"
#include "child_result.h"
#include "simulator_counts.h"

namespace oxsms::bench {

struct Measurement {
  ChildResult result;
  SimulatorCounts counts;
};

struct SizeFigures {
  PracticeSize size;
  std::vector<Measurement> runs;
  std::vector<Measurement> floors;
};

// {"sizes": [{"appointments", "patients", "run_s", "floor_s", "ratio",
// "cpu_s", "peak_rss_mib", "sms_lines", "whatsapp_recipients",
// "emails", "link_requests", "db_statements", ...}], ...}: each figure the better
// (lower) of the repetitions; counts from the fastest run.
nlohmann::ordered_json FiguresJson(const std::vector<SizeFigures>& sizes,
                                   const nlohmann::ordered_json& conditions);

void PrintTable(std::ostream& out, const nlohmann::ordered_json& figures);

}  // namespace oxsms::bench
