// How the link bookkeeping reads a recipient line's agenda table, date and
// time, and writes an amount.
#include <gtest/gtest.h>

#include <limits>
#include <stdexcept>

#include "platform/error.h"
#include "practice/agenda_row_key.h"
#include "practice/patient_accounts.h"

namespace oxsms::practice {
namespace {

TEST(AgendaRowKey, TableIsTheAgendaLinesValueInUpperCase) {
  EXPECT_EQ(AgendaTableOfLine("Agenda1=ag_uno"), "AG_UNO");
  EXPECT_EQ(AgendaTableOfLine("A=b=c"), "B");
  EXPECT_EQ(AgendaTableOfLine("same"), "SAME");
  EXPECT_EQ(AgendaTableOfLine("Agenda1="), "");
  EXPECT_EQ(AgendaTableOfLine(""), "");
}

TEST(AgendaRowKey, DateIsReadInTheShortDateFormat) {
  EXPECT_EQ(ParseShortDate("12/05/2025"), platform::EncodeDate(2025, 5, 12));
  EXPECT_EQ(ParseShortDate("1/5/2025"), platform::EncodeDate(2025, 5, 1));
  for (const char* bad : {"2025-05-12", "31/02/2025", "12/05/25", "12/05/2025/1", "", "a/b/c"}) {
    EXPECT_THROW(ParseShortDate(bad), platform::DataError) << bad;
  }
}

TEST(AgendaRowKey, ColonAndDotTimesAddressTheSameRow) {
  const AgendaRowKey dots = RowKeyOf("12/05/2025", "09.30");
  const AgendaRowKey colons = RowKeyOf("12/05/2025", "09:30");
  EXPECT_EQ(colons.ora.tm_hour, 9);
  EXPECT_EQ(colons.ora.tm_min, 30);
  EXPECT_EQ(dots.ora.tm_hour, colons.ora.tm_hour);
  EXPECT_EQ(dots.ora.tm_min, colons.ora.tm_min);
  EXPECT_EQ(dots.data.tm_year, 125);
  EXPECT_EQ(dots.data.tm_mon, 4);
  EXPECT_EQ(dots.data.tm_mday, 12);
  EXPECT_EQ(TimeWithDots("09:30:15"), "09.30.15");
  for (const char* bad : {"9h30", "25.00", "", "09.30,x"}) {
    EXPECT_THROW(RowKeyOf("12/05/2025", bad), platform::DataError) << bad;
  }
}

TEST(PatientAccounts, AmountTextKeepsAllFourDecimals) {
  EXPECT_EQ(CurrencyText(502500), "50.2500");
  EXPECT_EQ(CurrencyText(1234567891), "123456.7891");
  EXPECT_EQ(CurrencyText(0), "0.0000");
  EXPECT_EQ(CurrencyText(-5), "-0.0005");
  EXPECT_EQ(CurrencyText(std::numeric_limits<Currency>::min()), "-922337203685477.5808");
}

}  // namespace
}  // namespace oxsms::practice
