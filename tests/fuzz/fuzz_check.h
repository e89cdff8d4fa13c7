// The fuzz targets' invariant check: a broken invariant is a finding, so it
// ends the process the way a sanitizer report does (the fuzzer keeps the
// input, the replay fails).
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include <unistd.h>

namespace oxsms::fuzz {

inline void Check(bool holds, const char* what) {
  if (holds) return;
  std::fprintf(stderr, "fuzz invariant broken: %s\n", what);
  std::abort();
}

inline std::string Text(const unsigned char* data, std::size_t size) {
  return std::string(reinterpret_cast<const char*>(data), size);
}

// A file of the target's own scratch folder (one per process, removed at
// exit), rewritten with `bytes` on every call.
inline std::filesystem::path ScratchFile(const std::string& name, const std::string& bytes) {
  struct Folder {
    std::filesystem::path path = std::filesystem::temp_directory_path() /
                                 ("oxsms-fuzz-" + std::to_string(::getpid()));
    Folder() { std::filesystem::create_directories(path); }
    ~Folder() {
      std::error_code ec;
      std::filesystem::remove_all(path, ec);
    }
  };
  static const Folder folder;
  const std::filesystem::path file = folder.path / name;
  std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
  return file;
}

}  // namespace oxsms::fuzz
