// bench/daily_run: how fast the service's daily run is for a large practice
// and for a group of practices, how it grows with the work, and how far it
// is from the least the same messages can cost (see README.md).
#include <exception>
#include <iostream>

#include "bench_options.h"
#include "driver.h"

int main(int argc, char** argv) {
  using namespace oxsms::bench;
  BenchOptions options;
  try {
    options = ParseBenchOptions(argc, argv);
  } catch (const std::exception& e) {
    if (*e.what() != '\0') std::cerr << "daily_run: " << e.what() << "\n";
    std::cerr << kUsage;
    return 2;
  }
  try {
    return options.child.empty() ? RunBenchmark(options) : RunChild(options);
  } catch (const std::exception& e) {
    std::cerr << "daily_run" << (options.child.empty() ? "" : " (" + options.child + ")")
              << ": " << e.what() << "\n";
    return 1;
  }
}
