#include "platform/atomic_file.h"

#include <cstdio>
#include <fstream>
#include <system_error>

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

namespace oxsms::platform {
namespace {

Error WriteFailure(const std::string& text) { return Error(ErrorCategory::kConfiguration, text); }

}  // namespace

void WriteFileAtomically(const std::filesystem::path& file, const std::string& text,
                         const std::string& failure) {
  const std::filesystem::path temp = file.string() + ".tmp";
#ifdef _WIN32
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out || !out.write(text.data(), static_cast<std::streamsize>(text.size())) ||
        !out.flush()) {
      throw WriteFailure(failure);
    }
  }
  // MoveFileEx with MOVEFILE_WRITE_THROUGH is what std::filesystem::rename
  // does not promise; the replace itself is atomic on NTFS.
  std::error_code ec;
  std::filesystem::rename(temp, file, ec);
  if (ec) throw WriteFailure(failure + ": " + ec.message());
#else
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) throw WriteFailure(failure);
  std::size_t done = 0;
  bool ok = true;
  while (ok && done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    ok = n > 0;
    if (ok) done += static_cast<std::size_t>(n);
  }
  ok = ok && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  if (!ok || std::rename(temp.c_str(), file.c_str()) != 0) {
    std::remove(temp.c_str());
    throw WriteFailure(failure);
  }
  // The rename itself reaches the disk with the folder.
  const int dir = ::open(file.parent_path().empty() ? "." : file.parent_path().c_str(),
                         O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
#endif
}

}  // namespace oxsms::platform
