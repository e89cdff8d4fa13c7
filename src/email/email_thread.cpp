#include "email/email_thread.h"

#include <exception>
#include <utility>

namespace oxsms::email {

TEmailThread::TEmailThread(Work work, SlotPlace place) {
  std::packaged_task<std::vector<DeliveryOutcome>(SlotPlace)> task(
      [work = std::move(work)](SlotPlace held) { return Execute(work, std::move(held)); });
  result_ = task.get_future();
  thread_ = std::thread(std::move(task), std::move(place));
}

TEmailThread::~TEmailThread() {
  if (thread_.joinable()) thread_.join();
}

std::vector<DeliveryOutcome> TEmailThread::Wait() {
  std::vector<DeliveryOutcome> outcomes = result_.get();
  if (thread_.joinable()) thread_.join();
  return outcomes;
}

std::vector<DeliveryOutcome> TEmailThread::Execute(const Work& work, SlotPlace place) {
  // `place` is released when this returns, whatever the work did.
  const SlotPlace held = std::move(place);
  try {
    return work();
  } catch (const std::exception& e) {
    // The work turns the errors of its deliveries into outcomes; anything
    // else (memory) still must not end the process from a worker thread.
    return {DeliveryOutcome::Failed(e.what(), false, false)};
  }
}

}  // namespace oxsms::email
