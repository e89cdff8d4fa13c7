// Reminders by email through the service process: a practice whose SMTP
// account points at a real SMTP server on the loopback. What the server
// received, and a day on which the server is away or asks to try later and
// every reminder still goes exactly once.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <memory>
#include <sstream>

#include "app/process_runner.h"
#include "fixture/practice_fixture.h"
#include "maker-sim/maker_simulator.h"
#include "platform/code_page.h"
#include "support/smtp_test_server.h"
#include "support/temp_dir.h"

namespace oxsms::testing {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;

constexpr const char* kTestModeList = "Modalità test, email non inviate a:";

std::string DecodeQuotedPrintable(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool escape = text[i] == '=' && i + 2 < text.size();
    if (escape && text[i + 1] == '\r' && text[i + 2] == '\n') {
      i += 2;  // soft line break
    } else if (escape && std::isxdigit(static_cast<unsigned char>(text[i + 1]))) {
      out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

// The value of a header of the message's top header block.
std::string Header(const std::string& data, const std::string& name) {
  const std::string head = data.substr(0, data.find("\r\n\r\n"));
  const std::string key = "\r\n" + name + ": ";
  const auto at = ("\r\n" + head).find(key);
  if (at == std::string::npos) return {};
  const auto from = at + key.size() - 2;
  return head.substr(from, head.find("\r\n", from) - from);
}

// Field `n` (from 0) of a recipient line "Cognome,Nome,address,date,time".
std::string Field(const std::string& line, int n) {
  std::stringstream in(line);
  std::string field;
  for (int i = 0; i <= n; ++i) std::getline(in, field, ',');
  return field;
}

std::vector<std::string> Sorted(std::vector<std::string> items) {
  std::sort(items.begin(), items.end());
  return items;
}

std::vector<std::string> Recipients(const std::vector<ReceivedMail>& mails) {
  std::vector<std::string> out;
  for (const ReceivedMail& m : mails) out.insert(out.end(), m.rcpt_tos.begin(), m.rcpt_tos.end());
  return Sorted(out);
}

// Reminders of Tuesday 8 December sent on Monday at 11.00 by email only,
// through the practice's SMTP account (plain SMTP with login).
class OxsmsdEmailTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!SmtpTestServer::Available()) GTEST_SKIP() << "no aiosmtpd under /usr/bin/python3 or no openssl";
    sim_.Start();
    port_ = FreeLoopbackPort();
    fixture::PracticeOptions options;
    options.home = home_.path();
    options.patients = 30;
    options.appointments = 12;
    options.days = 1;
    options.first_day = platform::EncodeDate(2026, 12, 8);
    options.rest_host = sim_.base_url();
    options.maker_url = sim_.base_url();
    options.smtp = fixture::SmtpAccount{"127.0.0.1", port_, "studio", "s3greta", "studio@example.com"};
    options.settings_json = R"({"user":"demo","pwd":"demo","testata":"STUDIO","time":"11.00.00",
        "cbsms":true,"cbserviziosms":false,"cbservizioemail":true,"nomeemailapp":"Appuntamento",
        "cbcompl":false,"cbsmsverifica":false,"cbsmsfiniti":false,"giorniinvio":"0000000"})";
    fixture::CreatePractice(options);
  }

  std::unique_ptr<SmtpTestServer> StartServer(std::vector<std::string> defer = {}) const {
    SmtpServerOptions options;
    options.user = "studio";
    options.password = "s3greta";
    options.auth_required = true;
    options.port = port_;
    options.defer = std::move(defer);
    return std::make_unique<SmtpTestServer>(options);
  }

  int RunNow(const std::vector<std::string>& extra = {}) {
    return RunOxsmsdOnce(OXSMSD_PATH, home_.path(), extra);
  }

  std::string Log() const { return ActivityLogOf(home_.path()); }

  // The email recipient lines of the day, as a run in test mode lists them.
  std::vector<std::string> RecipientLines() {
    EXPECT_EQ(RunNow({"--test"}), 0) << Log();
    std::stringstream log(Log());
    std::vector<std::string> lines;
    std::string line;
    bool inside = false;
    while (std::getline(log, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      const bool stamped = line.size() > 20 && line[2] == '/' && line[5] == '/';
      if (stamped) inside = line.find(kTestModeList) != std::string::npos;
      else if (inside && !line.empty()) lines.push_back(line);
    }
    return lines;
  }

  json EmailChannel() const {
    const json journal = json::parse(ReadFile(home_ / "diario_invii.json"));
    return journal["giorni"]["2026-12-07"]["tipi"]["promemoria"]["canali"]["email"];
  }

  makersim::MakerSimulator sim_;
  TempDir home_;
  int port_ = 0;
};

TEST_F(OxsmsdEmailTest, EachRecipientGetsThePersonalisedTypicalMessageOnce) {
  const std::vector<std::string> lines = RecipientLines();
  ASSERT_GE(lines.size(), 2u) << Log();
  const auto server = StartServer();

  EXPECT_EQ(RunNow(), 0) << Log();
  const auto mails = server->WaitForMessages(lines.size());
  std::vector<std::string> addresses;
  for (const std::string& line : lines) addresses.push_back(Field(line, 2));
  EXPECT_EQ(Recipients(mails), Sorted(addresses));

  for (const ReceivedMail& mail : mails) {
    ASSERT_EQ(mail.rcpt_tos.size(), 1u);
    const std::string& to = mail.rcpt_tos[0];
    const auto line = std::find_if(lines.begin(), lines.end(),
                                   [&](const std::string& l) { return Field(l, 2) == to; });
    ASSERT_NE(line, lines.end()) << to;
    EXPECT_EQ(mail.mail_from, "studio@example.com");
    EXPECT_EQ(mail.login, "studio");
    EXPECT_EQ(Header(mail.data, "To"), to);
    EXPECT_EQ(Header(mail.data, "Subject"), "Appuntamento presso il dentista");
    EXPECT_NE(mail.data.find("Content-Type: text/html; charset=iso-8859-1"), std::string::npos);
    // The body in ISO-8859-1 with the patient's name, day and time.
    const std::string body = DecodeQuotedPrintable(mail.data);
    const std::string greeting = platform::Utf8ToCp1252(
        "Ciao " + Field(*line, 1) + ", ti ricordo il tuo appuntamento del " + Field(*line, 3) +
        " alle " + Field(*line, 4) + ".<br>");
    EXPECT_NE(body.find(greeting), std::string::npos) << body;
  }

  const std::string log = Log();
  EXPECT_NE(log.find("Invio Email a:"), std::string::npos) << log;
  const json channel = EmailChannel();
  EXPECT_EQ(channel["stato"], "completato") << channel;
  EXPECT_EQ(channel["inviati"], lines.size());
}

TEST_F(OxsmsdEmailTest, AServerAwayOrAskingToWaitLeavesTheRestForTheNextRun) {
  const std::vector<std::string> lines = RecipientLines();
  ASSERT_GE(lines.size(), 3u) << Log();
  std::vector<std::string> addresses;
  for (const std::string& line : lines) addresses.push_back(Field(line, 2));

  // No server: nothing goes, and the day's run may be tried again.
  EXPECT_EQ(RunNow(), 1) << Log();
  EXPECT_NE(Log().find("Connessione al server SMTP non riuscita"), std::string::npos) << Log();
  json channel = EmailChannel();
  EXPECT_EQ(channel["stato"], "fallito") << channel;
  EXPECT_EQ(channel["ritentabile"], true) << channel;

  // The server asks to try the second recipient later: the first one goes,
  // the rest waits for the next run.
  const auto deferred = std::find_if(addresses.begin() + 1, addresses.end(),
                                     [&](const std::string& a) { return a != addresses[0]; });
  ASSERT_NE(deferred, addresses.end());
  const auto server = StartServer({*deferred});
  EXPECT_EQ(RunNow(), 1) << Log();
  const auto first = server->Messages();
  EXPECT_EQ(Recipients(first), Sorted({addresses.begin(), deferred}));
  EXPECT_NE(Log().find("Il server SMTP ha rinviato il messaggio"), std::string::npos) << Log();
  channel = EmailChannel();
  EXPECT_EQ(channel["stato"], "fallito") << channel;
  EXPECT_EQ(channel["ritentabile"], true) << channel;

  // The next run sends only what did not go, and then the day is done.
  EXPECT_EQ(RunNow(), 0) << Log();
  EXPECT_EQ(Recipients(server->Messages()), Sorted(addresses));
  EXPECT_EQ(EmailChannel()["stato"], "completato");
  EXPECT_EQ(RunNow(), 0) << Log();
  EXPECT_EQ(server->Messages().size(), lines.size());

  // The day's report holds each run's email lines with what became of them.
  const json runs = json::parse(ReadFile(home_ / "rapporto_2026-12-07.json"))["esecuzioni"];
  ASSERT_EQ(runs.size(), 5u);  // the test-mode listing and four runs
  const auto outcome = [&](const json& run, const std::string& address) {
    for (const json& line : run["righe"]) {
      const std::string who = line["destinatario"];
      if (line["canale"] == "email" && who.find("(" + address + ")") != std::string::npos) {
        return line["esito"].get<std::string>() + ": " + line["risposta"].get<std::string>();
      }
    }
    return std::string("absent");
  };
  EXPECT_EQ(runs[0]["prova"], true);
  ASSERT_EQ(runs[0]["righe"].size(), lines.size());
  for (const json& line : runs[0]["righe"]) {
    EXPECT_EQ(line["esito"], "da_inviare");
    const std::string text = line["testo"];
    EXPECT_EQ(text.rfind("Appuntamento presso il dentista\nCiao ", 0), 0u) << text;
  }
  EXPECT_NE(outcome(runs[1], addresses[0]).find("errore: Connessione al server SMTP"),
            std::string::npos)
      << runs[1].dump(1);
  EXPECT_EQ(outcome(runs[2], addresses[0]), "inviato: ");
  EXPECT_NE(outcome(runs[2], *deferred).find("rinviato"), std::string::npos) << runs[2].dump(1);
  EXPECT_EQ(outcome(runs[3], addresses[0]), "absent") << "served at the run before";
  EXPECT_EQ(outcome(runs[3], *deferred), "inviato: ");
}

}  // namespace
}  // namespace oxsms::testing
