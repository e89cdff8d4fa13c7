#include "platform/error.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "platform/date_time.h"

namespace oxsms::platform {
namespace {

TEST(ErrorTest, ContextFollowsTheMessageInnermostFirstAndLeavesWhatAlone) {
  Error error(ErrorCategory::kDatabase, "Tabella non trovata");
  error.AddContext("archivio agenda.fdb");
  error.AddContext("");  // nothing to add
  error.AddContext("host db.studio.local");

  EXPECT_EQ(error.category(), ErrorCategory::kDatabase);
  EXPECT_STREQ(error.what(), "Tabella non trovata");
  EXPECT_EQ(error.context(),
            (std::vector<std::string>{"archivio agenda.fdb", "host db.studio.local"}));
  EXPECT_EQ(Describe(error), "Tabella non trovata [archivio agenda.fdb; host db.studio.local]");
}

TEST(ErrorTest, DescribeWithoutContextOrOfAForeignErrorIsTheBareMessage) {
  EXPECT_EQ(Describe(Error(ErrorCategory::kData, "Data non valida")), "Data non valida");
  EXPECT_EQ(Describe(std::out_of_range("fuori")), "fuori");
}

TEST(ErrorTest, ContextAddedWhileTheErrorTravelsUpIsKept) {
  try {
    try {
      EncodeDate(2025, 2, 29);
    } catch (Error& e) {
      e.AddContext("archivio pazienti");
      throw;
    }
  } catch (const DataError& e) {
    EXPECT_EQ(e.category(), ErrorCategory::kData);
    EXPECT_EQ(Describe(e), "Data non valida [archivio pazienti]");
    return;
  }
  ADD_FAILURE() << "no DataError";
}

}  // namespace
}  // namespace oxsms::platform
