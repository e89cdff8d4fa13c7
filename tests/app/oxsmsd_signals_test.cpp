// The service process in the foreground: signals as control requests.
#include <signal.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/process_runner.h"
#include "support/temp_dir.h"

namespace oxsms::testing {
namespace {

using namespace std::chrono_literals;

int Count(const std::string& text, const std::string& what) {
  int n = 0;
  for (auto p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
  return n;
}

TEST(OxsmsdProcessTest, SignalsPauseContinueAndStopWithTheirLogLines) {
  TempDir home;
  const std::string log = (home / "sms.log").string();
  ChildProcess child(OXSMSD_PATH, {"--home", home.path().string(), "--interval-ms", "3600000"});
  ASSERT_TRUE(WaitForText(log, "Service started", 10s));
  child.Signal(SIGUSR1);
  ASSERT_TRUE(WaitForText(log, "Service stopped", 10s));
  child.Signal(SIGUSR2);
  ASSERT_TRUE(WaitForText(log, "Service started", 10s, 2));
  child.Signal(SIGTERM);
  EXPECT_EQ(child.Wait(10s), 0);
  const std::string content = ReadFile(log);
  EXPECT_EQ(Count(content, "Service started"), 2);
  // One for the pause, one for the stop.
  EXPECT_EQ(Count(content, "Service stopped"), 2);
}

TEST(OxsmsdProcessTest, StopWhileIdleIsImmediateAndLeavesOneStoppedLine) {
  TempDir home;
  const std::string log = (home / "sms.log").string();
  ChildProcess child(OXSMSD_PATH, {"--home", home.path().string(), "--interval-ms", "3600000"});
  ASSERT_TRUE(WaitForText(log, "Service started", 10s));
  child.Signal(SIGINT);
  EXPECT_EQ(child.Wait(5s), 0);
  EXPECT_EQ(Count(ReadFile(log), "Service stopped"), 1);
}

// A second oxsmsd on the same home folder, service or run by hand, ends at
// once without touching the log; the lock goes with the process that held
// it, also when that one is killed.
TEST(OxsmsdProcessTest, OnlyOneProcessRunsOnAHomeFolder) {
  TempDir home;
  const std::string log = (home / "sms.log").string();
  auto first = std::make_unique<ChildProcess>(
      OXSMSD_PATH, std::vector<std::string>{"--home", home.path().string(), "--interval-ms",
                                            "3600000"});
  ASSERT_TRUE(WaitForText(log, "Service started", 10s));

  ChildProcess run_now(OXSMSD_PATH, {"--home", home.path().string(), "--run-now"});
  EXPECT_EQ(run_now.Wait(5s), 3);
  ChildProcess second(OXSMSD_PATH, {"--home", home.path().string(), "--interval-ms", "3600000"});
  EXPECT_EQ(second.Wait(5s), 3);
  EXPECT_EQ(Count(ReadFile(log), "Service started"), 1);

  first->Signal(SIGKILL);
  EXPECT_NE(first->Wait(5s), -1);
  first.reset();
  ChildProcess after(OXSMSD_PATH, {"--home", home.path().string(), "--interval-ms", "3600000"});
  ASSERT_TRUE(WaitForText(log, "Service started", 10s, 2));
  after.Signal(SIGTERM);
  EXPECT_EQ(after.Wait(10s), 0);
}

TEST(OxsmsdProcessTest, BadCommandLineIsRefusedWithUsage) {
  ChildProcess child(OXSMSD_PATH, {"--interval-ms", "zero"});
  EXPECT_EQ(child.Wait(10s), 2);
}

}  // namespace
}  // namespace oxsms::testing
