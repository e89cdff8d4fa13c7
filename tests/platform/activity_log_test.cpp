#include "platform/activity_log.h"

#include <gtest/gtest.h>

#include "support/manual_clock.h"
#include "support/temp_dir.h"

namespace oxsms::platform {
namespace {

using platform::EncodeDate;
using platform::EncodeTime;
using testing::ReadFile;

class ActivityLogTest : public ::testing::Test {
 protected:
  testing::TempDir dir_;
  testing::ManualClock clock_{EncodeDate(2026, 12, 7) + EncodeTime(11, 2, 17)};
  ActivityLog log_{dir_ / "sms.log", clock_};
};

TEST_F(ActivityLogTest, FirstCallCreatesTheFileWithOneDatedLine) {
  log_.WriteLog("Avvio ricerca messaggi");
  EXPECT_EQ(ReadFile(dir_ / "sms.log"), "07/12/2026 11:02:17 Avvio ricerca messaggi\r\n");
}

TEST_F(ActivityLogTest, TimeSeparatorSwitchesForLaterLinesAndEmptyTextStillWrites) {
  log_.WriteLog("prima");
  log_.SetTimeSeparator('.');
  log_.WriteLog("");
  EXPECT_EQ(ReadFile(dir_ / "sms.log"),
            "07/12/2026 11:02:17 prima\r\n07/12/2026 11.02.17 \r\n");
}

TEST_F(ActivityLogTest, MultiLineMessageContinuesUndatedAndCallsKeepOrder) {
  log_.WriteLog("Invio Email a:\r\nRossi,Mario,m@x.it");
  clock_.Advance(EncodeTime(0, 0, 1));
  log_.WriteServiceState(true);
  log_.WriteServiceState(false);
  EXPECT_EQ(ReadFile(dir_ / "sms.log"),
            "07/12/2026 11:02:17 Invio Email a:\r\nRossi,Mario,m@x.it\r\n"
            "Service started 07/12/2026 11:02:18\r\n"
            "Service stopped 07/12/2026 11:02:18\r\n");
}

TEST_F(ActivityLogTest, ExistingLogIsAppendedToNeverEmptied) {
  testing::WriteFile(dir_ / "sms.log", "riga di ieri\r\n");
  log_.WriteLog("oggi");
  EXPECT_EQ(ReadFile(dir_ / "sms.log"), "riga di ieri\r\n07/12/2026 11:02:17 oggi\r\n");
}

TEST_F(ActivityLogTest, UnwritableLogDoesNotThrowOrCreateAnything) {
  ActivityLog bad(dir_ / "missing-folder" / "sms.log", clock_);
  EXPECT_NO_THROW(bad.WriteLog("persa"));
  EXPECT_NO_THROW(bad.WriteServiceState(true));
  EXPECT_FALSE(std::filesystem::exists(dir_ / "missing-folder"));
}

}  // namespace
}  // namespace oxsms::platform
