// Which lines a channel sends again at a later attempt of the day, and that
// the batch lists the senders read by position stay paired with them.
#include "dispatch/channel_lines.h"

#include <gtest/gtest.h>

#include "dispatch/journal_gate.h"
#include "dispatch/message_text.h"

namespace oxsms::dispatch {
namespace {

TEST(RecipientKeyTest, OneKeyPerRecipientWhateverTheAppointment) {
  const std::string key = RecipientKey("Rossi,Anna,3331234567,08/12/2026,09.45");
  EXPECT_EQ(key, RecipientKey("Rossi,Anna,3331234567,08/12/2026,10.30"));
  EXPECT_EQ(key, RecipientKey("Rossi,Anna,3331234567,09/12/2026,9:05"));
  EXPECT_EQ(key, RecipientKey("Rossi,Anna,3331234567"));
  EXPECT_EQ(key.size(), 16u);
  // Another number, another name or a birthday line of another person.
  EXPECT_NE(key, RecipientKey("Rossi,Anna,3331234568,08/12/2026,09.45"));
  EXPECT_NE(key, RecipientKey("Rossi,Marco,3331234567,08/12/2026,09.45"));
  EXPECT_NE(RecipientKey("Rossi,Anna,a@example.com,01/02/1980"),
            RecipientKey("Rossi,Anna,b@example.com,01/02/1980"));
  // A field that only looks like part of a time stays in the key.
  EXPECT_NE(RecipientKey("Rossi,Anna,12.5"), RecipientKey("Rossi,Anna,12.6"));
  EXPECT_NE(RecipientKey("Rossi,Anna,3331234567"), RecipientKey("Rossi,Anna,3331234567,1/2"));
}

practice::TPazRec Fee(const std::string& badge) {
  practice::TPazRec rec;
  rec.badge = badge;
  rec.incasso = 100;
  return rec;
}

class ChannelLinesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    lines_ = {"Bianchi,Luca,3330000001,08/12/2026,09.00", "Verdi,Sara,3330000002,08/12/2026,09.30",
              "Verdi,Sara,3330000003,08/12/2026,09.30", "Neri,Ugo,3330000004,08/12/2026,10.00"};
    lists_.list_id_agenda = {"A=1", "A=2", kSameAppointment, "A=3"};
    lists_.listCellIncassi = {Fee("1"), Fee("2"), Fee("2"), Fee("3")};
  }

  std::vector<std::string> lines_;
  practice::RecipientLists lists_;
};

TEST_F(ChannelLinesTest, NothingHandedOverSendsTheWholeBatchUntouched) {
  const ChannelLines pending(lists_, lines_, {});
  EXPECT_EQ(pending.Lines(), lines_);
  EXPECT_EQ(pending.LeftOut(), 0u);
  EXPECT_EQ(lists_.list_id_agenda.size(), 4u);
  // A line held back (its payment link not obtained) is not handed over.
  const std::vector<std::string> keys = pending.HandedOver({1});
  ASSERT_EQ(keys.size(), 3u);
  EXPECT_EQ(keys[0], RecipientKey(lines_[0]));
  EXPECT_EQ(keys[1], RecipientKey(lines_[2]));
  EXPECT_EQ(NotHandedOver(lines_, {keys.begin(), keys.end()}), 1u);
  EXPECT_EQ(NotHandedOver({lines_[0], lines_[2], lines_[3]}, {keys.begin(), keys.end()}), 0u);
}

TEST_F(ChannelLinesTest, TheListsFollowTheLinesLeftAndComeBackWithWhatTheSendFilledIn) {
  {
    const ChannelLines pending(lists_, lines_, {RecipientKey(lines_[0])});
    ASSERT_EQ(pending.Lines(), (std::vector<std::string>{lines_[1], lines_[2], lines_[3]}));
    EXPECT_EQ(pending.LeftOut(), 1u);
    EXPECT_EQ(lists_.list_id_agenda, (std::vector<std::string>{"A=2", kSameAppointment, "A=3"}));
    ASSERT_EQ(lists_.listCellIncassi.size(), 3u);
    EXPECT_EQ(lists_.listCellIncassi[2].badge, "3");
    // The sender makes a payment link for the last line.
    lists_.listCellIncassi[2].id_linkpag = "L3";
    EXPECT_EQ(pending.HandedOver({}), (std::vector<std::string>{RecipientKey(lines_[1]),
                                                                 RecipientKey(lines_[2]),
                                                                 RecipientKey(lines_[3])}));
  }
  EXPECT_EQ(lists_.list_id_agenda, (std::vector<std::string>{"A=1", "A=2", kSameAppointment, "A=3"}));
  ASSERT_EQ(lists_.listCellIncassi.size(), 4u);
  EXPECT_EQ(lists_.listCellIncassi[3].id_linkpag, "L3");  // the next channel uses the same link
  EXPECT_TRUE(lists_.listCellIncassi[0].id_linkpag.empty());
}

TEST_F(ChannelLinesTest, AFurtherContactGoesOnlyWithTheLineItFollows) {
  // Its appointment's first contact went: the further contact, whose
  // confirmation link would be taken from the line before it, is left out.
  const ChannelLines after_first(lists_, lines_, {RecipientKey(lines_[1])});
  EXPECT_EQ(after_first.Lines(), (std::vector<std::string>{lines_[0], lines_[3]}));
  EXPECT_EQ(lists_.list_id_agenda, (std::vector<std::string>{"A=1", "A=3"}));
}

}  // namespace
}  // namespace oxsms::dispatch
