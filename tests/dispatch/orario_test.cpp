#include "dispatch/orario.h"

#include <gtest/gtest.h>

namespace oxsms::dispatch {
namespace {

constexpr double kOneSecond = 1.0 / 86400.0;

TEST(OrarioTest, ReadsHoursMinutesAndOptionalSeconds) {
  EXPECT_NEAR(StrToOrario("11.00"), 11.0 / 24.0, kOneSecond / 100);
  EXPECT_NEAR(StrToOrario("11.00.00"), 11.0 / 24.0, kOneSecond / 100);
  EXPECT_NEAR(StrToOrario("9.5"), (9 * 60 + 5) / 1440.0, kOneSecond / 100);
  EXPECT_NEAR(StrToOrario(" 23.59.59 "), 1.0 - kOneSecond, kOneSecond / 100);
  EXPECT_DOUBLE_EQ(StrToOrario("0.00"), 0.0);
}

TEST(OrarioTest, RefusesTextsThatAreNoTimeOfDay) {
  for (const char* bad : {"", "11", "11:00", "24.00", "11.60", "11.00.60", "11.00.00.00",
                          "abc", "1a.00", "111.00", "11..00", "-1.00", "11.00."}) {
    EXPECT_THROW(StrToOrario(bad), ConversionError) << bad;
  }
}

TEST(OrarioTest, WritesTwoDigitFieldsWithDots) {
  EXPECT_EQ(OrarioToStr(11.0 / 24.0), "11.00.00");
  EXPECT_EQ(OrarioToStr(StrToOrario("7.5.9")), "07.05.09");
  // Only the time of day counts, and floating-point noise below a whole
  // second does not turn 11.00.00 into 10.59.59.
  EXPECT_EQ(OrarioToStr(45000.0 + 11.0 / 24.0 - kOneSecond / 1e6), "11.00.00");
}

}  // namespace
}  // namespace oxsms::dispatch
