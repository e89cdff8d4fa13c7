#include "dispatch/sms_section.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace oxsms::dispatch {
namespace {

class SmsSectionTest : public ::testing::Test {
 protected:
  SmsGatewaySettings Read(const std::string& ini_text, const SmsGatewaySettings& defaults = {}) {
    testing::WriteFile(dir_ / "config.ini", ini_text);
    return ReadSmsSection(platform::IniFile(dir_ / "config.ini"), defaults);
  }
  testing::TempDir dir_;
};

TEST_F(SmsSectionTest, DefaultsWithoutTheSection) {
  const SmsGatewaySettings s = Read("[Database]\nFile=x\n");
  EXPECT_EQ(s.rest_host, kDefaultRestHost);
  EXPECT_EQ(s.rest_host.rfind("http://", 0), 0u);
  EXPECT_NE(s.rest_host.find(":8184"), std::string::npos);
  EXPECT_EQ(s.ftp_limit, 50);
  EXPECT_TRUE(s.sendSms);
}

TEST_F(SmsSectionTest, GatewayValuesAndAnEmptyHost) {
  SmsGatewaySettings s = Read("[sms]\nrest_host=http://127.0.0.1:9000\nftp_limit=20\n");
  EXPECT_EQ(s.rest_host, "http://127.0.0.1:9000");
  EXPECT_EQ(s.ftp_limit, 20);
  s = Read("[SMS]\nrest_host=\n");
  EXPECT_EQ(s.rest_host, kDefaultRestHost);
}

TEST_F(SmsSectionTest, ChannelFlagsOnlyWhenSendSmsIsThere) {
  SmsGatewaySettings s = Read("[sms]\nsendEmail=1\nsendWhtsB=1\n");
  EXPECT_TRUE(s.sendSms);
  EXPECT_FALSE(s.sendEmail);
  EXPECT_FALSE(s.sendWhtsB);

  SmsGatewaySettings current;
  current.sendWhts = true;
  s = Read("[sms]\nsendSms=0\nsendWhtsB=1\n", current);
  EXPECT_FALSE(s.sendSms);
  EXPECT_FALSE(s.sendEmail);
  EXPECT_TRUE(s.sendWhts);  // absent: keeps its current value
  EXPECT_TRUE(s.sendWhtsB);
}

}  // namespace
}  // namespace oxsms::dispatch
