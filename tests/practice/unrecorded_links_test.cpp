// The payment links kept for agenda rows that could not be written: kept
// across processes, read as the row's link, written later and dropped when
// too old.
#include "practice/unrecorded_links.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/manual_clock.h"
#include "support/temp_dir.h"

namespace oxsms::practice {
namespace {

std::tm Date(int y, int m, int d) {
  std::tm tm{};
  tm.tm_year = y - 1900;
  tm.tm_mon = m - 1;
  tm.tm_mday = d;
  return tm;
}

std::tm Time(int h, int m) {
  std::tm tm{};
  tm.tm_hour = h;
  tm.tm_min = m;
  return tm;
}

class UnrecordedLinksTest : public ::testing::Test {
 protected:
  std::filesystem::path File() const { return dir.path() / UnrecordedLinks::kFileName; }
  std::string LogText() const { return oxsms::testing::ReadFile(dir.path() / "sms.log"); }
  UnrecordedLink Link(const std::string& id, int hour, platform::TDateTime since) {
    return {"AGENDA_1", Date(2026, 12, 8), Time(hour, 45), id, since};
  }

  oxsms::testing::TempDir dir;
  const platform::TDateTime today = platform::EncodeDate(2026, 12, 7) + platform::EncodeTime(11, 0, 0);
  oxsms::testing::ManualClock wall{today};
  platform::ActivityLog log{dir.path() / "sms.log", wall};
};

TEST_F(UnrecordedLinksTest, AKeptLinkIsTheRowsLinkForTheNextProcessOncePerRow) {
  {
    UnrecordedLinks links(File(), log);
    links.Add(Link("Xy12", 9, today));
    links.Add(Link("Other", 9, today));  // the same row: the first link stays
    links.Add(Link("Zz34", 10, today));
  }
  UnrecordedLinks again(File(), log);
  EXPECT_EQ(again.LinkOf("AGENDA_1", Date(2026, 12, 8), Time(9, 45)), "Xy12");
  EXPECT_EQ(again.LinkOf("AGENDA_1", Date(2026, 12, 8), Time(10, 45)), "Zz34");
  EXPECT_FALSE(again.LinkOf("AGENDA_2", Date(2026, 12, 8), Time(9, 45)));
  EXPECT_FALSE(again.LinkOf("AGENDA_1", Date(2026, 12, 9), Time(9, 45)));
  EXPECT_NE(LogText().find("Link di pagamento Xy12 da registrare in agenda (tabella AGENDA_1, "
                           "2026-12-08 09:45:00)"),
            std::string::npos)
      << LogText();
}

TEST_F(UnrecordedLinksTest, WrittenLinksGoTooOldOnesAreDroppedWithALogLineTheRestStays) {
  {
    UnrecordedLinks links(File(), log);
    links.Add(Link("Written", 9, today));
    links.Add(Link("StillHeld", 10, today));
    links.Add(Link("TooOld", 11, today - UnrecordedLinks::kDaysKept - 1));
  }
  UnrecordedLinks links(File(), log);
  std::vector<std::string> offered;
  links.WriteKept(today, [&](const UnrecordedLink& link) {
    offered.push_back(link.id_linkpag);
    return link.id_linkpag == "Written";
  });
  EXPECT_EQ(offered, (std::vector<std::string>{"Written", "StillHeld", "TooOld"}));
  UnrecordedLinks again(File(), log);
  EXPECT_FALSE(again.LinkOf("AGENDA_1", Date(2026, 12, 8), Time(9, 45)));
  EXPECT_EQ(again.LinkOf("AGENDA_1", Date(2026, 12, 8), Time(10, 45)), "StillHeld");
  EXPECT_FALSE(again.LinkOf("AGENDA_1", Date(2026, 12, 8), Time(11, 45)));
  EXPECT_NE(LogText().find("Link di pagamento TooOld non registrato in agenda"), std::string::npos)
      << LogText();
}

TEST_F(UnrecordedLinksTest, AnUnreadableFileIsSetAsideAndLogged) {
  oxsms::testing::WriteFile(File(), "{\"versione\":1,\"link\":[{\"tabella\":");
  UnrecordedLinks links(File(), log);
  EXPECT_FALSE(links.LinkOf("AGENDA_1", Date(2026, 12, 8), Time(9, 45)));
  EXPECT_TRUE(std::filesystem::exists(File().string() + ".danneggiato"));
  EXPECT_NE(LogText().find("File dei link di pagamento da registrare illeggibile"),
            std::string::npos);
  EXPECT_THROW(UnrecordedLinks::Parse("{\"link\":[{\"tabella\":\"A\",\"data\":\"8/12\"}]}"),
               platform::DataError);
}

}  // namespace
}  // namespace oxsms::practice
