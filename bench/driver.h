// The benchmark's driver: builds each size's practice once, then for each
// repetition puts the practice back as built, resets the simulator, and has
// a child process of its own run the service's daily run, then the floor;
// collects what the simulator received; reports.
#pragma once

#include "bench_options.h"

namespace oxsms::bench {

// Returns the process exit status.
int RunBenchmark(const BenchOptions& options);

// The child's side of --child build|run|floor.
int RunChild(const BenchOptions& options);

}  // namespace oxsms::bench
