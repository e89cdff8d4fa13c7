// The queue of link bookkeeping: writes recorded during a send and run later,
// a step at a time while the send waits for the link services or together
// before anything else reads the databases. Each runs exactly as it would
// have run when recorded, and in the same order; only the moment changes.
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
  if (writing_) return;
  writing_ = true;
  while (!pending_.empty()) {
    const std::function<void()> write = std::move(pending_.front());
    pending_.pop_front();
    RunWrite(write);
  }
  writing_ = false;
}

bool TAgImp::WriteOnePending() noexcept {
  if (writing_ || pending_.empty()) return false;
  writing_ = true;
  const std::function<void()> write = std::move(pending_.front());
  pending_.pop_front();
  RunWrite(write);
  writing_ = false;
  return true;
}

void TAgImp::RunWrite(const std::function<void()>& write) noexcept {
  try {
    write();
  } catch (const std::exception& e) {
    // Each write logs its own failures; this is what escaped it.
    log_.WriteLog(std::string("Link non registrati nell'archivio: ") + e.what());
  } catch (...) {
    log_.WriteLog("Link non registrati nell'archivio: errore sconosciuto");
  }
}

}  // namespace oxsms::practice
