// The day, batch and control-text rules of the daily run, without database.
#include "dispatch/run_rules.h"

#include <gtest/gtest.h>

#include "dispatch/orario.h"

namespace oxsms::dispatch {
namespace {

using platform::EncodeDate;

constexpr int kMonday = 1, kFriday = 5, kSunday = 7;

TEST(ReminderDaysAhead, WeekdayDigitPlusOneAndSevenForNone) {
  EXPECT_EQ(ReminderDaysAhead("0000000", kMonday), 1);
  EXPECT_EQ(ReminderDaysAhead("0000200", kFriday), 3);
  EXPECT_EQ(ReminderDaysAhead("0000200", kMonday), 1);
  EXPECT_EQ(ReminderDaysAhead("0000700", kFriday), std::nullopt);
  // The seventh digit is Sunday's: Friday keeps its reminders.
  EXPECT_EQ(ReminderDaysAhead("0000007", kFriday), 1);
  EXPECT_EQ(ReminderDaysAhead("0000007", kSunday), std::nullopt);
}

TEST(ReminderDaysAhead, NonDigitOrMissingDayIsAConversionError) {
  EXPECT_THROW(ReminderDaysAhead("0000x00", kFriday), ConversionError);
  EXPECT_THROW(ReminderDaysAhead("00000", kSunday), ConversionError);
  EXPECT_THROW(ReminderDaysAhead("", kMonday), ConversionError);
}

TEST(BirthdayDays, MarkedDaysOfTheCurrentWeek) {
  const auto friday = EncodeDate(2025, 5, 16) + 0.45;
  EXPECT_EQ(MondayOf(friday), EncodeDate(2025, 5, 12));
  EXPECT_EQ(MondayOf(EncodeDate(2025, 5, 18)), EncodeDate(2025, 5, 12));  // Sunday
  EXPECT_EQ(BirthdayDays("0000111", friday),
            (std::vector<platform::TDateTime>{EncodeDate(2025, 5, 16), EncodeDate(2025, 5, 17),
                                              EncodeDate(2025, 5, 18)}));
  // A short mask covers only its days; extra characters are ignored.
  EXPECT_EQ(BirthdayDays("01", friday),
            std::vector<platform::TDateTime>{EncodeDate(2025, 5, 13)});
  EXPECT_EQ(BirthdayDays("000000011", friday).size(), 0u);
  EXPECT_TRUE(BirthdayDays("0000000", friday).empty());
  EXPECT_TRUE(BirthdayDays("", friday).empty());
}

TEST(ControlNumbers, TrimmedNonEmptyLinesInOrder) {
  EXPECT_EQ(ControlNumbers("3331112222\r\n\r\n  3334445555 \r\n"),
            (std::vector<std::string>{"3331112222", "3334445555"}));
  EXPECT_EQ(ControlNumbers("111\n222\r333"), (std::vector<std::string>{"111", "222", "333"}));
  EXPECT_EQ(ControlLine("333"), ",,333");
}

TEST(CreditWarning, ThresholdIsInclusiveAndNeedsANumber) {
  std::string text;
  AppendCreditWarning(text, 50, 51);
  EXPECT_EQ(text, "");
  AppendCreditWarning(text, 50, 50);
  EXPECT_EQ(text, "Attenzione: Sms disponibili: 50");

  std::string summary = "Invio Msg Appuntamenti 3 Msg.";
  AppendCreditWarning(summary, 50, 7);
  EXPECT_EQ(summary, "Invio Msg Appuntamenti 3 Msg. Attenzione: Sms disponibili: 7");
  EXPECT_EQ(CreditThreshold(" 50 "), 50);
  EXPECT_EQ(CreditThreshold("-1"), -1);
  EXPECT_EQ(CreditThreshold("50 sms"), std::nullopt);
  EXPECT_EQ(CreditThreshold(""), std::nullopt);
  EXPECT_EQ(CreditThreshold("99999999999999999999"), std::nullopt);
}

TEST(Batches, PhoneAndEmailLinesKeepTheirIdsAndPayments) {
  const std::vector<std::string> lines = {"Rossi,Mario,333", "Rossi,Mario,m@x.it",
                                          "Verdi,Anna,334", "Neri,Ugo,335"};
  const std::vector<std::string> ids = {"A;1", "same", "A;2"};  // the last line has none
  std::vector<practice::TPazRec> payments(2);
  payments[0].incasso = 10000;
  payments[1].incasso = 20000;

  const RecipientBatch phone = PhoneBatch(lines, ids, payments);
  EXPECT_EQ(phone.lines, (std::vector<std::string>{"Rossi,Mario,333", "Verdi,Anna,334",
                                                   "Neri,Ugo,335"}));
  EXPECT_EQ(phone.ids, (std::vector<std::string>{"A;1", "A;2"}));
  ASSERT_EQ(phone.payments.size(), 3u);
  EXPECT_EQ(phone.payments[0].incasso, 10000);
  EXPECT_EQ(phone.payments[1].incasso, 0);  // beyond the search's records
  EXPECT_EQ(phone.payments[2].incasso, 0);

  const RecipientBatch email = EmailBatch(lines, ids);
  EXPECT_EQ(email.lines, std::vector<std::string>{"Rossi,Mario,m@x.it"});
  EXPECT_EQ(email.ids, std::vector<std::string>{"same"});
  ASSERT_EQ(email.payments.size(), 1u);
  EXPECT_EQ(email.payments[0].incasso, 0);

}

}  // namespace
}  // namespace oxsms::dispatch
