// The Debian package's /etc/oxsms/config.ini (packaging/config.ini) shows
// every key commented out with its default. Those defaults must be the ones
// the program takes for a missing key: with every line uncommented, the
// program reads what it reads from an empty file.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <sstream>
#include <string>

#include "app/journal_settings.h"
#include "channels/sms_gateway_config.h"
#include "dispatch/sms_section.h"
#include "platform/activity_log.h"
#include "platform/ini_file.h"
#include "platform/installation.h"
#include "practice/local_config.h"
#include "support/manual_clock.h"
#include "support/temp_dir.h"

namespace oxsms::testing {
namespace {

const std::regex kDocumentedDefault(R"(^;([A-Za-z_][A-Za-z0-9_]*=.*)$)");

// The template with each ";key=value" line made a key line.
std::string Uncommented(const std::string& text) {
  std::istringstream in(text);
  std::string out;
  for (std::string line; std::getline(in, line);) {
    std::smatch m;
    out += (std::regex_match(line, m, kDocumentedDefault) ? m[1].str() : line) + "\n";
  }
  return out;
}

std::filesystem::path Written(const std::filesystem::path& file, const std::string& content) {
  WriteFile(file, content);
  return file;
}

class PackagedConfigTest : public ::testing::Test {
 protected:
  const std::string template_ = ReadFile(PACKAGED_CONFIG_INI);
  TempDir dir_;
  platform::IniFile empty_{dir_ / "empty.ini"};
  platform::IniFile shipped_{Written(dir_ / "shipped.ini", template_)};
  platform::IniFile documented_{Written(dir_ / "documented.ini", Uncommented(template_))};
};

TEST_F(PackagedConfigTest, ShipsNoValueOnlyDocumentedDefaults) {
  ASSERT_FALSE(template_.empty());
  for (const char* section : {"Database", "Database Ag", "sms", "Installazione"}) {
    EXPECT_TRUE(documented_.SectionExists(section)) << section;
  }
  EXPECT_FALSE(shipped_.ValueExists("Database", "File"));
  EXPECT_FALSE(shipped_.ValueExists("Installazione", "db_password"));
  EXPECT_FALSE(shipped_.ValueExists("sms", "rest_host"));
  // A secret the program has built in is never written out.
  EXPECT_FALSE(documented_.ValueExists("Installazione", "api_key"));
}

TEST_F(PackagedConfigTest, InstallationDefaultsAreTheProgramsOwn) {
  const platform::Installation want = platform::Installation::Load(empty_);
  const platform::Installation got = platform::Installation::Load(documented_);
  EXPECT_EQ(got.default_db_password, want.default_db_password);
  EXPECT_EQ(got.column_key, want.column_key);
  EXPECT_EQ(got.ca_file, want.ca_file);
  EXPECT_EQ(got.api_key, want.api_key);
  EXPECT_EQ(got.batch_user, want.batch_user);
  EXPECT_EQ(got.batch_password, want.batch_password);
  EXPECT_EQ(got.payment_url, want.payment_url);
  EXPECT_EQ(got.link_url, want.link_url);
  EXPECT_EQ(got.secure_sms_url, want.secure_sms_url);
  EXPECT_EQ(got.email_url, want.email_url);
  EXPECT_EQ(got.email_probe_host, want.email_probe_host);
  EXPECT_EQ(got.email_fallback_url, want.email_fallback_url);
  EXPECT_EQ(got.cloud_url, want.cloud_url);
  EXPECT_EQ(got.lock_timeout_seconds, want.lock_timeout_seconds);
  EXPECT_EQ(got.http_timeout_seconds, want.http_timeout_seconds);
}

TEST_F(PackagedConfigTest, SmsSectionDefaultsAreTheProgramsOwn) {
  const dispatch::SmsGatewaySettings want = dispatch::ReadSmsSection(empty_);
  const dispatch::SmsGatewaySettings got = dispatch::ReadSmsSection(documented_);
  EXPECT_EQ(got.rest_host, want.rest_host);
  EXPECT_EQ(got.ftp_limit, want.ftp_limit);
  EXPECT_EQ(got.sendSms, want.sendSms);
  EXPECT_EQ(got.sendEmail, want.sendEmail);
  EXPECT_EQ(got.sendWhts, want.sendWhts);
  EXPECT_EQ(got.sendWhtsB, want.sendWhtsB);
  EXPECT_EQ(channels::ReadUnattendedAliasAnswer(documented_),
            channels::ReadUnattendedAliasAnswer(empty_));

  ManualClock clock;
  platform::ActivityLog log(dir_ / "sms.log", clock);
  const app::JournalSettings journal_want = app::ReadJournalSettings(empty_, log);
  const app::JournalSettings journal_got = app::ReadJournalSettings(documented_, log);
  EXPECT_EQ(journal_got.enabled, journal_want.enabled);
  EXPECT_DOUBLE_EQ(journal_got.catch_up, journal_want.catch_up);
  EXPECT_EQ(ReadFile(dir_ / "sms.log"), "") << "a documented value was refused";
}

TEST_F(PackagedConfigTest, DatabaseSectionsDocumentTheProgramsDefaults) {
  for (const char* section : {practice::kSectionDatabase, practice::kSectionDatabaseAg}) {
    SCOPED_TRACE(section);
    EXPECT_EQ(documented_.ReadString(section, practice::kKeyFile, ""),
              practice::kDefaultConfigFile);
    EXPECT_EQ(documented_.ReadString(section, practice::kKeyUser, ""), practice::kDefaultUser);
    EXPECT_EQ(documented_.ReadInteger(section, practice::kKeyProtocol, -1), 0);
    // A missing password is db_password's: an empty one would not be.
    EXPECT_FALSE(documented_.ValueExists(section, practice::kKeyPassword));
  }
  EXPECT_FALSE(documented_.ReadBool(practice::kSectionDatabase, practice::kKeyUseLocalhost, true));
  EXPECT_EQ(documented_.ReadInteger(practice::kSectionDatabase, practice::kKeyAdministrator, -1), 0);
}

}  // namespace
}  // namespace oxsms::testing
