// The confirmation short-link code kept in the agenda rows (column ID_WEB),
// on agenda databases of either server.
#include <gtest/gtest.h>

#include "links_world.h"
#include "practice/agimp.h"

namespace oxsms::testing::links {
namespace {

constexpr const char* kHost = "link.example.it";

class ShortLinks : public ::testing::TestWithParam<Backend> {
 protected:
  void SetUp() override {
    OXSMS_REQUIRE_BACKEND(GetParam());
    w = std::make_unique<LinksWorld>(GetParam());
  }

  std::unique_ptr<LinksWorld> w;
};

TEST_P(ShortLinks, StoredCodeIsFoundInTheSecondAgendaDatabase) {
  w->Fee("agenda1.fdb", "AG1", "1", At(9, 0), std::nullopt);
  w->Fee("agenda2.fdb", "AG1", "2", At(9, 30), std::nullopt);
  w->SetIdWeb("agenda1.fdb", "AG1", "1", "FIRST");
  w->SetIdWeb("agenda2.fdb", "AG1", "2", "Xy7Q");
  auto agimp = w->world.NewAgImp();

  practice::TLineRec rec = RecAt("Agenda1=AG1", "09:30");
  agimp->getLinkBreve(rec, kHost);

  EXPECT_TRUE(rec.link_exist);
  EXPECT_EQ(rec.id_web, "Xy7Q");
  EXPECT_EQ(rec.link_conferma, "https://link.example.it/c/Xy7Q");
  EXPECT_EQ(rec.Ora, "09.30");
}

TEST_P(ShortLinks, NoCodeLeavesTheRecordWithoutLink) {
  w->Fee("agenda1.fdb", "AG1", "1", At(9, 0), std::nullopt);
  w->Fee("agenda2.fdb", "AG3", "3", At(9, 0), std::nullopt);
  w->SetIdWeb("agenda2.fdb", "AG3", "3", "OTHER");
  auto agimp = w->world.NewAgImp();

  for (const char* id_agenda : {"Agenda1=AG1", "same", "", "Agenda1=AG1;drop"}) {
    practice::TLineRec rec = RecAt(id_agenda, "09.00");
    rec.id_web = "STALE";  // left from another line
    rec.link_exist = true;
    agimp->getLinkBreve(rec, kHost);
    EXPECT_FALSE(rec.link_exist) << id_agenda;
    EXPECT_EQ(rec.id_web, "") << id_agenda;
  }
}

TEST_P(ShortLinks, SalvaLinkBreveFillsOnlyRowsWithoutCode) {
  // The same appointment slot in both databases: each gets the code; a row
  // that has one keeps it.
  w->Fee("agenda1.fdb", "AG1", "1", At(9, 30), std::nullopt);
  w->Fee("agenda2.fdb", "AG1", "2", At(9, 30), std::nullopt);
  w->Fee("agenda2.fdb", "AG3", "3", At(9, 30), std::nullopt);
  w->SetIdWeb("agenda2.fdb", "AG3", "3", "KEEP");
  w->Fee("agenda1.fdb", "AG1", "4", At(10, 0), std::nullopt);
  auto agimp = w->world.NewAgImp();

  practice::TLineRec rec = RecAt("Agenda1=AG1", "09:30");
  rec.id_web = "NEW1";
  agimp->SalvaLinkBreve(rec);
  rec.id_agenda = "Agenda3=AG3";
  agimp->SalvaLinkBreve(rec);
  agimp.reset();  // what is left uncommitted is committed at the end

  EXPECT_EQ(w->AgendaColumn("agenda1.fdb", "AG1", "1", "ID_WEB"), "NEW1");
  EXPECT_EQ(w->AgendaColumn("agenda2.fdb", "AG1", "2", "ID_WEB"), "NEW1");
  EXPECT_EQ(w->AgendaColumn("agenda2.fdb", "AG3", "3", "ID_WEB"), "KEEP");
  EXPECT_EQ(w->AgendaColumn("agenda1.fdb", "AG1", "4", "ID_WEB"), std::nullopt);
}

TEST_P(ShortLinks, SalvaLinkBreveAfterAFoundLinkOrWithoutCodeWritesNothing) {
  w->Fee("agenda1.fdb", "AG1", "1", At(9, 30), std::nullopt);
  auto agimp = w->world.NewAgImp();

  practice::TLineRec found = RecAt("Agenda1=AG1", "09.30");
  found.id_web = "OLD";
  found.link_exist = true;
  agimp->SalvaLinkBreve(found);
  practice::TLineRec empty = RecAt("Agenda1=AG1", "09.30");
  agimp->SalvaLinkBreve(empty);
  EXPECT_EQ(w->AgendaColumn("agenda1.fdb", "AG1", "1", "ID_WEB"), std::nullopt);

  // The round trip: a code stored now is found by the next send.
  practice::TLineRec created = RecAt("Agenda1=AG1", "09.30");
  created.id_web = "C0DE";
  agimp->SalvaLinkBreve(created);
  practice::TLineRec next = RecAt("Agenda1=AG1", "09.30");
  agimp->getLinkBreve(next, kHost);
  EXPECT_TRUE(next.link_exist);
  EXPECT_EQ(next.link_conferma, "https://link.example.it/c/C0DE");
}

TEST_P(ShortLinks, LookupsAnswerAsTheDatabaseDoesBeforeAndAfterStores) {
  w->Fee("agenda1.fdb", "AG1", "1", At(9, 30), std::nullopt);
  w->Fee("agenda1.fdb", "AG1", "2", At(9, 30), std::nullopt);  // two rows at one time
  w->SetIdWeb("agenda1.fdb", "AG1", "2", "SECOND");
  w->Fee("agenda1.fdb", "AG1", "3", At(10, 0), std::nullopt);
  w->SetIdWeb("agenda1.fdb", "AG1", "3", "OLD");
  w->Fee("agenda1.fdb", "AG1", "4", At(10, 30), std::nullopt);
  const std::vector<std::pair<std::string, platform::TDateTime>> times = {
      {"09.30", At(9, 30)}, {"10:00", At(10, 0)}, {"10.30", At(10, 30)}, {"11.00", At(11, 0)}};
  auto agimp = w->world.NewAgImp();
  const auto lookup = [&](practice::TAgImp& a, const std::string& ora) {
    practice::TLineRec rec = RecAt("Agenda1=AG1", ora);
    a.getLinkBreve(rec, kHost);
    return rec.id_web;
  };
  const auto agree = [&](practice::TAgImp& a, const char* when) {
    for (const auto& [ora, time] : times) {
      EXPECT_EQ(lookup(a, ora), w->CodeByTime("agenda1.fdb", "AG1", time)) << when << " " << ora;
    }
  };
  agree(*agimp, "before");

  for (const auto& [ora, time] : times) {
    if (ora == "10.30") continue;  // stays without code
    practice::TLineRec rec = RecAt("Agenda1=AG1", ora);
    rec.id_web = "NEW";
    agimp->SalvaLinkBreve(rec);
  }
  EXPECT_EQ(lookup(*agimp, "09.30"), "NEW");
  EXPECT_EQ(lookup(*agimp, "10.00"), "OLD") << "a row with a code keeps it";
  agimp->CommitBookkeeping();
  agree(*agimp, "after");
  auto fresh = w->world.NewAgImp();
  agree(*fresh, "anew");
}

TEST_P(ShortLinks, AStoreThatReachesNoAgendaRowIsLogged) {
  w->Fee("agenda1.fdb", "AG1", "1", At(9, 30), std::nullopt);
  auto agimp = w->world.NewAgImp();

  practice::TLineRec rec = RecAt("Agenda7=AG7", "09.30");
  rec.id_web = "NEW1";
  EXPECT_NO_THROW(agimp->SalvaLinkBreve(rec));
  agimp->CommitBookkeeping();  // the queued writes run here
  EXPECT_NE(w->world.LogText().find("SalvaLinkBreve: agenda non aggiornata (tabella AG7)"),
            std::string::npos)
      << w->world.LogText();
}

std::size_t Count(const std::string& text, const std::string& part) {
  std::size_t n = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

TEST_P(ShortLinks, StoresAreWrittenWhenTheQueueIsFullOrOld) {
  // A store into a table no database has is logged when it is written,
  // which shows when the queue runs.
  w->Fee("agenda1.fdb", "AG1", "1", At(9, 30), std::nullopt);
  auto agimp = w->world.NewAgImp();
  const std::string failed = "SalvaLinkBreve: agenda non aggiornata (tabella AG7)";
  practice::TLineRec missing = RecAt("Agenda7=AG7", "09.30");
  missing.id_web = "LOST";

  for (std::size_t i = 1; i < practice::TAgImp::kPendingLimit; ++i) agimp->SalvaLinkBreve(missing);
  EXPECT_EQ(Count(w->world.LogText(), failed), 0u);
  agimp->SalvaLinkBreve(missing);
  EXPECT_EQ(Count(w->world.LogText(), failed), practice::TAgImp::kPendingLimit);

  agimp->SalvaLinkBreve(missing);
  w->world.elapsed.Advance(practice::TAgImp::kPendingWindow - std::chrono::milliseconds(1));
  practice::TLineRec rec = RecAt("Agenda1=AG1", "09.30");
  rec.id_web = "NEW1";
  agimp->SalvaLinkBreve(rec);
  EXPECT_EQ(Count(w->world.LogText(), failed), practice::TAgImp::kPendingLimit)
      << "the first queued write is not old enough yet";
  w->world.elapsed.Advance(std::chrono::milliseconds(1));
  agimp->SalvaLinkBreve(rec);  // finds the queue old: all are written
  EXPECT_EQ(Count(w->world.LogText(), failed), practice::TAgImp::kPendingLimit + 1);
  // Written: uncommitted on Firebird, visible at once on MySQL, where each
  // statement commits by itself.
  const std::optional<std::string> seen =
      w->world.OnFirebird() ? std::nullopt : std::optional<std::string>("NEW1");
  EXPECT_EQ(w->AgendaColumn("agenda1.fdb", "AG1", "1", "ID_WEB"), seen);
  agimp.reset();
  EXPECT_EQ(w->AgendaColumn("agenda1.fdb", "AG1", "1", "ID_WEB"), "NEW1");
}

TEST_P(ShortLinks, WritesWaitingForTheLinkServicesGoOneAtATimeOldestFirst) {
  w->Fee("agenda1.fdb", "AG1", "1", At(9, 30), std::nullopt);
  auto agimp = w->world.NewAgImp();
  for (const char* table : {"Agenda7=AG7", "Agenda8=AG8"}) {
    practice::TLineRec rec = RecAt(table, "09.30");
    rec.id_web = "LOST";
    agimp->SalvaLinkBreve(rec);
  }
  const std::string seventh = "agenda non aggiornata (tabella AG7)";
  const std::string eighth = "agenda non aggiornata (tabella AG8)";

  EXPECT_TRUE(agimp->WriteOnePending());
  EXPECT_NE(w->world.LogText().find(seventh), std::string::npos);
  EXPECT_EQ(w->world.LogText().find(eighth), std::string::npos);
  EXPECT_TRUE(agimp->WriteOnePending());
  EXPECT_NE(w->world.LogText().find(eighth), std::string::npos);
  EXPECT_FALSE(agimp->WriteOnePending());
  agimp->CommitBookkeeping();
  EXPECT_EQ(Count(w->world.LogText(), seventh), 1u) << "each write runs once";
}

OXSMS_INSTANTIATE_ON_BOTH_BACKENDS(ShortLinks);

}  // namespace
}  // namespace oxsms::testing::links
