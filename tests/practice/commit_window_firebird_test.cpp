// The units of work of the link bookkeeping on a real embedded Firebird file,
// with the elapsed time moved by hand.
#include <gtest/gtest.h>
#include <soci/soci.h>

#include <chrono>

#include "practice/commit_window.h"
#include "practice/connection.h"
#include "support/database_env.h"
#include "support/manual_monotonic_clock.h"

namespace oxsms::practice {
namespace {

using oxsms::testing::FreshFirebirdFile;
using oxsms::testing::ManualMonotonicClock;
using oxsms::testing::TempDir;
using Kind = StatementParameter::Kind;
using std::chrono::milliseconds;

class UnitWindow : public ::testing::Test {
 protected:
  UnitWindow() {
    for (Connection* c : {&writer, &reader}) {
      c->SetDriverName(kDriverFirebird);
      c->SetParam("Database", file.string());
      c->SetParam("User_Name", "SYSDBA");
      c->SetParam("Password", "qentoravi");
    }
    writer.Session() << "create table T (ID integer)";
    writer.Commit();
  }

  // Inserts a row and ends its unit.
  void Unit(int id) {
    PreparedStatement& add = writer.Prepared("insert into T values (:id)", {{"id", Kind::kInteger}}, false);
    add.SetInteger(0, id);
    add.Execute();
    units.EndUnit(writer);
  }

  int Committed() {
    reader.Commit();  // a fresh snapshot
    int count = -1;
    reader.Session() << "select count(*) from T", soci::into(count);
    return count;
  }

  TempDir dir;
  std::filesystem::path file = FreshFirebirdFile(dir, "u.fdb");
  Connection writer, reader;
  ManualMonotonicClock clock;
  CommitWindow units{clock};
};

TEST_F(UnitWindow, UnitsAreCommittedTogetherOnceTheWindowHasPassed) {
  Unit(1);
  clock.Advance(CommitWindow::kUnitWindow - milliseconds(1));
  Unit(2);
  EXPECT_EQ(Committed(), 0) << "within the window nothing is committed";

  clock.Advance(milliseconds(1));
  Unit(3);
  EXPECT_EQ(Committed(), 3);

  Unit(4);
  clock.Advance(CommitWindow::kUnitWindow);
  EXPECT_EQ(Committed(), 3) << "the window starts again with the next unit";
  writer.Close();  // closing commits what is left
  EXPECT_EQ(Committed(), 4);
}

TEST_F(UnitWindow, ACommitElsewhereStartsTheWindowAgain) {
  Unit(1);
  clock.Advance(CommitWindow::kUnitWindow / 2);
  writer.Commit();  // a search's own commit
  Unit(2);
  clock.Advance(CommitWindow::kUnitWindow / 2);
  Unit(3);
  EXPECT_EQ(Committed(), 1) << "the units after the commit have served half a window";
  clock.Advance(CommitWindow::kUnitWindow / 2);
  Unit(4);
  EXPECT_EQ(Committed(), 4);
}

}  // namespace
}  // namespace oxsms::practice
