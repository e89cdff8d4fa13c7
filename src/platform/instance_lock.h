// One service process per home folder: an exclusive lock on a file of the
// folder, held by the operating system for as long as the process lives (an
// flock on POSIX systems, LockFileEx on Windows). A process that ends, also
// by a crash or a kill, leaves no stale lock behind: the file stays, the lock
// goes with the process.
#pragma once

#include <filesystem>
#include <string>

namespace oxsms::platform {

class InstanceLock {
 public:
  // The lock file in the home folder.
  static constexpr const char* kFileName = "oxsmsd.lock";

  // Tries to take the lock on `file` (created when missing) without waiting.
  // held() tells whether it was taken; error() says why not.
  explicit InstanceLock(const std::filesystem::path& file);
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  bool held() const { return held_; }
  // True when another process holds the lock (as opposed to a file that
  // could not be opened at all).
  bool busy() const { return busy_; }
  const std::string& error() const { return error_; }

 private:
  bool held_ = false;
  bool busy_ = false;
  std::string error_;
#ifdef _WIN32
  void* handle_ = nullptr;
#else
  int fd_ = -1;
#endif
};

}  // namespace oxsms::platform
