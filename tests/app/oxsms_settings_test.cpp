// oxsms settings on a real practice: what `set` stores is what `show` and
// the service read, a refused value writes nothing, and the password stays
// out of the answer and the log.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "app/process_context.h"
#include "app/process_runner.h"
#include "dispatch/settings_store.h"
#include "fixture/practice_fixture.h"
#include "platform/activity_log.h"
#include "support/manual_clock.h"
#include "support/temp_dir.h"

namespace oxsms::testing {
namespace {

using nlohmann::json;

class OxsmsSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fixture::PracticeOptions options;
    options.home = home_.path();
    options.patients = 5;
    options.appointments = 2;
    options.days = 1;
    options.first_day = platform::EncodeDate(2026, 12, 8);
    options.settings_json = R"({"user":"studio","pwd":"Segreta-77","time":"11.00.00",
        "cbsms":true,"CBPreavviso":true,"GGPreavviso":7,"testata":"STUDIO"})";
    report_ = fixture::CreatePractice(options);
  }

  ProgramOutput Oxsms(std::vector<std::string> args) {
    args.insert(args.begin(), {"--home", home_.path().string()});
    return RunProgram(OXSMS_PATH, args);
  }

  // The document as stored, read as the service reads it.
  std::optional<dispatch::SettingsDocument> Stored() {
    const platform::HomeFolder home(home_.path());
    ManualClock clock;
    platform::ActivityLog log(home_.path() / "sms.log", clock);
    app::ProcessContext context(home, log);
    dispatch::StoredSettings store(context.catalogue);
    return store.Read();
  }

  TempDir home_;
  fixture::PracticeReport report_;
};

TEST_F(OxsmsSettingsTest, WhatSetStoresIsWhatShowAndTheServiceRead) {
  const ProgramOutput set = Oxsms({"settings", "set", "time=9:30", "user=nuovo",
                                   "CBPreavviso=no", "cellverifica1=+39 333 1, +39 333 2"});
  ASSERT_EQ(set.status, 0) << set.err;
  EXPECT_NE(set.out.find("time: 11.00.00 -> 09.30.00"), std::string::npos) << set.out;

  const auto stored = Stored();
  ASSERT_TRUE(stored);
  EXPECT_EQ(stored->at("time"), "09.30.00");
  EXPECT_EQ(stored->at("user"), "nuovo");
  EXPECT_EQ(stored->at("pwd"), "Segreta-77");  // kept
  // Switched off and said so: a running service that had it on applies it.
  EXPECT_EQ(stored->at("CBPreavviso"), false);
  EXPECT_EQ(stored->at("cellverifica1"), "+39 333 1\r\n+39 333 2");

  const ProgramOutput show = Oxsms({"--json", "settings", "show"});
  ASSERT_EQ(show.status, 0) << show.err;
  const json shown = json::parse(show.out);
  EXPECT_EQ(shown.at("stored"), true);
  EXPECT_EQ(shown.at("settings").at("time"), "09.30.00");
  EXPECT_EQ(shown.at("settings").at("CBPreavviso"), false);
  EXPECT_EQ(shown.at("settings").at("GGPreavviso"), 7);
  EXPECT_EQ(shown.at("settings").at("pwd"), "********");
  EXPECT_EQ(show.out.find("Segreta-77"), std::string::npos);

  const ProgramOutput secrets = Oxsms({"settings", "show", "--show-secrets"});
  ASSERT_EQ(secrets.status, 0) << secrets.err;
  EXPECT_NE(secrets.out.find("Segreta-77"), std::string::npos);

  // The change is in the service's log, by key, without values.
  const std::string log = ActivityLogOf(home_.path());
  EXPECT_NE(log.find("Impostazioni del servizio cambiate con oxsms: user, time, cellverifica1, "
                     "CBPreavviso"),
            std::string::npos)
      << log;
  EXPECT_EQ(log.find("nuovo"), std::string::npos);
}

TEST_F(OxsmsSettingsTest, ARefusedValueWritesNothing) {
  const auto before = Stored();
  ASSERT_TRUE(before);
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"settings", "set", "time=9:30", "giorniinvio=12345678"},
        std::vector<std::string>{"settings", "set", "time=9:30", "cbserviziowhatsapp=true"},
        std::vector<std::string>{"settings", "set", "time"}}) {
    const ProgramOutput set = Oxsms(args);
    EXPECT_EQ(set.status, 2) << args.back();
    EXPECT_NE(set.err.find("oxsms: "), std::string::npos) << set.err;
    EXPECT_EQ(Stored(), before) << args.back();
  }
  const ProgramOutput days = Oxsms({"settings", "set", "giorniinvio=12345678"});
  EXPECT_NE(days.err.find("\"giorniinvio\": sette cifre"), std::string::npos) << days.err;
  EXPECT_NE(days.err.find("nulla è stato scritto"), std::string::npos) << days.err;
  EXPECT_EQ(ActivityLogOf(home_.path()).find("cambiate con oxsms"), std::string::npos);
}

TEST_F(OxsmsSettingsTest, AConfigurationDatabaseThatCannotBeReadFails) {
  for (const auto& db : report_.databases) {
    if (db.role == "configurazione") std::filesystem::remove(db.location);
  }
  const ProgramOutput show = Oxsms({"settings", "show"});
  EXPECT_EQ(show.status, 1);
  EXPECT_NE(show.err.find("oxsms: "), std::string::npos);
  EXPECT_TRUE(show.out.empty()) << show.out;
}

TEST(OxsmsCommandLineTest, HelpAndUsage) {
  const ProgramOutput none = RunProgram(OXSMS_PATH, {});
  EXPECT_EQ(none.status, 2);
  EXPECT_NE(none.err.find("uso: oxsms"), std::string::npos);
  const ProgramOutput help = RunProgram(OXSMS_PATH, {"settings", "--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("settings set CHIAVE=VALORE"), std::string::npos);
  EXPECT_EQ(RunProgram(OXSMS_PATH, {"nonesiste"}).status, 2);
  EXPECT_EQ(RunProgram(OXSMS_PATH, {"--bogus"}).status, 2);
}

}  // namespace
}  // namespace oxsms::testing
