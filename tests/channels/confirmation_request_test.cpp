// The request of a confirmation link: reading the line's date and time (the
// three tries at the time) and the hours left for a cancellation.
#include <gtest/gtest.h>

#include <limits>

#include "channels/channel_error.h"
#include "channels/confirmation_request.h"

namespace oxsms::channels {
namespace {

practice::TLineRec Line(const std::string& data, const std::string& ora) {
  practice::TLineRec rec;
  rec.Data = data;
  rec.Ora = ora;
  rec.id_agenda = "A=AGENDA1=3";
  return rec;
}

AppointmentMoment Moment(const std::string& data, const std::string& ora) {
  auto rec = Line(data, ora);
  return ReadAppointmentMoment(rec, '.');
}

TEST(ConfirmationRequestTest, TimeIsReadWithEitherSeparatorAndTheReadFormStaysInTheLine) {
  // The service's own separator '.': a colon time is read at the second try.
  auto colon = Line("17/05/2025", "09:30");
  EXPECT_EQ(FormatDataAppuntamento(ReadAppointmentMoment(colon, '.')), "2025-05-17 09:30:00");
  EXPECT_EQ(colon.Ora, "09.30");

  auto dot = Line("17/05/2025", "09.30.15");
  EXPECT_EQ(FormatDataAppuntamento(ReadAppointmentMoment(dot, '.')), "2025-05-17 09:30:15");
  EXPECT_EQ(dot.Ora, "09.30.15");

  // A colon system reads a dot time only at the third try.
  auto dot_in_colon_system = Line("7/5/2025", "9.05");
  EXPECT_EQ(FormatDataAppuntamento(ReadAppointmentMoment(dot_in_colon_system, ':')),
            "2025-05-07 09:05:00");
  EXPECT_EQ(dot_in_colon_system.Ora, "9:05");
}

TEST(ConfirmationRequestTest, UnreadableDateOrTimeRaisesTheConversionError) {
  auto bad_time = Line("17/05/2025", "9h30");
  try {
    ReadAppointmentMoment(bad_time, '.');
    FAIL() << "no error";
  } catch (const ChannelError& e) {
    EXPECT_STREQ(e.what(), "'9h30' non è un orario valido");
  }
  for (const char* ora : {"24.00", "09.60", "09", "09.30.00.00", "", "0930"}) {
    auto rec = Line("17/05/2025", ora);
    EXPECT_THROW(ReadAppointmentMoment(rec, '.'), ChannelError) << ora;
  }
  for (const char* data : {"31/04/2025", "2025-05-17", "17/05", "17/13/2025", "17/05/202", "x"}) {
    auto rec = Line(data, "09.30");
    EXPECT_THROW(ReadAppointmentMoment(rec, '.'), ChannelError) << data;
  }
  auto two_digit_year = Line(" 29/02/24 ", "09.30");
  EXPECT_EQ(FormatDataAppuntamento(ReadAppointmentMoment(two_digit_year, '.')),
            "2024-02-29 09:30:00");
}

TEST(ConfirmationRequestTest, HoursFromTheDeadlineOfTheDayBeforeAreWholeAndTruncated) {
  // 16 May 18:00 to 17 May 09:30: 15.5 hours.
  EXPECT_EQ(OreDisdetta(Moment("17/05/2025", "09.30"), 0.75), 15);
  // Exactly 16 hours: no 15.999 from the fractions of a day.
  EXPECT_EQ(OreDisdetta(Moment("17/05/2025", "10.00"), 0.75), 16);
  EXPECT_EQ(OreDisdetta(Moment("17/05/2025", "17.59"), 0.75), 23);
  // Across a month and a year end.
  EXPECT_EQ(OreDisdetta(Moment("01/01/2026", "08.00"), 0.5), 20);
  // A deadline later than the appointment still counts its distance.
  EXPECT_EQ(OreDisdetta(Moment("17/05/2025", "00.30"), 1.5), 11);
}

TEST(ConfirmationRequestTest, NoDeadlineSettingLeavesTheMemberOut) {
  const auto moment = Moment("17/05/2025", "09.30");
  EXPECT_EQ(OreDisdetta(moment, 0), std::nullopt);
  EXPECT_EQ(OreDisdetta(moment, std::numeric_limits<double>::quiet_NaN()), std::nullopt);
  EXPECT_EQ(OreDisdetta(moment, 1e300), std::nullopt);

  auto rec = Line("17/05/2025", "09:30");
  const auto request = BuildConfermaRequest(rec, {"studio", "segreta", 0}, '.');
  EXPECT_FALSE(request.contains("ore_disdetta"));
  EXPECT_EQ(request, (nlohmann::json{{"user", "studio"},
                                     {"pwd", "segreta"},
                                     {"data_appuntamento", "2025-05-17 09:30:00"},
                                     {"id_agenda", "A=AGENDA1=3"}}));
}

}  // namespace
}  // namespace oxsms::channels
