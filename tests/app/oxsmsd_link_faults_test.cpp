// Daily runs of the service while the link services fail: a confirmation
// link that cannot be had is left out of the message (never sent as its
// placeholder), a payment message without its link is not sent at all, and
// a payment link whose message did not go out is sent, with the same link,
// at the next run - the fee never gets a second link or accounting entry,
// also when the process is killed while the batch is on its way.
#include <signal.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <set>

#include "app/agenda_records.h"
#include "app/process_runner.h"
#include "app/sim_query.h"
#include "fixture/practice_fixture.h"
#include "maker-sim/maker_simulator.h"
#include "net/curl_http_client.h"
#include "support/temp_dir.h"

namespace oxsms::testing {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;

constexpr const char* kPaymentWords = "pagare online";

void RunNow(const TempDir& home, const std::string& now) {
  ChildProcess run(OXSMSD_PATH, {"--home", home.path().string(), "--run-now", "--fake-now", now});
  run.Wait(120s);
}

void Fault(const makersim::MakerSimulator& sim, const std::string& path, const std::string& kind) {
  SimCall(sim.base_url(), "POST", "/_sim/faults", {{"path", path}, {"kind", kind}});
}

std::string PaymentCodeOf(const std::string& text) {
  const auto at = text.find("/s/");
  if (at == std::string::npos) return {};
  const auto end = text.find_first_of(" )", at + 3);
  return text.substr(at + 3, end == std::string::npos ? std::string::npos : end - at - 3);
}

fixture::PracticeOptions Practice(const TempDir& home, const makersim::MakerSimulator& sim,
                                  const std::string& settings) {
  fixture::PracticeOptions options;
  options.home = home.path();
  options.patients = 40;
  options.appointments = 16;
  options.days = 1;
  options.share_with_fees = 0.5;
  options.first_day = platform::EncodeDate(2026, 12, 8);  // a Tuesday
  options.rest_host = sim.base_url();
  options.maker_url = sim.base_url();
  options.settings_json = settings;
  return options;
}

TEST(OxsmsdLinkFaultsTest, ConfirmationLinkThatCannotBeHadIsLeftOutNotSentAsWritten) {
  makersim::MakerSimulator sim;
  sim.Start();
  TempDir home;
  fixture::CreatePractice(Practice(home, sim, R"({"user":"demo","pwd":"demo","testata":"STUDIO",
      "time":"11.00.00","cbsms":true,"cbserviziosms":true,"CBServizioWhatsapp":true,
      "cbservizioemail":false,"cbcompl":false,"cbsmsverifica":false,"cbsmsfiniti":false,
      "giorniinvio":"0000000","testoinvio":"<Nome>, appuntamento il <Data>: <link_conferma>",
      "CellWhts":"+39 02 5550100","SiglaGeneraleAppWhts":"PROMEMORIA","linkConfermaAppWhts":"1",
      "variabiliAppWhts":"nome,data,ora,link_breve"})"));
  Fault(sim, "/conferma_appuntamenti/crea.json", "http500");

  RunNow(home, "2026-12-07 11:00:00");
  const std::string log = ReadFile(home / "sms.log");
  const json sms = SimGet(sim.base_url(), "/_sim/sms");
  const json whatsapp = SimGet(sim.base_url(), "/_sim/whatsapp");
  ASSERT_GT(sms.size(), 1u) << log;
  ASSERT_EQ(whatsapp.size(), sms.size()) << log;
  // Only a link the agenda already stores can still be given.
  int without_link = 0;
  for (const json& m : sms) {
    const std::string text = m["text"].get<std::string>();
    EXPECT_EQ(text.find("<link_conferma>"), std::string::npos) << text;
    EXPECT_NE(text.find("appuntamento il 08/12/2026"), std::string::npos) << text;
    if (text.find("/c/") == std::string::npos) ++without_link;
  }
  ASSERT_GT(without_link, 1) << log;
  int whatsapp_without_link = 0;
  for (const json& m : whatsapp) {
    ASSERT_TRUE(m["variabili"].contains("link_breve")) << m["variabili"];
    if (m["variabili"]["link_breve"] == "") ++whatsapp_without_link;
  }
  EXPECT_EQ(whatsapp_without_link, without_link);
  EXPECT_EQ(CountOf(log, "Link di conferma non ottenuto, messaggio inviato senza link"),
            without_link)
      << log;
  EXPECT_TRUE(SimGet(sim.base_url(), "/_sim/links").empty());
}

// A practice whose reminders go by SMS, with payment messages and their
// links for the fees.
class OxsmsdPaymentLinkFaultsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sim.Start();
    const fixture::PracticeReport report =
        fixture::CreatePractice(Practice(home, sim, R"j({"user":"demo","pwd":"demo",
        "testata":"STUDIO","time":"11.00.00","cbsms":true,"cbserviziosms":true,
        "cbservizioemail":false,"cbcompl":false,"cbsmsverifica":false,"cbsmsfiniti":false,
        "giorniinvio":"0000000","testoinvio":"<Nome>, appuntamento il <Data>",
        "testoinviolinkpag":"Gentile <Nominativo>, può pagare online: <link_pag> (<descrizione_pag>)",
        "CBLinkPag":true,"GGLinkPag":0})j"));
    agenda = DatabaseOf(report, "agenda");
    patients = DatabaseOf(report, "pazienti");
    ASSERT_FALSE(agenda.empty());
    ASSERT_FALSE(patients.empty());
  }

  makersim::MakerSimulator sim;
  TempDir home;
  std::filesystem::path agenda;
  std::filesystem::path patients;
};

TEST_F(OxsmsdPaymentLinkFaultsTest, PaymentMessageGoesOnlyWithItsLinkAndTheSameLinkAfterAFailedUpload) {

  // The payment service fails: reminders go, payment messages do not.
  Fault(sim, "/rest/crea_url_pagamento.json", "http500");
  RunNow(home, "2026-12-07 11:00:00");
  std::string log = ReadFile(home / "sms.log");
  json sms = SimGet(sim.base_url(), "/_sim/sms");
  ASSERT_GT(sms.size(), 1u) << log;
  for (const json& m : sms) {
    EXPECT_EQ(m["text"].get<std::string>().find(kPaymentWords), std::string::npos) << m["text"];
  }
  EXPECT_GT(CountOf(log, "Link di pagamento non ottenuto, messaggio non inviato"), 1) << log;
  EXPECT_GT(CountOf(log, "Risposta non leggibile del servizio di pagamento"), 1) << log;
  EXPECT_TRUE(RecordedLinks(agenda).empty());
  const size_t reminders = sms.size();

  // The links are made and recorded, but the upload fails.
  ClearFaults(sim.base_url());
  Fault(sim, "/smsox/filesmstoserver.json", "http500");
  RunNow(home, "2026-12-07 12:00:00");
  ASSERT_EQ(SimGet(sim.base_url(), "/_sim/sms").size(), reminders);
  const std::multiset<std::string> recorded = RecordedLinks(agenda);
  const size_t fees = SimGet(sim.base_url(), "/_sim/payments").size();
  ASSERT_GT(fees, 1u) << ReadFile(home / "sms.log");
  EXPECT_EQ(recorded.size(), fees);
  EXPECT_EQ(AccountedLinks(patients), recorded);

  // The next run sends each of them, with the link it already has.
  ClearFaults(sim.base_url());
  RunNow(home, "2026-12-07 13:00:00");
  log = ReadFile(home / "sms.log");
  sms = SimGet(sim.base_url(), "/_sim/sms");
  std::multiset<std::string> sent;
  for (size_t i = reminders; i < sms.size(); ++i) {
    const std::string text = sms[i]["text"].get<std::string>();
    if (text.find(kPaymentWords) == std::string::npos) continue;
    sent.insert(PaymentCodeOf(text));
  }
  EXPECT_EQ(sent, recorded) << log;
  EXPECT_EQ(SimGet(sim.base_url(), "/_sim/payments").size(), fees) << "no second link for a fee";
  EXPECT_EQ(RecordedLinks(agenda), recorded);
  EXPECT_EQ(AccountedLinks(patients), recorded) << "one accounting entry per fee";
  EXPECT_EQ(json::parse(ReadFile(home / "pagamenti_in_sospeso.json")), json::object());
}

TEST_F(OxsmsdPaymentLinkFaultsTest, AProcessKilledInTheUploadLeavesEveryLinkRecordedAndWaiting) {

  // The reminders go; the payment messages wait for their links.
  Fault(sim, "/rest/crea_url_pagamento.json", "http500");
  RunNow(home, "2026-12-07 11:00:00");
  ASSERT_TRUE(SimGet(sim.base_url(), "/_sim/payments").empty());
  ClearFaults(sim.base_url());

  // Killed once the upload of the payment messages is under way: what the
  // process had not committed or written is gone.
  SimCall(sim.base_url(), "POST", "/_sim/faults",
          {{"path", "/smsox/filesmstoserver.json"}, {"kind", "delay"}, {"ms", 3000}, {"times", 1}});
  {
    ChildProcess run(OXSMSD_PATH, {"--home", home.path().string(), "--run-now", "--fake-now",
                                   "2026-12-07 12:00:00"});
    ASSERT_TRUE(WaitForText((home / "diario_invii.json").string(), "in_corso", 60s))
        << ActivityLogOf(home.path());
    run.Signal(SIGKILL);
    EXPECT_NE(run.Wait(10s), -1);
  }
  std::set<std::string> created;
  for (const json& p : SimGet(sim.base_url(), "/_sim/payments")) {
    created.insert(p["link_breve"].get<std::string>());
  }
  ASSERT_GT(created.size(), 1u) << ActivityLogOf(home.path());
  std::set<std::string> waiting;
  const std::filesystem::path pending_file = home / "pagamenti_in_sospeso.json";
  ASSERT_TRUE(std::filesystem::exists(pending_file));
  const json pending = json::parse(ReadFile(pending_file));
  for (const auto& [key, code] : pending.items()) waiting.insert(code.get<std::string>());
  EXPECT_EQ(waiting, created) << "every link given to the batch waits for its message";
  const std::multiset<std::string> recorded = RecordedLinks(agenda);
  EXPECT_EQ(std::set<std::string>(recorded.begin(), recorded.end()), created);
  EXPECT_EQ(recorded.size(), created.size());
  EXPECT_EQ(AccountedLinks(patients), recorded);

  // Sent again by hand: each fee with the link it has, none made anew.
  ChildProcess again(OXSMSD_PATH, {"--home", home.path().string(), "--run-now", "--force",
                                   "--fake-now", "2026-12-07 13:00:00"});
  EXPECT_EQ(again.Wait(120s), 0) << ActivityLogOf(home.path());
  std::set<std::string> sent;
  for (const json& m : SimGet(sim.base_url(), "/_sim/sms")) {
    const std::string text = m["text"].get<std::string>();
    if (text.find(kPaymentWords) != std::string::npos) sent.insert(PaymentCodeOf(text));
  }
  EXPECT_EQ(sent, created) << ActivityLogOf(home.path());
  EXPECT_EQ(SimGet(sim.base_url(), "/_sim/payments").size(), created.size());
  EXPECT_EQ(RecordedLinks(agenda), recorded);
  EXPECT_EQ(AccountedLinks(patients), recorded);
  EXPECT_EQ(json::parse(ReadFile(home / "pagamenti_in_sospeso.json")), json::object());
}

}  // namespace
}  // namespace oxsms::testing
