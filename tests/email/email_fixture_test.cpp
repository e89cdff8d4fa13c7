// The SMTP account the practice generator writes is the one TVelkEmail reads.
#include <gtest/gtest.h>

#include "email/tvelk_email.h"
#include "fixture/practice_fixture.h"
#include "support/manual_clock.h"
#include "support/temp_dir.h"

namespace oxsms::email {
namespace {

TEST(EmailFixtureTest, TheGeneratedAccountIsReadBack) {
  oxsms::testing::TempDir dir;
  fixture::PracticeOptions o;
  o.home = dir.path();
  o.patients = 5;
  o.appointments = 5;
  o.days = 1;
  o.first_day = platform::EncodeDate(2025, 5, 12);
  o.smtp = fixture::SmtpAccount{"127.0.0.1", 2525, "studio", "segreta", "info@studio.it", true};
  fixture::CreatePractice(o);

  practice::Connection config;
  config.SetDriverName(practice::kDriverFirebird);
  config.SetParam("Database", (dir / "database" / "CONFIG.GDB").string());
  config.SetParam("User_Name", "SYSDBA");
  oxsms::testing::ManualClock clock;
  platform::ActivityLog log(dir / "sms.log", clock);
  TypicalMessages table;
  TVelkEmail email(config, table, log);
  email.LeggiImpostazioni();

  EXPECT_FALSE(email.usavelk);
  EXPECT_FALSE(email.sendLocalClient);
  EXPECT_FALSE(email.isNotificaDiario);
  EXPECT_TRUE(email.isCBDocEmail);
  const EmailSettings settings = email.Settings();
  EXPECT_EQ(settings.Host, "127.0.0.1");
  EXPECT_EQ(settings.Port, "2525");
  EXPECT_EQ(settings.Username, "studio");
  EXPECT_EQ(settings.Password, "segreta");
  EXPECT_EQ(settings.DaEmail, "info@studio.it");
  EXPECT_TRUE(settings.CBSSL);
  EXPECT_EQ(settings.Firma, "Studio Dentistico Demo\r\nVia Roma 1, Milano");
  EXPECT_EQ(table.Count(), 9u);
  config.Close();
}

}  // namespace
}  // namespace oxsms::email
