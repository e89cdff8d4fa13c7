// The day's report file: outcomes given to the lines they belong to, runs of
// one day in one file, a run cut short by a stopped process kept with its
// open lines unknown, old days removed, a foreign file set aside.
#include "dispatch/daily_report.h"

#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "support/manual_clock.h"
#include "support/temp_dir.h"

namespace oxsms::dispatch {
namespace {

using channels::LineChannel;
using channels::LineOutcome;
using nlohmann::json;

class DailyReportTest : public ::testing::Test {
 protected:
  platform::TDateTime Monday() const { return platform::EncodeDate(2026, 12, 7); }

  json Day(platform::TDateTime day) const {
    std::ifstream in(dir_.path() / DailyReportFileName(day));
    EXPECT_TRUE(in) << DailyReportFileName(day);
    return json::parse(in);
  }
  std::string LogText() const {
    std::ifstream in(dir_.path() / "sms.log");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  testing::TempDir dir_;
  testing::ManualClock clock_{platform::EncodeDate(2026, 12, 7)};
  platform::ActivityLog log_{dir_.path() / "sms.log", clock_};
};

TEST_F(DailyReportTest, EachLineGetsTheOutcomeOfItsOwnSend) {
  DailyReport report(dir_.path(), 30, log_);
  report.BeginRun(Monday() + 0.5, false);
  report.Credit(100);
  report.BeginKind(SendKind::kReminder);
  report.LeftOut(LineChannel::kNone, "Rossi Mario", "Manca Cellulare");
  const std::size_t first = report.Composed(LineChannel::kSms, "Bianchi Anna (+39333)", "a");
  const std::size_t named = report.Composed(LineChannel::kSms, "Verdi Luca (+39334)", "b");
  report.Ended(named, LineOutcome::kRefused, "KO riga 2");
  report.PendingEnded(LineOutcome::kSent, "");
  report.BeginKind(SendKind::kControl);
  report.Composed(LineChannel::kSms, "(+39025550199)", "c");
  report.PendingEnded(LineOutcome::kError, "Connessione interrotta");
  report.PendingEnded(LineOutcome::kSent, "");  // nothing open: changes nothing
  report.Credit(98);
  report.EndRun(Monday() + 0.51);

  const json day = Day(Monday());
  EXPECT_EQ(day["data"], "2026-12-07");
  ASSERT_EQ(day["esecuzioni"].size(), 1u);
  const json& run = day["esecuzioni"][0];
  EXPECT_EQ(run["inizio"], "2026-12-07 12:00:00");
  EXPECT_EQ(run["credito_prima"], 100);
  EXPECT_EQ(run["credito_dopo"], 98);
  const json& lines = run["righe"];
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0]["esito"], "escluso");
  EXPECT_EQ(lines[0]["risposta"], "Manca Cellulare");
  EXPECT_EQ(lines[1]["esito"], "inviato");
  EXPECT_EQ(lines[2]["esito"], "rifiutato");
  EXPECT_EQ(lines[2]["risposta"], "KO riga 2");
  EXPECT_EQ(lines[3]["tipo"], "controllo");
  EXPECT_EQ(lines[3]["esito"], "errore");
  EXPECT_EQ(lines[3]["risposta"], "Connessione interrotta");
  EXPECT_EQ(first, 1u);
  EXPECT_FALSE(std::filesystem::exists(dir_.path() / DailyReport::kPartFileName));
}

TEST_F(DailyReportTest, AStoppedRunIsKeptWithItsOpenLinesUnknownBesideTheNextRun) {
  {
    DailyReport report(dir_.path(), 30, log_);
    report.BeginRun(Monday() + 0.5, false);
    report.Composed(LineChannel::kSms, "Bianchi Anna (+39333)", "a");
    // The process is killed here: no outcome, no end.
  }
  {
    std::ofstream cut(dir_.path() / DailyReport::kPartFileName, std::ios::app);
    cut << "{\"n\":1,\"tipo\":\"prom";  // a record cut short
  }
  DailyReport report(dir_.path(), 30, log_);
  report.BeginRun(Monday() + 0.6, false);
  report.Composed(LineChannel::kSms, "Bianchi Anna (+39333)", "a");
  report.PendingEnded(LineOutcome::kSent, "");
  report.EndRun(Monday() + 0.61);

  const json runs = Day(Monday())["esecuzioni"];
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_TRUE(runs[0]["fine"].is_null());
  ASSERT_EQ(runs[0]["righe"].size(), 1u);
  EXPECT_EQ(runs[0]["righe"][0]["esito"], "sconosciuto");
  EXPECT_TRUE(runs[0]["credito_prima"].is_null());
  EXPECT_EQ(runs[1]["righe"][0]["esito"], "inviato");
}

TEST_F(DailyReportTest, OldDaysGoAndAForeignFileIsSetAside) {
  const platform::TDateTime old_day = Monday() - 30;
  const platform::TDateTime kept_day = Monday() - 29;
  for (const platform::TDateTime day : {old_day, kept_day}) {
    std::ofstream(dir_.path() / DailyReportFileName(day)) << "{}";
  }
  std::ofstream(dir_.path() / "rapporto_appunti.json") << "mine";
  std::ofstream(dir_.path() / DailyReportFileName(Monday())) << "{\"edited\":true}";

  DailyReport report(dir_.path(), 30, log_);
  report.BeginRun(Monday() + 0.5, true);
  report.Composed(LineChannel::kEmail, "Bianchi Anna (a@b.it)", "Oggetto\nTesto");
  report.PendingEnded(LineOutcome::kToSend, "");
  report.EndRun(Monday() + 0.5);

  EXPECT_FALSE(std::filesystem::exists(dir_.path() / DailyReportFileName(old_day)));
  EXPECT_TRUE(std::filesystem::exists(dir_.path() / DailyReportFileName(kept_day)));
  EXPECT_TRUE(std::filesystem::exists(dir_.path() / "rapporto_appunti.json"));
  const json run = Day(Monday())["esecuzioni"][0];
  EXPECT_EQ(run["prova"], true);
  EXPECT_EQ(run["righe"][0]["testo"], "Oggetto\nTesto");
  EXPECT_TRUE(
      std::filesystem::exists(dir_.path() / (DailyReportFileName(Monday()) + ".danneggiato")));
  EXPECT_NE(LogText().find("messo da parte"), std::string::npos);
}

TEST_F(DailyReportTest, NoDaysKeptWritesNothingAndAFolderThatFailsCostsOnlyTheReport) {
  DailyReport none(dir_.path(), 0, log_);
  none.BeginRun(Monday(), false);
  EXPECT_EQ(none.Composed(LineChannel::kSms, "x", "y"), 0u);
  EXPECT_EQ(none.LineCount(), 1u);  // lines are still numbered
  none.EndRun(Monday());
  EXPECT_FALSE(std::filesystem::exists(dir_.path() / DailyReportFileName(Monday())));

  DailyReport broken(dir_.path() / "missing", 30, log_);
  broken.BeginRun(Monday(), false);
  broken.Composed(LineChannel::kSms, "x", "y");
  broken.EndRun(Monday());
  EXPECT_NE(LogText().find("Rapporto del giorno non scritto"), std::string::npos);
}

}  // namespace
}  // namespace oxsms::dispatch
