// The run journal's file and its retry schedule.
#include "platform/run_journal.h"

#include <gtest/gtest.h>

#include <fstream>

#include "support/manual_clock.h"
#include "support/temp_dir.h"

namespace oxsms::platform {
namespace {

using platform::EncodeDate;
using platform::EncodeTime;
using platform::TDateTime;

const TDateTime kMonday = EncodeDate(2026, 12, 7);

TDateTime At(int h, int m, int s = 0) { return kMonday + EncodeTime(h, m, s); }

class RunJournalTest : public ::testing::Test {
 protected:
  std::filesystem::path File() const { return dir_ / RunJournal::kFileName; }

  testing::TempDir dir_;
  testing::ManualClock clock_{At(11, 0)};
  ActivityLog log_{dir_ / "sms.log", clock_};
};

TEST_F(RunJournalTest, WhatIsSavedIsReadBackByTheNextProcess) {
  {
    RunJournal journal(File(), log_);
    DayEntry& day = journal.Day(At(11, 2));
    day.attempts = 2;
    day.last_attempt = At(11, 7, 30);
    KindEntry& kind = day.kinds["promemoria"];
    kind.state = JournalState::kFailed;
    kind.retry = true;
    kind.reason = "whatsapp: HTTP 500";
    kind.search_incomplete = true;
    kind.channels["sms"] = {JournalState::kCompleted, false, "", 12, 0, {"00000000000000cc"}, true};
    kind.channels["whatsapp"] = {JournalState::kFailed, true, "HTTP 500", 0, 12, {}, false};
    kind.delivered_emails = {"00000000000000aa", "00000000000000bb"};
    day.kinds["compleanni"].channels["sms"].state = JournalState::kSending;
    journal.Save();
  }
  EXPECT_FALSE(std::filesystem::exists(File().string() + ".tmp"));
  const std::string text = testing::ReadFile(File());
  EXPECT_NE(text.find("\"2026-12-07\""), std::string::npos) << text;
  EXPECT_NE(text.find("\"in_corso\""), std::string::npos) << text;
  EXPECT_NE(text.find("\"ultimo_tentativo\": \"2026-12-07 11:07:30\""), std::string::npos) << text;

  RunJournal again(File(), log_);
  const DayEntry& day = again.Day(At(15, 0));
  EXPECT_EQ(day.attempts, 2);
  EXPECT_NEAR(day.last_attempt, At(11, 7, 30), 1e-8);
  const KindEntry& kind = day.kinds.at("promemoria");
  EXPECT_EQ(kind.state, JournalState::kFailed);
  EXPECT_TRUE(kind.retry);
  EXPECT_TRUE(kind.search_incomplete);
  EXPECT_EQ(kind.channels.at("sms").accepted, 12);
  EXPECT_TRUE(kind.channels.at("sms").lines_kept);
  EXPECT_EQ(kind.channels.at("sms").delivered_lines, std::vector<std::string>{"00000000000000cc"});
  // A channel that kept no lines (a journal of an earlier version) says so.
  EXPECT_FALSE(kind.channels.at("whatsapp").lines_kept);
  EXPECT_EQ(kind.channels.at("whatsapp").state, JournalState::kFailed);
  EXPECT_TRUE(kind.channels.at("whatsapp").retry);
  EXPECT_EQ(kind.delivered_emails, (std::vector<std::string>{"00000000000000aa", "00000000000000bb"}));
  EXPECT_TRUE(day.kinds.at("compleanni").delivered_emails.empty());
  EXPECT_FALSE(day.kinds.at("compleanni").search_incomplete);
  EXPECT_EQ(day.kinds.at("compleanni").channels.at("sms").state, JournalState::kSending);
}

TEST_F(RunJournalTest, KeepsOnlyTheLastWeek) {
  RunJournal journal(File(), log_);
  for (int d = 0; d < 10; ++d) journal.Day(kMonday + d).attempts = 1;
  journal.Save();
  const auto days = RunJournal::Parse(testing::ReadFile(File()));
  ASSERT_EQ(days.size(), static_cast<size_t>(RunJournal::kDaysKept));
  EXPECT_EQ(days.begin()->first, RunJournal::DayKey(kMonday + 3));
}

TEST_F(RunJournalTest, ADamagedJournalIsSetAsideAndTodayIsNotRetried) {
  std::ofstream(File()) << "{\"versione\":1,\"giorni\":{\"2026-12-07\":{\"tenta";
  RunJournal journal(File(), log_);
  const DayEntry& day = journal.Day(At(11, 0));
  EXPECT_TRUE(day.damaged);
  EXPECT_EQ(day.attempts, 1);
  EXPECT_FALSE(journal.RetryDue(At(19, 0)));
  EXPECT_TRUE(std::filesystem::exists(File().string() + ".danneggiato"));
  EXPECT_NE(testing::ReadFile(dir_ / "sms.log").find("diario degli invii illeggibile"),
            std::string::npos);
  // The damage is recorded: the next process does not send today either.
  RunJournal again(File(), log_);
  EXPECT_TRUE(again.Day(At(12, 0)).damaged);
}

TEST_F(RunJournalTest, PausesGrowFromFiveMinutesToAnHour) {
  EXPECT_EQ(RunJournal::PauseMinutes(1), 5);
  EXPECT_EQ(RunJournal::PauseMinutes(2), 10);
  EXPECT_EQ(RunJournal::PauseMinutes(3), 20);
  EXPECT_EQ(RunJournal::PauseMinutes(4), 40);
  EXPECT_EQ(RunJournal::PauseMinutes(5), 60);
  EXPECT_EQ(RunJournal::PauseMinutes(30), 60);
}

TEST_F(RunJournalTest, RetryIsDueOnlyForFailuresThatMayPassAfterThePause) {
  RunJournal journal(File(), log_);
  DayEntry& day = journal.Day(At(11, 0));
  day.attempts = 2;
  day.last_attempt = At(11, 5);
  day.kinds["promemoria"].state = JournalState::kCompleted;
  KindEntry& refused = day.kinds["compleanni"];
  refused.state = JournalState::kFailed;
  refused.reason = "Utente non riconosciuto";
  KindEntry& control = day.kinds[kControlKind];
  control.state = JournalState::kFailed;
  control.retry = true;
  EXPECT_FALSE(journal.RetryDue(At(19, 0))) << "refusals and the control SMS wait for nobody";

  KindEntry& transient = day.kinds["preavviso"];
  transient.state = JournalState::kFailed;
  transient.retry = true;
  transient.reason = "HTTP 500";
  EXPECT_FALSE(journal.RetryDue(At(11, 14, 59)));
  const auto why = journal.RetryDue(At(11, 15));
  ASSERT_TRUE(why);
  EXPECT_NE(why->find("preavviso"), std::string::npos);
  EXPECT_EQ(why->find("compleanni"), std::string::npos);

  transient.state = JournalState::kStarted;  // killed while searching
  EXPECT_NE(journal.RetryDue(At(11, 15))->find("interrotto"), std::string::npos);
}

}  // namespace
}  // namespace oxsms::platform
