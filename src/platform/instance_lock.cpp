#include "platform/instance_lock.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#endif

namespace oxsms::platform {

#ifdef _WIN32

InstanceLock::InstanceLock(const std::filesystem::path& file) {
  HANDLE h = CreateFileW(file.wstring().c_str(), GENERIC_READ | GENERIC_WRITE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    error_ = "impossibile aprire " + file.string() + " (errore " +
             std::to_string(GetLastError()) + ")";
    return;
  }
  OVERLAPPED whole{};
  if (!LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD,
                  &whole)) {
    const DWORD code = GetLastError();
    busy_ = code == ERROR_LOCK_VIOLATION;
    error_ = busy_ ? "file bloccato da un altro processo"
                   : "blocco non riuscito (errore " + std::to_string(code) + ")";
    CloseHandle(h);
    return;
  }
  handle_ = h;
  held_ = true;
}

InstanceLock::~InstanceLock() {
  // Closing the handle releases the lock.
  if (handle_ != nullptr) CloseHandle(static_cast<HANDLE>(handle_));
}

#else

InstanceLock::InstanceLock(const std::filesystem::path& file) {
  fd_ = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd_ < 0) {
    error_ = "impossibile aprire " + file.string() + ": " + std::strerror(errno);
    return;
  }
  if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
    busy_ = errno == EWOULDBLOCK;
    error_ = busy_ ? "file bloccato da un altro processo"
                   : std::string("blocco non riuscito: ") + std::strerror(errno);
    ::close(fd_);
    fd_ = -1;
    return;
  }
  held_ = true;
}

InstanceLock::~InstanceLock() {
  // Closing the descriptor releases the lock.
  if (fd_ >= 0) ::close(fd_);
}

#endif

}  // namespace oxsms::platform
