// Two daily runs of the service on a real practice with SMS, WhatsApp
// templates and confirmation links: every reminder goes once with its own
// link, and the next day's run for the same appointments reuses the links
// stored in the agenda instead of creating new ones.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <map>
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

void RunNow(const TempDir& home, const std::string& now) {
  ChildProcess run(OXSMSD_PATH, {"--home", home.path().string(), "--run-now", "--fake-now", now});
  ASSERT_EQ(run.Wait(120s), 0) << ReadFile(home / "sms.log");
}

std::string CodeOf(const std::string& text) {
  const auto at = text.find("/c/");
  return at == std::string::npos ? std::string() : text.substr(at + 3);
}

TEST(OxsmsdLinksTest, RemindersCarryTheirOwnLinksAndTheNextRunReusesThem) {
  makersim::MakerSimulator sim;
  sim.Start();
  TempDir home;

  fixture::PracticeOptions options;
  options.home = home.path();
  options.patients = 40;
  options.appointments = 12;
  options.days = 1;
  options.first_day = platform::EncodeDate(2026, 12, 9);  // a Wednesday
  options.rest_host = sim.base_url();
  options.maker_url = sim.base_url();
  // Monday looks two days ahead, Tuesday one: both remind Wednesday.
  options.settings_json = R"({"user":"demo","pwd":"demo","testata":"STUDIO","time":"11.00.00",
      "cbsms":true,"cbserviziosms":true,"CBServizioWhatsapp":true,"cbservizioemail":false,
      "cbcompl":false,"cbsmsverifica":false,"cbsmsfiniti":false,"giorniinvio":"1000000",
      "testoinvio":"<Nome>, appuntamento il <Data> alle <Ora>: <link_conferma>",
      "CellWhts":"+39 02 5550100","SiglaGeneraleAppWhts":"PROMEMORIA","linkConfermaAppWhts":"1",
      "variabiliAppWhts":"nome,data,ora,link_breve"})";
  fixture::CreatePractice(options);

  RunNow(home, "2026-12-07 11:00:00");  // Monday
  const json sms = SimGet(sim.base_url(), "/_sim/sms");
  const json whatsapp = SimGet(sim.base_url(), "/_sim/whatsapp");
  ASSERT_GT(sms.size(), 0u) << ReadFile(home / "sms.log");
  ASSERT_EQ(whatsapp.size(), sms.size()) << ReadFile(home / "sms.log");

  std::map<std::string, std::string> code_by_number;
  std::set<std::string> codes;
  for (const json& m : sms) {
    const std::string code = CodeOf(m["text"].get<std::string>());
    ASSERT_FALSE(code.empty()) << m["text"];
    EXPECT_TRUE(code_by_number.emplace(m["recipient"].get<std::string>(), code).second)
        << "reminded twice: " << m["recipient"];
    codes.insert(code);
  }
  EXPECT_EQ(codes.size(), sms.size()) << "each appointment has its own link";
  for (const json& m : whatsapp) {
    const std::string number = m["destinatario"].get<std::string>();
    ASSERT_TRUE(code_by_number.count(number)) << number;
    EXPECT_EQ(m["variabili"]["link_breve"], code_by_number[number]) << "same link on both channels";
  }
  const size_t created = SimGet(sim.base_url(), "/_sim/links").size();

  RunNow(home, "2026-12-08 11:00:00");  // Tuesday: the same appointments
  const json sms2 = SimGet(sim.base_url(), "/_sim/sms");
  ASSERT_EQ(sms2.size(), 2 * sms.size());
  EXPECT_EQ(SimGet(sim.base_url(), "/_sim/links").size(), created) << "no link created again";
  for (size_t i = sms.size(); i < sms2.size(); ++i) {
    const std::string number = sms2[i]["recipient"].get<std::string>();
    EXPECT_EQ(CodeOf(sms2[i]["text"].get<std::string>()), code_by_number[number]);
  }
}

}  // namespace
}  // namespace oxsms::testing
