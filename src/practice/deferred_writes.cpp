#include "practice/deferred_writes.h"

#include <exception>
#include <utility>

#include "platform/error.h"

namespace oxsms::practice {

void DeferredWrites::Defer(std::function<void()> write) {
  const auto now = clock_.Now();
  if (pending_.empty()) pending_since_ = now;
  pending_.push_back(std::move(write));
  if (pending_.size() >= kPendingLimit || now - pending_since_ >= kPendingWindow) {
    WriteAll();
  }
}

void DeferredWrites::WriteAll() noexcept {
  if (writing_) return;
  writing_ = true;
  while (!pending_.empty()) {
    const std::function<void()> write = std::move(pending_.front());
    pending_.pop_front();
    Run(write);
  }
  writing_ = false;
}

bool DeferredWrites::WriteOne() noexcept {
  if (writing_ || pending_.empty()) return false;
  writing_ = true;
  const std::function<void()> write = std::move(pending_.front());
  pending_.pop_front();
  Run(write);
  writing_ = false;
  return true;
}

void DeferredWrites::Run(const std::function<void()>& write) noexcept {
  try {
    write();
  } catch (const std::exception& e) {
    // Each write logs its own failures; this is what escaped it.
    log_.WriteLog("Link non registrati nell'archivio: " + platform::Describe(e));
  } catch (...) {
    log_.WriteLog("Link non registrati nell'archivio: errore sconosciuto");
  }
}

}  // namespace oxsms::practice
