// oxsms email on a real practice: the account changed and read back, a bad
// value refused with nothing written, typical messages added and guarded,
// and the test message delivered by the real SMTP server of the settings.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <string>
#include <vector>

#include "app/process_runner.h"
#include "fixture/practice_fixture.h"
#include "support/smtp_test_server.h"
#include "support/temp_dir.h"

namespace oxsms::testing {
namespace {

using nlohmann::json;

class OxsmsEmailTest : public ::testing::Test {
 protected:
  void SetUp() override {
    port_ = FreeLoopbackPort();
    fixture::PracticeOptions options;
    options.home = home_.path();
    options.patients = 5;
    options.appointments = 2;
    options.days = 1;
    options.smtp = fixture::SmtpAccount{"127.0.0.1", port_, "studio", "s3greta", "studio@example.com"};
    options.settings_json = R"({"user":"demo","pwd":"demo","nomeemailapp":"Appuntamento"})";
    fixture::CreatePractice(options);
  }

  ProgramOutput Oxsms(std::vector<std::string> args) {
    args.insert(args.begin(), {"--home", home_.path().string()});
    return RunProgram(OXSMS_PATH, args);
  }
  json Show() {
    const ProgramOutput show = Oxsms({"--json", "email", "show"});
    EXPECT_EQ(show.status, 0) << show.err;
    return json::parse(show.out);
  }

  TempDir home_;
  int port_ = 0;
};

TEST_F(OxsmsEmailTest, AccountChangesAreStoredAndBadValuesWriteNothing) {
  const json before = Show();
  EXPECT_EQ(before.at("trasporto"), "server SMTP proprio");
  EXPECT_EQ(before.at("Password"), "********");

  EXPECT_EQ(Oxsms({"email", "set", "DaNome=Studio Rossi", "Port=abc"}).status, 2);
  EXPECT_EQ(Oxsms({"email", "set", "DaEmail=non un indirizzo"}).status, 2);
  EXPECT_EQ(Show(), before);

  ASSERT_EQ(Oxsms({"email", "set", "DaNome=Studio Rossi", "Port="}).status, 0);
  const json after = Show();
  EXPECT_EQ(after.at("DaNome"), "Studio Rossi");
  EXPECT_EQ(after.at("Port"), "25");  // an empty port is stored as 25

  ASSERT_EQ(Oxsms({"email", "use-maker"}).status, 0);
  EXPECT_EQ(Show().at("trasporto"), "servizio email del produttore");
  EXPECT_EQ(ReadFile(home_ / "sms.log").find("s3greta"), std::string::npos);
}

TEST_F(OxsmsEmailTest, TypicalMessagesAreAddedChangedAndGuarded) {
  ASSERT_EQ(Oxsms({"email", "messages", "add", "Igiene", "Richiamo igiene", "Gentile #Nome,\nè ora."})
                .status,
            0);
  EXPECT_EQ(Oxsms({"email", "messages", "add", "Igiene", "x", "y"}).status, 2);  // taken
  EXPECT_EQ(Oxsms({"email", "messages", "add", "Un nome troppo lungo per il campo", "x", "y"}).status,
            2);
  ASSERT_EQ(Oxsms({"email", "messages", "change", "Igiene", "--subject", "Igiene orale"}).status, 0);
  const ProgramOutput shown = Oxsms({"--json", "email", "messages", "show", "Igiene"});
  ASSERT_EQ(shown.status, 0) << shown.err;
  const json message = json::parse(shown.out);
  EXPECT_EQ(message.at("subject"), "Igiene orale");
  EXPECT_EQ(message.at("text"), "Gentile #Nome,\r\nè ora.");

  // The message the reminders use cannot go.
  const ProgramOutput used = Oxsms({"email", "messages", "remove", "Appuntamento"});
  EXPECT_EQ(used.status, 2);
  EXPECT_NE(used.err.find("nomeemailapp"), std::string::npos) << used.err;
  ASSERT_EQ(Oxsms({"email", "messages", "remove", "Igiene"}).status, 0);
  EXPECT_EQ(Oxsms({"email", "messages", "show", "Igiene"}).status, 2);
}

TEST_F(OxsmsEmailTest, TheTestMessageGoesThroughTheConfiguredServer) {
  if (!SmtpTestServer::Available()) GTEST_SKIP() << "no aiosmtpd under /usr/bin/python3";
  SmtpServerOptions options;
  options.user = "studio";
  options.password = "s3greta";
  options.auth_required = true;
  options.port = port_;
  SmtpTestServer server(options);

  const ProgramOutput sent = Oxsms({"email", "test", "paziente@example.com"});
  ASSERT_EQ(sent.status, 0) << sent.out << sent.err;
  const auto mails = server.WaitForMessages(1);
  ASSERT_EQ(mails.size(), 1u);
  EXPECT_EQ(mails[0].rcpt_tos, std::vector<std::string>{"paziente@example.com"});
  EXPECT_EQ(mails[0].login, "studio");
  EXPECT_NE(mails[0].data.find("Test di invio Email"), std::string::npos);
  EXPECT_NE(mails[0].data.find("Weeeeeeeee"), std::string::npos);

  // A wrong password: the command fails and says why, without the password.
  ASSERT_EQ(Oxsms({"email", "set", "Password=sbagliata"}).status, 0);
  const ProgramOutput refused = Oxsms({"email", "test", "paziente@example.com"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("oxsms: "), std::string::npos);
  EXPECT_EQ(refused.err.find("sbagliata"), std::string::npos) << refused.err;
}

}  // namespace
}  // namespace oxsms::testing
