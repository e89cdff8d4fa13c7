// The run journal through the service process on a real practice: a day's
// messages go once, whatever runs, restarts and failures the day brings, and
// what failed is tried again until it goes.
#include <signal.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <set>
#include <thread>

#include "app/process_runner.h"
#include "app/sim_query.h"
#include "fixture/practice_fixture.h"
#include "maker-sim/maker_simulator.h"
#include "platform/ini_file.h"
#include "support/temp_dir.h"

namespace oxsms::testing {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;

constexpr const char* kUpload = "/smsox/filesmstoserver.json";
constexpr const char* kTemplates = "/whatsapp/invia_template.json";

size_t Requests(const makersim::MakerSimulator& sim, const std::string& path) {
  return SimGet(sim.base_url(), "/_sim/requests?path=" + path).size();
}

// Twelve reminders for Tuesday 8 December, sent on Monday at 11.00, by SMS
// and, with `whatsapp`, by WhatsApp template as well.
class OxsmsdJournalTest : public ::testing::Test {
 protected:
  void SetUp() override { sim_.Start(); }

  void CreatePractice(bool whatsapp, const std::string& extra_settings = "") {
    fixture::PracticeOptions options;
    options.home = home_.path();
    options.patients = 30;
    options.appointments = 12;
    options.days = 1;
    options.first_day = platform::EncodeDate(2026, 12, 8);
    options.rest_host = sim_.base_url();
    options.maker_url = sim_.base_url();
    std::string settings = R"({"user":"demo","pwd":"demo","testata":"STUDIO","time":"11.00.00",
        "cbsms":true,"cbserviziosms":true,"cbservizioemail":false,"cbcompl":false,
        "cbsmsfiniti":false,"giorniinvio":"0000000",
        "testoinvio":"<Nome>, appuntamento il <Data> alle <Ora>")";
    if (whatsapp) {
      settings += R"(,"CBServizioWhatsapp":true,"CellWhts":"+39 02 5550100",
          "SiglaGeneraleAppWhts":"PROMEMORIA","variabiliAppWhts":"nome,data,ora")";
    }
    settings += extra_settings.empty() ? R"(,"cbsmsverifica":false)" : extra_settings;
    options.settings_json = settings + "}";
    fixture::CreatePractice(options);
  }

  int RunNow(const std::vector<std::string>& extra = {}) {
    return RunOxsmsdOnce(OXSMSD_PATH, home_.path(), extra);
  }

  std::string Log() const { return ActivityLogOf(home_.path()); }
  json Sms() const { return SimGet(sim_.base_url(), "/_sim/sms"); }
  json WhatsApp() const { return SimGet(sim_.base_url(), "/_sim/whatsapp"); }
  void Fault(const json& fault) { SimPost(sim_.base_url(), "/_sim/faults", fault); }

  // The service from `now`, five simulated minutes per 150 ms tick, until
  // `runs` daily runs have ended and some twenty ticks more.
  void RunService(const std::string& now, int runs) {
    ChildProcess service(OXSMSD_PATH, {"--home", home_.path().string(), "--fake-now", now,
                                       "--interval-ms", "150"});
    ASSERT_TRUE(WaitForText((home_ / "sms.log").string(), "Fine ricerca messaggi", 90s, runs))
        << Log();
    std::this_thread::sleep_for(3s);
    service.Signal(SIGTERM);
    ASSERT_EQ(service.Wait(30s), 0);
  }

  static void ExpectEachOnce(const json& messages, const char* member) {
    std::set<std::string> seen;
    for (const json& m : messages) {
      EXPECT_TRUE(seen.insert(m[member].get<std::string>()).second) << "twice: " << m[member];
    }
  }

  makersim::MakerSimulator sim_;
  TempDir home_;
};

TEST_F(OxsmsdJournalTest, RunsByHandSendEachChannelOnceAndForceSendsAgain) {
  CreatePractice(/*whatsapp=*/true);
  // Test mode sends nothing and leaves the journal alone.
  EXPECT_EQ(RunNow({"--test"}), 0) << Log();
  EXPECT_FALSE(std::filesystem::exists(home_ / "diario_invii.json"));
  Fault({{"path", kTemplates}, {"kind", "http500"}, {"times", 1}});

  EXPECT_EQ(RunNow(), 1) << "the WhatsApp messages did not go";
  const size_t sms = Sms().size();
  ASSERT_GT(sms, 0u) << Log();
  EXPECT_EQ(WhatsApp().size(), 0u);

  // The second run sends only what did not go: the WhatsApp messages.
  EXPECT_EQ(RunNow(), 0) << Log();
  EXPECT_EQ(Sms().size(), sms);
  EXPECT_EQ(WhatsApp().size(), sms);
  EXPECT_EQ(Requests(sim_, kUpload), 1u);

  // Nothing is left: a third run sends nothing and says so.
  EXPECT_EQ(RunNow(), 0) << Log();
  EXPECT_EQ(Sms().size(), sms);
  EXPECT_EQ(WhatsApp().size(), sms);
  EXPECT_NE(Log().find("Invio promemoria già eseguito oggi: non ripetuto"), std::string::npos);
  ExpectEachOnce(Sms(), "recipient");
  ExpectEachOnce(WhatsApp(), "destinatario");

  EXPECT_EQ(RunNow({"--force"}), 0) << Log();
  EXPECT_EQ(Sms().size(), 2 * sms);
  EXPECT_EQ(WhatsApp().size(), 2 * sms);
  EXPECT_EQ(CountOf(Log(), "Invio forzato (--force)"), 1);
}

TEST_F(OxsmsdJournalTest, AProcessKilledDuringTheUploadDoesNotUploadAgainAfterARestart) {
  CreatePractice(/*whatsapp=*/false);
  Fault({{"path", kUpload}, {"kind", "delay"}, {"ms", 3000}, {"times", 1}});
  {
    ChildProcess run(OXSMSD_PATH, {"--home", home_.path().string(), "--run-now", "--fake-now",
                                   "2026-12-07 11:00:00"});
    ASSERT_TRUE(WaitForText((home_ / "diario_invii.json").string(), "in_corso", 60s)) << Log();
    run.Signal(SIGKILL);
    EXPECT_NE(run.Wait(10s), -1);
  }
  // The delayed upload ends on the simulator's side (recorded or not, as
  // the broken connection lets it).
  std::this_thread::sleep_for(3500ms);
  const size_t uploads = Requests(sim_, kUpload);

  // Restarted: the upload may have gone, so it is not repeated, and the run
  // does not report success.
  EXPECT_EQ(RunNow(), 1) << Log();
  EXPECT_EQ(Requests(sim_, kUpload), uploads) << Log();
  EXPECT_NE(Log().find("Invio promemoria sms interrotto durante la consegna: esito incerto"),
            std::string::npos) << Log();
  // Later runs leave it so, without counting it again.
  EXPECT_EQ(RunNow(), 0) << Log();
  EXPECT_EQ(Requests(sim_, kUpload), uploads);
  // By hand it goes again.
  EXPECT_EQ(RunNow({"--force"}), 0) << Log();
  EXPECT_EQ(Requests(sim_, kUpload), uploads + 1);
  EXPECT_GT(Sms().size(), 0u);
}

TEST_F(OxsmsdJournalTest, AnHttp500IsRetriedAtALaterTickAndTheRemindersGoOnce) {
  CreatePractice(/*whatsapp=*/false);
  Fault({{"path", kUpload}, {"kind", "http500"}, {"times", 1}});
  RunService("2026-12-07 10:58:00", 2);

  const std::string log = Log();
  EXPECT_EQ(CountOf(log, "Avvio ricerca messaggi"), 2) << log;
  EXPECT_NE(log.find("Nuovo tentativo di invio (tentativo 2): promemoria non riuscito"),
            std::string::npos) << log;
  EXPECT_EQ(Requests(sim_, kUpload), 2u);
  const json sms = Sms();
  EXPECT_GT(sms.size(), 0u);
  ExpectEachOnce(sms, "recipient");
}

TEST_F(OxsmsdJournalTest, AConfigurationDatabaseMissingAtTheSendTimeIsCaughtUpOnceItIsBack) {
  CreatePractice(/*whatsapp=*/false);
  const std::filesystem::path config = home_ / "database" / "CONFIG.GDB";
  const std::filesystem::path aside = home_ / "CONFIG.GDB.via";
  ASSERT_TRUE(std::filesystem::exists(config));
  std::filesystem::rename(config, aside);

  ChildProcess service(OXSMSD_PATH, {"--home", home_.path().string(), "--fake-now",
                                     "2026-12-07 10:58:00", "--interval-ms", "150"});
  const std::string log_file = (home_ / "sms.log").string();
  ASSERT_TRUE(WaitForText(log_file, "Service started", 30s));
  // Some ticks past the window while the database is away.
  std::this_thread::sleep_for(2s);
  std::filesystem::rename(aside, config);
  ASSERT_TRUE(WaitForText(log_file, "Fine ricerca messaggi", 90s)) << Log();
  std::this_thread::sleep_for(3s);
  service.Signal(SIGTERM);
  ASSERT_EQ(service.Wait(30s), 0);

  const std::string log = Log();
  EXPECT_EQ(CountOf(log, "Avvio ricerca messaggi"), 1) << log;
  EXPECT_NE(log.find("Invio del giorno non eseguito all'orario di invio 11.00"),
            std::string::npos) << log;
  EXPECT_GT(Sms().size(), 0u);
  EXPECT_EQ(Requests(sim_, kUpload), 1u);
}

TEST_F(OxsmsdJournalTest, AMissedWindowRunsOnceAndARefusedAccountIsNotTriedAgain) {
  CreatePractice(/*whatsapp=*/false);
  // The gateway refuses the account: no retry will help.
  SimPost(sim_.base_url(), "/_sim/accounts",
          {{"user", "demo"}, {"pwd", "demo"}, {"idcliente", 1001}, {"credit", 1000},
           {"codice", 2}, {"message", "Utente sospeso"}});
  RunService("2026-12-07 14:00:00", 1);

  const std::string log = Log();
  EXPECT_EQ(CountOf(log, "Avvio ricerca messaggi"), 1) << log;
  EXPECT_NE(log.find("recupero ora"), std::string::npos) << log;
  EXPECT_EQ(CountOf(log, "Nuovo tentativo di invio"), 0) << log;
  EXPECT_EQ(Sms().size(), 0u);
}

// The control SMS counts what the gateway accepted and what did not go out,
// and a run by hand that left messages unsent ends with 1.
TEST_F(OxsmsdJournalTest, TheControlSmsAndTheExitCodeTellWhatWentOut) {
  CreatePractice(/*whatsapp=*/false,
                 R"(,"cbsmsverifica":true,"cellverifica1":"+39 333 0000001")");
  const auto control = [this]() -> std::string {
    for (const json& m : Sms()) {
      if (m["recipient"].get<std::string>().find("3330000001") != std::string::npos) {
        return m["text"].get<std::string>();
      }
    }
    return "";
  };
  const auto reminders = [this] { return static_cast<int>(Sms().size()); };

  ASSERT_EQ(RunNow(), 0) << Log();
  const int n = reminders() - 1;
  ASSERT_GT(n, 1);
  EXPECT_EQ(control(), "Invio Msg Appuntamenti " + std::to_string(n) + " Msg.");
  const std::string failed = "Invio Msg Appuntamenti 0 Msg.. Non inviati Msg Appuntamenti " +
                             std::to_string(n) + " Msg.";

  const auto again = [&](const json& fault) {
    SimPost(sim_.base_url(), "/_sim/reset", json::object());
    if (!fault.is_null()) Fault(fault);
    EXPECT_EQ(RunNow({"--force"}), 1) << Log();
    EXPECT_EQ(reminders(), 1) << "only the control SMS";
    EXPECT_EQ(control(), failed);
  };
  // The upload failed.
  again({{"path", kUpload}, {"kind", "http500"}, {"times", 1}});
  // The gateway refused the batch.
  again({{"path", kUpload},
         {"kind", "reply"},
         {"message", R"({"outvalue":"KO Credito insufficiente: servono 6 sms, disponibili 0"})"},
         {"times", 1}});
  // The alias is not confirmed and the installation drops such batches.
  platform::IniFile(home_ / "config.ini").WriteString("sms", "alias_non_verificato", "annulla");
  SimPost(sim_.base_url(), "/_sim/reset", json::object());
  SimPost(sim_.base_url(), "/_sim/aliases", {{"alias", "STUDIO"}, {"codice", 0}});
  EXPECT_EQ(RunNow({"--force"}), 1) << Log();
  EXPECT_EQ(reminders(), 1) << "only the control SMS";
  EXPECT_EQ(control(), failed);
}

}  // namespace
}  // namespace oxsms::testing
