// The queue of the link bookkeeping's writes, with the elapsed time moved by
// hand.
#include "practice/deferred_writes.h"

#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/manual_clock.h"
#include "support/manual_monotonic_clock.h"
#include "support/temp_dir.h"

namespace oxsms::practice {
namespace {

using oxsms::testing::ManualClock;
using oxsms::testing::ManualMonotonicClock;
using std::chrono::milliseconds;

class Queue : public ::testing::Test {
 protected:
  std::function<void()> Write(int n) {
    return [this, n] { done.push_back(n); };
  }
  std::string LogText() const { return oxsms::testing::ReadFile(dir.path() / "sms.log"); }

  oxsms::testing::TempDir dir;
  ManualClock wall{45000};
  platform::ActivityLog log{dir.path() / "sms.log", wall};
  ManualMonotonicClock elapsed;
  DeferredWrites queue{log, elapsed};
  std::vector<int> done;
};

TEST_F(Queue, WritesWaitUntilTheFirstIsOldEnough) {
  queue.Defer(Write(1));
  elapsed.Advance(DeferredWrites::kPendingWindow - milliseconds(1));
  queue.Defer(Write(2));
  EXPECT_TRUE(done.empty());
  elapsed.Advance(milliseconds(1));
  queue.Defer(Write(3));  // the window counts from the first write, not the last
  EXPECT_EQ(done, (std::vector<int>{1, 2, 3}));

  queue.Defer(Write(4));
  EXPECT_EQ(done.size(), 3u) << "an emptied queue starts a new window";
}

TEST_F(Queue, AFullQueueIsWrittenAtOnce) {
  for (std::size_t i = 1; i < DeferredWrites::kPendingLimit; ++i) queue.Defer(Write(0));
  EXPECT_TRUE(done.empty());
  queue.Defer(Write(0));
  EXPECT_EQ(done.size(), DeferredWrites::kPendingLimit);
}

TEST_F(Queue, WritesRunOneAtATimeInOrderAndNotFromInsideAWrite) {
  queue.Defer([this] {
    done.push_back(1);
    EXPECT_FALSE(queue.WriteOne()) << "the queue is being written";
    queue.WriteAll();
  });
  queue.Defer(Write(2));
  EXPECT_TRUE(queue.WriteOne());
  EXPECT_EQ(done, (std::vector<int>{1}));
  EXPECT_TRUE(queue.WriteOne());
  EXPECT_FALSE(queue.WriteOne());
  EXPECT_EQ(done, (std::vector<int>{1, 2}));
}

TEST_F(Queue, AWriteThatRaisesIsLoggedAndTheRestStillRun) {
  queue.Defer([] { throw std::runtime_error("tabella bloccata"); });
  queue.Defer(Write(2));
  queue.WriteAll();
  EXPECT_EQ(done, (std::vector<int>{2}));
  EXPECT_NE(LogText().find("Link non registrati nell'archivio: tabella bloccata"),
            std::string::npos)
      << LogText();
}

}  // namespace
}  // namespace oxsms::practice
