// oxsms preview and oxsms report on a real practice against the simulator:
// the preview of a day lists what that day's run then sends (same lines, same
// texts, links aside) and sends, links and writes nothing; the day's report
// holds every line with its outcome, a refused batch with the gateway's
// answer.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "app/agenda_records.h"
#include "app/process_runner.h"
#include "app/sim_query.h"
#include "fixture/practice_fixture.h"
#include "maker-sim/maker_simulator.h"
#include "platform/date_time.h"
#include "support/temp_dir.h"

namespace oxsms::testing {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;

constexpr const char* kMonday = "2026-12-07";

// Reminders of Wednesday 9 December 2026 by SMS (with a confirmation link)
// and WhatsApp template (with the link's code), sent on Monday, and the
// control SMS; a few patients have no number or no consent.
fixture::PracticeReport CreatePractice(const TempDir& home, const std::string& sim_url) {
  fixture::PracticeOptions options;
  options.home = home.path();
  options.patients = 40;
  options.appointments = 14;
  options.days = 1;
  options.first_day = platform::EncodeDate(2026, 12, 9);
  options.rest_host = sim_url;
  options.maker_url = sim_url;
  options.settings_json = R"({"user":"demo","pwd":"demo","testata":"STUDIO","time":"11.00.00",
      "cbsms":true,"cbserviziosms":true,"CBServizioWhatsapp":true,"cbservizioemail":false,
      "cbcompl":false,"cbsmsverifica":true,"cellverifica1":"+39 02 5550199",
      "cbsmsfiniti":false,"giorniinvio":"1000000",
      "testoinvio":"<Nome>, appuntamento il <Data> alle <Ora>: <link_conferma>",
      "CellWhts":"+39 02 5550100","SiglaGeneraleAppWhts":"PROMEMORIA","linkConfermaAppWhts":"1",
      "variabiliAppWhts":"nome,data,ora,link_breve"})";
  return fixture::CreatePractice(options);
}

ProgramOutput Oxsms(const TempDir& home, std::vector<std::string> args) {
  args.insert(args.begin(), {"--home", home.path().string()});
  return RunProgram(OXSMS_PATH, args, 2min);
}

int RunNow(const TempDir& home, const std::string& now) {
  ChildProcess run(OXSMSD_PATH, {"--home", home.path().string(), "--run-now", "--fake-now", now});
  return run.Wait(120s);
}

// A line with the links taken out: an address or a placeholder in an SMS
// text, the link members of a WhatsApp template's values.
std::string WithoutLinks(const json& line) {
  std::string text = line.at("testo").get<std::string>();
  text = std::regex_replace(text, std::regex(R"(https?://\S+|<link_[a-z]+>)"), "<link>");
  if (line.at("canale") == "whatsapp") {
    const auto brace = text.find('{');
    json values = json::parse(text.substr(brace));
    for (const char* link : {"link_breve", "link_conferma", "link_pagamento"}) values.erase(link);
    text = text.substr(0, brace) + values.dump();
  }
  return line.at("tipo").get<std::string>() + " | " + line.at("canale").get<std::string>() + " | " +
         line.at("destinatario").get<std::string>() + " | " + text + " | " +
         line.at("risposta").get<std::string>();
}

TEST(OxsmsReportTest, ThePreviewOfADayIsWhatItsRunThenSends) {
  makersim::MakerSimulator sim;
  sim.Start();
  TempDir home;
  const fixture::PracticeReport practice = CreatePractice(home, sim.base_url());
  // The last agenda table is excluded: it is one line of its own.
  std::string excluded;
  for (const auto& database : practice.databases) {
    if (database.role == "agenda" && !database.tables.empty()) {
      excluded = database.tables.back().table;
    }
  }
  ASSERT_FALSE(excluded.empty());
  ASSERT_EQ(Oxsms(home, {"settings", "set", "tabagescluse=" + excluded}).status, 0);

  const std::filesystem::path agenda = DatabaseOf(practice, "agenda");
  ASSERT_FALSE(agenda.empty());
  const std::multiset<std::string> codes_before = ConfirmationCodes(agenda);

  const ProgramOutput preview = Oxsms(home, {"--json", "preview", "--date", kMonday});
  ASSERT_EQ(preview.status, 0) << preview.out << preview.err;
  const json previewed = json::parse(preview.out);
  EXPECT_EQ(previewed.at("data"), kMonday);
  // Nothing went anywhere, no link was made, the service's log is untouched.
  EXPECT_EQ(SimGet(sim.base_url(), "/_sim/sms").size(), 0u);
  EXPECT_EQ(SimGet(sim.base_url(), "/_sim/whatsapp").size(), 0u);
  EXPECT_EQ(SimGet(sim.base_url(), "/_sim/links").size(), 0u);
  EXPECT_EQ(ActivityLogOf(home.path()).find("Test MultiSMS"), std::string::npos);
  EXPECT_EQ(ConfirmationCodes(agenda), codes_before);

  std::vector<std::string> would_send;
  std::size_t to_send = 0, left_out = 0;
  for (const json& line : previewed.at("righe")) {
    const std::string outcome = line.at("esito");
    if (outcome == "da_inviare") {
      ++to_send;
      EXPECT_EQ(line.at("risposta"), "");
    } else {
      EXPECT_EQ(outcome, "escluso") << line.dump();
      EXPECT_FALSE(line.at("risposta").get<std::string>().empty()) << line.dump();
      ++left_out;
    }
    would_send.push_back(WithoutLinks(line));
  }
  ASSERT_GT(to_send, 2u) << preview.out;
  EXPECT_NE(std::find(would_send.begin(), would_send.end(),
                      "promemoria |  | Agenda " + excluded + " | " + " | Agenda esclusa"),
            would_send.end())
      << preview.out;
  EXPECT_GT(left_out, 0u) << "the practice has patients without number or consent\n" << preview.out;

  ASSERT_EQ(RunNow(home, std::string(kMonday) + " 11:00:00"), 0) << ActivityLogOf(home.path());
  // The run does write the links the preview left out (the check above can fail).
  EXPECT_GT(ConfirmationCodes(agenda).size(), codes_before.size());
  const ProgramOutput report = Oxsms(home, {"--json", "report", "--date", kMonday});
  ASSERT_EQ(report.status, 0) << report.err;
  const json day = json::parse(report.out);
  ASSERT_EQ(day.at("esecuzioni").size(), 1u);
  const json& run = day.at("esecuzioni")[0];
  EXPECT_EQ(run.at("prova"), false);
  EXPECT_EQ(run.at("inizio").get<std::string>().substr(0, 10), kMonday);
  EXPECT_TRUE(run.at("credito_prima").is_number()) << run.dump();
  EXPECT_LT(run.at("credito_dopo").get<int>(), run.at("credito_prima").get<int>());

  std::vector<std::string> sent;
  for (const json& line : run.at("righe")) {
    json as_previewed = line;
    if (line.at("esito") == "inviato") as_previewed["esito"] = "da_inviare";
    EXPECT_NE(line.at("esito"), "da_inviare");
    sent.push_back(WithoutLinks(as_previewed));
  }
  EXPECT_EQ(sent, would_send);

  // And the gateway got those texts, with their links.
  const json sms = SimGet(sim.base_url(), "/_sim/sms");
  std::size_t sms_lines = 0;
  for (const json& line : run.at("righe")) {
    if (line.at("canale") != "sms" || line.at("esito") != "inviato") continue;
    ++sms_lines;
    bool found = false;
    for (const json& m : sms) found = found || m.at("text") == line.at("testo");
    EXPECT_TRUE(found) << line.dump();
  }
  EXPECT_EQ(sms_lines, sms.size());
  EXPECT_EQ(SimGet(sim.base_url(), "/_sim/whatsapp").size() + sms.size(), to_send);
}

TEST(OxsmsReportTest, TheReportShowsARefusedBatchWithTheGatewaysAnswer) {
  makersim::MakerSimulator sim;
  sim.Start();
  TempDir home;
  CreatePractice(home, sim.base_url());
  ArmFault(sim.base_url(),
           {{"path", "/smsox/filesmstoserver.json"},
            {"kind", "reply"},
            {"message", R"({"outvalue":"KO Credito insufficiente: servono 9 sms, disponibili 0"})"},
            {"times", 1}});

  EXPECT_EQ(RunNow(home, std::string(kMonday) + " 11:00:00"), 1) << ActivityLogOf(home.path());
  const ProgramOutput report = Oxsms(home, {"--json", "report", "--date", kMonday});
  ASSERT_EQ(report.status, 0) << report.err;
  const json run = json::parse(report.out).at("esecuzioni").at(0);
  std::size_t refused = 0, whatsapp_sent = 0, control_sent = 0;
  for (const json& line : run.at("righe")) {
    if (line.at("tipo") == "promemoria" && line.at("canale") == "sms") {
      EXPECT_EQ(line.at("esito"), "rifiutato") << line.dump();
      EXPECT_NE(line.at("risposta").get<std::string>().find("KO Credito insufficiente"),
                std::string::npos)
          << line.dump();
      ++refused;
    }
    if (line.at("canale") == "whatsapp" && line.at("esito") == "inviato") ++whatsapp_sent;
    if (line.at("tipo") == "controllo" && line.at("esito") == "inviato") ++control_sent;
  }
  EXPECT_GT(refused, 1u) << report.out;
  EXPECT_EQ(whatsapp_sent, SimGet(sim.base_url(), "/_sim/whatsapp").size());
  EXPECT_EQ(control_sent, 1u) << report.out;

  // The table says it too, and a day without runs has no report.
  const ProgramOutput table = Oxsms(home, {"report", "--date", kMonday});
  EXPECT_EQ(table.status, 0);
  EXPECT_NE(table.out.find("rifiutato: Errore trasmissione: KO Credito insufficiente"),
            std::string::npos)
      << table.out;
  EXPECT_EQ(Oxsms(home, {"report", "--date", "2026-12-01"}).status, 1);
  EXPECT_EQ(Oxsms(home, {"report", "--date", "2026-13-01"}).status, 2);
}

}  // namespace
}  // namespace oxsms::testing
