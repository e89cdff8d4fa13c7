// A simulated morning of the service process on a real practice: the daily
// send runs once, inside its window, and reaches the simulated gateway.
#include <signal.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <regex>
#include <set>

#include "app/process_runner.h"
#include "fixture/practice_fixture.h"
#include "maker-sim/maker_simulator.h"
#include "app/sim_query.h"
#include "support/temp_dir.h"

namespace oxsms::testing {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;

TEST(OxsmsdDayTest, SimulatedMorningSendsTheRemindersOnceInsideTheWindow) {
  makersim::MakerSimulator sim;
  sim.Start();
  TempDir home;

  fixture::PracticeOptions options;
  options.home = home.path();
  options.patients = 30;
  options.appointments = 12;
  options.days = 1;
  options.first_day = platform::EncodeDate(2026, 12, 8);
  options.rest_host = sim.base_url();
  // Reminders by SMS only, signed with an alias the gateway knows.
  options.settings_json = R"({"user":"demo","pwd":"demo","testata":"STUDIO","time":"11.00.00",
      "cbsms":true,"cbserviziosms":true,"cbservizioemail":false,"cbcompl":false,
      "cbsmsverifica":false,"cbsmsfiniti":false,"giorniinvio":"0000000"})";
  fixture::CreatePractice(options);

  const std::string log = (home / "sms.log").string();
  // Five-minute ticks from 10.48 to 12.40: the window at 11.00 and about
  // twenty ticks past it, after which the service stops by itself.
  ChildProcess service(OXSMSD_PATH, {"--home", home.path().string(), "--fake-now",
                                     "2026-12-07 10:48:00", "--interval-ms", "20", "--stop-at",
                                     "2026-12-07 12:40:00"});
  ASSERT_EQ(service.Wait(120s), 0) << ReadFile(log);

  const std::string content = ReadFile(log);
  EXPECT_EQ(CountOf(content, "Avvio ricerca messaggi"), 1) << content;
  std::smatch when;
  ASSERT_TRUE(std::regex_search(content, when,
                                std::regex(R"((\d\d)\.(\d\d)\.\d\d Avvio ricerca messaggi)")));
  EXPECT_EQ(when[1].str(), "11");
  EXPECT_LE(std::stoi(when[2].str()), 5);

  const json sms = SimGet(sim.base_url(), "/_sim/sms");
  ASSERT_GT(sms.size(), 0u) << content;
  std::set<std::string> recipients;
  for (const json& m : sms) {
    EXPECT_TRUE(recipients.insert(m["recipient"].get<std::string>()).second)
        << "reminded twice: " << m["recipient"];
    EXPECT_NE(m["text"].get<std::string>().find("08/12/2026"), std::string::npos) << m["text"];
  }
  EXPECT_EQ(SimGet(sim.base_url(), "/_sim/requests?path=/smsox/filesmstoserver.json").size(), 1u);
}

}  // namespace
}  // namespace oxsms::testing
