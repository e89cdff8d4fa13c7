#include "dispatch/sms_section.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace oxsms::dispatch {
namespace {

class SmsSectionTest : public ::testing::Test {
 protected:
  SmsGatewaySettings Read(const std::string& ini_text) {
    testing::WriteFile(dir_ / "config.ini", ini_text);
    return ReadSmsSection(platform::IniFile(dir_ / "config.ini"), fields_);
  }
  testing::TempDir dir_;
  TDM1Fields fields_;
};

TEST_F(SmsSectionTest, DefaultsWithoutTheSection) {
  const SmsGatewaySettings s = Read("[Database]\nFile=x\n");
  EXPECT_EQ(s.rest_host, kDefaultRestHost);
  EXPECT_EQ(s.rest_host.rfind("http://", 0), 0u);
  EXPECT_NE(s.rest_host.find(":8184"), std::string::npos);
  EXPECT_EQ(s.ftp_limit, 50);
  EXPECT_TRUE(fields_.sendSms);
}

TEST_F(SmsSectionTest, GatewayValuesAndAnEmptyHost) {
  SmsGatewaySettings s = Read("[sms]\nrest_host=http://127.0.0.1:9000\nftp_limit=20\n");
  EXPECT_EQ(s.rest_host, "http://127.0.0.1:9000");
  EXPECT_EQ(s.ftp_limit, 20);
  s = Read("[SMS]\nrest_host=\n");
  EXPECT_EQ(s.rest_host, kDefaultRestHost);
}

TEST_F(SmsSectionTest, ChannelFlagsOnlyWhenSendSmsIsThere) {
  Read("[sms]\nsendEmail=1\nsendWhtsB=1\n");
  EXPECT_TRUE(fields_.sendSms);
  EXPECT_FALSE(fields_.sendEmail);
  EXPECT_FALSE(fields_.sendWhtsB);

  fields_.sendWhts = true;
  Read("[sms]\nsendSms=0\nsendWhtsB=1\n");
  EXPECT_FALSE(fields_.sendSms);
  EXPECT_FALSE(fields_.sendEmail);
  EXPECT_TRUE(fields_.sendWhts);  // absent: keeps its current value
  EXPECT_TRUE(fields_.sendWhtsB);
}

}  // namespace
}  // namespace oxsms::dispatch
