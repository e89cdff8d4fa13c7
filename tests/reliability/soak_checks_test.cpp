// The soak's verdicts: a check that cannot fail would let a year of faults
// pass unseen, so each is shown to fail where it must.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "reliability/soak_agenda.h"
#include "reliability/soak_checks.h"

namespace oxsms::soak {
namespace {

const platform::TDateTime kFirstDay = platform::EncodeDate(2027, 1, 4);

TEST(SoakAgendaTest, ChangesKeepOffFrozenDaysAndGivePatientsOneAppointmentADay) {
  AgendaModel model({{101, 102, 103, 104, 105}, 2}, 7);
  model.Churn({1, 6, {}, 60, 0, 0});
  const auto before_frozen = model.OnDay(3);
  for (int round = 0; round < 20; ++round) {
    for (const Change& c : model.Churn({2, 6, {3}, 5, 3, 2})) {
      if (c.op != Change::Op::kAdd) {
        EXPECT_NE(c.before.day, 3);
        EXPECT_GE(c.before.day, 2);
      }
      if (c.op != Change::Op::kCancel) {
        EXPECT_NE(c.after.day, 3);
      }
    }
  }
  EXPECT_EQ(model.OnDay(3).size(), before_frozen.size());
  for (int day = 1; day <= 6; ++day) {
    std::set<int> badges;
    std::set<std::pair<int, int>> slots;
    for (const Appointment& a : model.OnDay(day)) {
      EXPECT_TRUE(badges.insert(a.badge).second) << "patient twice on day " << day;
      EXPECT_TRUE(slots.insert({a.table, a.minute}).second) << "slot twice on day " << day;
    }
  }
}

TEST(SoakChecksTest, GatewayRecordsAreReadBackToTheirKindDayAndPatient) {
  const auto sent = ReadSent("+39" + NumberOfBadge(42), "PREAVVISO 08/01/2027 09.15", kFirstDay);
  ASSERT_TRUE(sent.has_value());
  EXPECT_EQ(sent->key.kind, Kind::kNotice);
  EXPECT_EQ(sent->key.day, 4);
  EXPECT_EQ(sent->key.badge, 42);
  EXPECT_EQ(sent->minute, 9 * 60 + 15);
  EXPECT_FALSE(ReadSent("+393330000042", "Invio Msg Appuntamenti 3 Msg.", kFirstDay));
  EXPECT_FALSE(ReadSent("+39333000abc", "PROMEMORIA 08/01/2027 09.15", kFirstDay));
}

TEST(SoakChecksTest, DuplicatesLossesStrayAndMistimedMessagesAreEachCounted) {
  Expectations e;
  e.Expect(Kind::kReminder, 2, {{1, 10, 2, 600, 0}, {2, 11, 2, 630, 1}, {3, 12, 2, 660, 0}});
  e.Removed({4, 13, 2, 700, 0});
  const std::vector<SentMessage> sent = {
      {{Kind::kReminder, 2, 10}, 600}, {{Kind::kReminder, 2, 10}, 600},  // twice
      {{Kind::kReminder, 2, 11}, 645},                                  // wrong time
      {{Kind::kReminder, 2, 13}, 700},                                  // cancelled
      {{Kind::kNotice, 2, 12}, 660}};                                   // wrong kind
  const SendTally t = CompareSends(e, sent, 0);
  EXPECT_EQ(t.expected, 3);
  EXPECT_EQ(t.sent, 5);
  EXPECT_EQ(t.duplicates, 1);
  EXPECT_EQ(t.wrong_time, 1);
  EXPECT_EQ(t.lost, 1);  // patient 12's reminder
  EXPECT_EQ(t.unexpected, 2);
  EXPECT_EQ(t.for_removed, 1);
  EXPECT_FALSE(t.ok());

  const SendTally exact = CompareSends(e, {{{Kind::kReminder, 2, 10}, 600},
                                           {{Kind::kReminder, 2, 11}, 630},
                                           {{Kind::kReminder, 2, 12}, 660}}, 0);
  EXPECT_TRUE(exact.ok());
  EXPECT_FALSE(CompareSends(e, {}, 1).ok()) << "unreadable records fail the soak";
}

TEST(SoakChecksTest, FailureLinesPassOnlyOnDaysWhoseFaultOrKillExplainsThem) {
  const std::string log =
      "05/01/2027 11.00.01 Avvio ricerca messaggi\r\n"
      "05/01/2027 11.00.02 Errore trasmissione: HTTP 500\r\n"
      "06/01/2027 11.05.00 Nuovo tentativo di invio (tentativo 2): promemoria interrotto\r\n"
      "07/01/2027 11.05.00 Invio promemoria sms interrotto durante la consegna: esito incerto\r\n"
      "seconda riga dell'errore\r\n";
  std::map<int, DayEvents> events;
  events[1].faults = {"http500"};
  events[2].killed = true;
  events[3].killed = true;
  events[3].faults = {"trickle"};
  EXPECT_TRUE(UnexplainedErrorLines(log, kFirstDay, events).empty());

  events[3].faults.clear();  // killed, but not inside the send
  const auto lines = UnexplainedErrorLines(log, kFirstDay, events);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NE(lines[0].find("esito incerto"), std::string::npos);
  EXPECT_EQ(UnexplainedErrorLines(log, kFirstDay, {}).size(), 4u);
}

TEST(SoakChecksTest, MemoryIsJudgedOnTheSecondAndLastPeriods) {
  std::map<int, long> flat, growing;
  for (int day = 0; day < 365; ++day) {
    flat[day] = day < 30 ? 20000 + day * 100 : 30000 + (day % 3) * 100;
    growing[day] = 30000 + day * 20;
  }
  const MemoryVerdict ok = CompareMemory(flat, 365);
  EXPECT_EQ(ok.period_days, 30);
  EXPECT_TRUE(ok.ok) << ok.second << " " << ok.last;
  EXPECT_FALSE(CompareMemory(growing, 365).ok);
  EXPECT_EQ(CompareMemory(flat, 30).period_days, 5);
  EXPECT_FALSE(CompareMemory({{0, 1}, {1, 1}}, 30).ok) << "too few samples";
}

}  // namespace
}  // namespace oxsms::soak
