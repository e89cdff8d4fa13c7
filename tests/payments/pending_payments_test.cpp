// The list of payment links waiting for their message, as a file that later
// runs read back.
#include "payments/pending_payments.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <filesystem>

#include "platform/error.h"
#include "support/temp_dir.h"

namespace oxsms::payments {
namespace {

using oxsms::testing::ReadFile;
using oxsms::testing::TempDir;
using oxsms::testing::WriteFile;

TEST(PendingPaymentsTest, WhatWaitsIsReadBackByTheNextRunInTheUsualJsonForm) {
  TempDir home;
  const auto file = home / kPendingPaymentsFile;
  {
    PendingPayments pending(file);
    pending.Add("AGENDA_2|13/05/2025|10.30|B7", "lp-2");
    pending.Add("AGENDA_1|13/05/2025|09.00|B1", "lp-1");
    pending.Add("AGENDA_3|13/05/2025|11.00|Cantù", "lp-3");
    pending.Add("AGENDA_2|13/05/2025|10.30|B7", "lp-2b");  // a new link for the same fee
    pending.Remove({"AGENDA_3|13/05/2025|11.00|Cantù", "not there"});
  }
  // The form the file has always had: what nlohmann writes for the object.
  const nlohmann::json expected = {{"AGENDA_1|13/05/2025|09.00|B1", "lp-1"},
                                   {"AGENDA_2|13/05/2025|10.30|B7", "lp-2b"}};
  EXPECT_EQ(ReadFile(file), expected.dump(1, ' ', true));

  PendingPayments next_run(file);
  EXPECT_EQ(next_run.Find("AGENDA_1|13/05/2025|09.00|B1"), "lp-1");
  EXPECT_EQ(next_run.Find("AGENDA_2|13/05/2025|10.30|B7"), "lp-2b");
  EXPECT_EQ(next_run.Find("AGENDA_3|13/05/2025|11.00|Cantù"), std::nullopt);

  // An entry added is written by the next Flush, not before.
  next_run.Add("AGENDA_4|14/05/2025|08.00|Dell'Orto \"Anna\"", "lp-4");
  EXPECT_EQ(nlohmann::json::parse(ReadFile(file)), expected);
  next_run.Flush();
  const nlohmann::json stored = nlohmann::json::parse(ReadFile(file));
  EXPECT_EQ(stored.size(), 3u);
  EXPECT_EQ(stored.at("AGENDA_4|14/05/2025|08.00|Dell'Orto \"Anna\""), "lp-4");
  EXPECT_EQ(ReadFile(file), stored.dump(1, ' ', true));

  next_run.Remove({"AGENDA_1|13/05/2025|09.00|B1", "AGENDA_2|13/05/2025|10.30|B7",
                   "AGENDA_4|14/05/2025|08.00|Dell'Orto \"Anna\""});
  EXPECT_EQ(ReadFile(file), "{}");
}

TEST(PendingPaymentsTest, AKeyThatIsNoTextCostsOnlyItsOwnEntry) {
  TempDir home;
  const auto file = home / kPendingPaymentsFile;
  PendingPayments pending(file);
  pending.Add("AGENDA_1|13/05/2025|09.00|B1", "lp-1");
  EXPECT_THROW(pending.Add("AGENDA_1|13/05/2025|09.30|\xC3", "lp-bad"), nlohmann::json::type_error);
  EXPECT_EQ(pending.Find("AGENDA_1|13/05/2025|09.30|\xC3"), std::nullopt);

  // The entries after it are still written.
  pending.Add("AGENDA_1|13/05/2025|10.00|B3", "lp-3");
  pending.Flush();
  PendingPayments next_run(file);
  EXPECT_EQ(next_run.Find("AGENDA_1|13/05/2025|09.00|B1"), "lp-1");
  EXPECT_EQ(next_run.Find("AGENDA_1|13/05/2025|10.00|B3"), "lp-3");
}

TEST(PendingPaymentsTest, AFileThatDoesNotReadIsAnEmptyListAndIsReplacedWhole) {
  TempDir home;
  const auto file = home / kPendingPaymentsFile;
  WriteFile(file, "{\"AGENDA_1|13/05/2025|09.00|B1\": \"lp-1\",");  // cut short
  PendingPayments pending(file);
  EXPECT_EQ(pending.Find("AGENDA_1|13/05/2025|09.00|B1"), std::nullopt);
  pending.Add("AGENDA_2|13/05/2025|10.30|B7", "lp-2");
  pending.Flush();
  EXPECT_EQ(nlohmann::json::parse(ReadFile(file)),
            nlohmann::json({{"AGENDA_2|13/05/2025|10.30|B7", "lp-2"}}));
}

TEST(PendingPaymentsTest, AFolderThatCannotBeWrittenIsAConfigurationError) {
  TempDir home;
  PendingPayments pending(home / "missing" / kPendingPaymentsFile);
  pending.Add("AGENDA_1|13/05/2025|09.00|B1", "lp-1");
  try {
    pending.Flush();
    FAIL() << "no error";
  } catch (const platform::Error& e) {
    EXPECT_EQ(e.category(), platform::ErrorCategory::kConfiguration);
    EXPECT_NE(std::string(e.what()).find("Impossibile scrivere il file"), std::string::npos);
  }
  // What could not be written is written once the folder is there.
  std::filesystem::create_directory(home / "missing");
  pending.Flush();
  EXPECT_EQ(PendingPayments(home / "missing" / kPendingPaymentsFile).Find("AGENDA_1|13/05/2025|09.00|B1"),
            "lp-1");
}

}  // namespace
}  // namespace oxsms::payments
