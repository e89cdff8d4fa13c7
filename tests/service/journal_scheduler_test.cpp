// The scheduler's decisions with a run journal: missed window, retries with
// growing pauses, the catch-up time.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "platform/run_journal.h"
#include "service/oxsms_service.h"
#include "support/manual_clock.h"
#include "support/manual_monotonic_clock.h"
#include "support/temp_dir.h"

namespace oxsms::service {
namespace {

using platform::ActivityLog;
using platform::DayEntry;
using platform::EncodeDate;
using platform::EncodeTime;
using platform::JournalState;
using platform::KindEntry;
using platform::RunJournal;
using platform::TDateTime;

const TDateTime kMonday = EncodeDate(2026, 12, 7);

TDateTime At(int h, int m, int s = 0) { return kMonday + EncodeTime(h, m, s); }

// The scheduler with a journal, over a settings object that records runs
// and, like the real one, records each attempt in the journal.
struct JournalOrchestrator : SendOrchestrator {
  explicit JournalOrchestrator(RunJournal& j, const platform::Clock& c) : journal(j), clock(c) {}
  bool ReadConnect() override { return settings_available; }
  TDateTime OrarioInvio() const override { return EncodeTime(11, 0, 0); }
  void SetAsService(bool) override {}
  void InviaDaServizio() override {
    ++runs;
    DayEntry& day = journal.Day(clock.Now());
    ++day.attempts;
    day.last_attempt = clock.Now();
    KindEntry& kind = day.kinds["promemoria"];
    kind.state = fail_next > 0 ? JournalState::kFailed : JournalState::kCompleted;
    kind.retry = fail_next > 0;
    kind.reason = "HTTP 500";
    if (fail_next > 0) --fail_next;
    journal.Save();
  }
  bool LastRunFailed() const override { return false; }
  bool KeepsJournal() const override { return true; }

  RunJournal& journal;
  const platform::Clock& clock;
  bool settings_available = true;
  int fail_next = 0;
  int runs = 0;
};

class JournalSchedulerTest : public ::testing::Test {
 protected:
  JournalSchedulerTest() {
    service_ = std::make_unique<TOXSMS>(
        log_, clock_, elapsed_,
        [this] {
          auto dm = std::make_unique<JournalOrchestrator>(journal_, clock_);
          dm->fail_next = fail_first_;
          dm1_ = dm.get();
          return dm;
        },
        TOXSMS::kTimerInterval, JournalSchedule{&journal_, EncodeTime(20, 0, 0)});
  }
  // Ticks every five minutes from `h:m` to `to_h:to_m`.
  void TickEveryFiveMinutes(int h, int m, int to_h, int to_m) {
    for (TDateTime t = At(h, m); t <= At(to_h, to_m) + 1e-9; t += 5.0 / 1440.0) {
      clock_.Set(t);
      service_->TimerTick();
    }
  }
  std::string Log() { return testing::ReadFile(dir_ / "sms.log"); }
  std::filesystem::path File() const { return dir_ / RunJournal::kFileName; }

  testing::TempDir dir_;
  testing::ManualClock clock_{At(11, 0)};
  testing::ManualMonotonicClock elapsed_;
  ActivityLog log_{dir_ / "sms.log", clock_};
  RunJournal journal_{File(), log_};
  int fail_first_ = 0;
  JournalOrchestrator* dm1_ = nullptr;
  std::unique_ptr<TOXSMS> service_;
};

TEST_F(JournalSchedulerTest, ARestartInsideTheWindowDoesNotRunTheDayAgain) {
  TickEveryFiveMinutes(10, 50, 11, 0);
  EXPECT_EQ(dm1_->runs, 1);
  // A new process (same journal file) ticking again inside the window.
  JournalSchedulerTest::service_.reset();
  RunJournal reread(dir_ / RunJournal::kFileName, log_);
  auto dm = std::make_unique<JournalOrchestrator>(reread, clock_);
  JournalOrchestrator* second = dm.get();
  TOXSMS restarted(
      log_, clock_, elapsed_, [&] { return std::move(dm); }, TOXSMS::kTimerInterval,
      JournalSchedule{&reread, EncodeTime(20, 0, 0)});
  clock_.Set(At(11, 3));
  restarted.TimerTick();
  EXPECT_EQ(second->runs, 0);
}

TEST_F(JournalSchedulerTest, AMissedWindowIsCaughtUpOnceBeforeTheCatchUpTime) {
  TickEveryFiveMinutes(14, 0, 19, 0);
  EXPECT_EQ(dm1_->runs, 1);
  EXPECT_NE(Log().find("Invio del giorno non eseguito all'orario di invio 11.00"),
            std::string::npos) << Log();
}

TEST_F(JournalSchedulerTest, NothingIsCaughtUpAfterTheCatchUpTimeOrBeforeTheSendTime) {
  TickEveryFiveMinutes(6, 0, 10, 55);
  TickEveryFiveMinutes(20, 5, 23, 55);
  ASSERT_NE(dm1_, nullptr);
  EXPECT_EQ(dm1_->runs, 0);
}

TEST_F(JournalSchedulerTest, TransientFailuresAreRetriedWithGrowingPauses) {
  fail_first_ = 3;
  std::vector<TDateTime> runs_at;
  for (TDateTime t = At(11, 0); t <= At(13, 0); t += 5.0 / 1440.0) {
    clock_.Set(t);
    const int before = dm1_ ? dm1_->runs : 0;
    service_->TimerTick();
    if (dm1_->runs > before) runs_at.push_back(t);
  }
  // 11.00 fails, 11.05 fails (5 min), 11.15 fails (10 min), 11.35 succeeds
  // (20 min); nothing after.
  ASSERT_EQ(runs_at.size(), 4u) << Log();
  EXPECT_NEAR(runs_at[1], At(11, 5), 1e-6);
  EXPECT_NEAR(runs_at[2], At(11, 15), 1e-6);
  EXPECT_NEAR(runs_at[3], At(11, 35), 1e-6);
  EXPECT_NE(Log().find("Nuovo tentativo di invio (tentativo 2): promemoria non riuscito (HTTP 500)"),
            std::string::npos) << Log();
}

}  // namespace
}  // namespace oxsms::service
