// `TEmailThread`: one delivery on a thread of its own, started at once. The
// work it runs owns its messages; when it ends, by success or by error, the
// slot place of the delivery is released. Errors do not leave the thread:
// they become the outcomes the work returns (or, for an error of another
// family, one failed outcome). The object waits for its thread when it is
// destroyed, so whatever the work refers to must outlive the object.
#pragma once

#include <functional>
#include <future>
#include <thread>
#include <vector>

#include "email/delivery_outcome.h"
#include "email/in_progress_slot.h"

namespace oxsms::email {

class TEmailThread {
 public:
  using Work = std::function<std::vector<DeliveryOutcome>()>;

  TEmailThread(Work work, SlotPlace place);
  ~TEmailThread();
  TEmailThread(const TEmailThread&) = delete;
  TEmailThread& operator=(const TEmailThread&) = delete;

  // Waits for the end of the delivery and returns what the work returned.
  // Once only.
  std::vector<DeliveryOutcome> Wait();

 private:
  static std::vector<DeliveryOutcome> Execute(const Work& work, SlotPlace place);

  std::future<std::vector<DeliveryOutcome>> result_;
  std::thread thread_;
};

}  // namespace oxsms::email
