#include "platform/date_time.h"

#include <gtest/gtest.h>

#include <thread>

#include "platform/clock.h"

namespace oxsms::platform {
namespace {

TEST(DateTimeTest, DayCountsMatchTheDatabaseEpoch) {
  EXPECT_EQ(EncodeDate(1899, 12, 30), 0);
  EXPECT_EQ(EncodeDate(1970, 1, 1), 25569);
  const DateParts d = DecodeDate(EncodeDate(2024, 2, 29));
  EXPECT_EQ(d.year, 2024);
  EXPECT_EQ(d.month, 2);
  EXPECT_EQ(d.day, 29);
  EXPECT_THROW(EncodeDate(2025, 2, 29), DataError);
  EXPECT_EQ(DayOfTheWeek(EncodeDate(2026, 12, 7)), 1);  // a Monday
  EXPECT_EQ(DayOfTheWeek(EncodeDate(2026, 12, 13)), 7);
}

TEST(DateTimeTest, TimesRoundToTheMillisecondAndMidnightBelongsToTheNextDay) {
  const TDateTime t = EncodeDate(2026, 12, 7) + 11.0 / 24.0;
  EXPECT_EQ(FormatTime(t, '.'), "11.00.00");
  EXPECT_EQ(FormatDate(t), "07/12/2026");
  const TDateTime almost_midnight = EncodeDate(2026, 12, 7) + 0.99999999999;
  EXPECT_EQ(FormatDate(almost_midnight), "08/12/2026");
  EXPECT_EQ(FormatTime(almost_midnight, ':'), "00:00:00");
  EXPECT_THROW(EncodeTime(24, 0, 0), DataError);
}

TEST(DateTimeTest, IsoTextParsesAndRejectsGarbage) {
  EXPECT_EQ(ParseIsoDateTime("2026-12-07 11:05:00"), EncodeDate(2026, 12, 7) + EncodeTime(11, 5, 0));
  EXPECT_EQ(ParseIsoDateTime("2026-12-07 11:05"), EncodeDate(2026, 12, 7) + EncodeTime(11, 5, 0));
  EXPECT_THROW(ParseIsoDateTime("07/12/2026"), DataError);
  EXPECT_THROW(ParseIsoDateTime("2026-13-01 10:00:00"), DataError);
}

TEST(SimulatedClockTest, MovesOnByAStepPerTickAndWithRealTime) {
  const TDateTime start = EncodeDate(2026, 12, 7) + EncodeTime(10, 50, 0);
  SimulatedClock clock(start, 5.0 / kMinutesPerDay);
  const TDateTime first = clock.Now();
  EXPECT_GE(first, start);
  clock.OnTick();
  clock.OnTick();
  const TDateTime later = clock.Now();
  EXPECT_GE(later - start, 10.0 / kMinutesPerDay);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_GT(clock.Now(), later);
}

}  // namespace
}  // namespace oxsms::platform
