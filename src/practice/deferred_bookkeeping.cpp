// The queue of link bookkeeping: writes recorded during a send and run
// together. Each runs exactly as it would have run when recorded, and in the
// same order; only the moment changes.
#include <exception>
#include <utility>

#include "practice/agimp.h"

namespace oxsms::practice {

void TAgImp::Defer(std::function<void()> write) {
  const auto now = std::chrono::steady_clock::now();
  if (pending_.empty()) pending_since_ = now;
  pending_.push_back(std::move(write));
  if (pending_.size() >= kPendingLimit || now - pending_since_ >= kPendingWindow) {
    WritePending();
  }
}

void TAgImp::WritePending() noexcept {
  std::vector<std::function<void()>> writes;
  writes.swap(pending_);
  for (const auto& write : writes) {
    try {
      write();
    } catch (const std::exception& e) {
      // Each write logs its own failures; this is what escaped it.
      log_.WriteLog(std::string("Link non registrati nell'archivio: ") + e.what());
    }
  }
}

}  // namespace oxsms::practice
