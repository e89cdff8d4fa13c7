// Runs a fuzz target's LLVMFuzzerTestOneInput once on every file given, or
// on every regular file inside each folder given (not recursive), in name
// order. Exits non-zero when an argument cannot be read or names no file;
// a failing input ends the process the way it would under the fuzzer.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

namespace fs = std::filesystem;

std::vector<fs::path> InputsOf(const fs::path& argument) {
  std::vector<fs::path> inputs;
  if (fs::is_directory(argument)) {
    for (const auto& entry : fs::directory_iterator(argument)) {
      if (entry.is_regular_file()) inputs.push_back(entry.path());
    }
    std::sort(inputs.begin(), inputs.end());
  } else if (fs::is_regular_file(argument)) {
    inputs.push_back(argument);
  }
  return inputs;
}

}  // namespace

int main(int argc, char** argv) {
  std::size_t runs = 0;
  for (int i = 1; i < argc; ++i) {
    const std::vector<fs::path> inputs = InputsOf(argv[i]);
    if (inputs.empty()) {
      std::cerr << "replay: no input in " << argv[i] << "\n";
      return 2;
    }
    for (const fs::path& input : inputs) {
      std::ifstream in(input, std::ios::binary);
      const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      if (!in.good() && !in.eof()) {
        std::cerr << "replay: cannot read " << input << "\n";
        return 2;
      }
      std::cerr << "replay: " << input.filename().string() << "\n";
      LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
      ++runs;
    }
  }
  std::cerr << "replay: " << runs << " inputs\n";
  return runs > 0 ? 0 : 2;
}
