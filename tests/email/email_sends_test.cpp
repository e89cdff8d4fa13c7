// The send operations over a real configuration row (embedded Firebird):
// circulars against a real SMTP server, and the rules that decide what a
// failure costs, what the REST service gets for an anonymous circular and
// how the in-progress slot is shared, against transports that script their
// answers.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <future>
#include <mutex>

#include "email/email_error.h"
#include "email/email_sends.h"
#include "email/email_settings.h"
#include "email/smtp_transport.h"
#include "email/tvelk_email.h"
#include "email_row_world.h"
#include "support/smtp_test_server.h"

namespace oxsms::email {
namespace {

using testing::Backend;
using testing::EmailRowWorld;

// Records every message and answers as told, line by line of the test.
class ScriptedTransport : public EmailTransport {
 public:
  void Deliver(const EmailMessage& message, const EmailSettings&) override {
    delivered.push_back(message);
    const std::string to = message.to.empty() ? "" : message.to.front().address;
    if (to == refused) throw EmailDeliveryError("rifiutato " + to, false, /*message_only=*/true);
    if (to == down_from || down) {
      down = true;
      throw EmailDeliveryError("server irraggiungibile", /*transient=*/true);
    }
  }
  std::vector<EmailMessage> delivered;
  std::string refused;    // this address is refused alone
  std::string down_from;  // from this address on the server is down
  bool down = false;
};

// Holds each delivery until the test lets it go.
class HeldTransport : public EmailTransport {
 public:
  void Deliver(const EmailMessage&, const EmailSettings&) override {
    std::unique_lock<std::mutex> lock(mutex_);
    entered_ = true;
    changed_.notify_all();
    changed_.wait(lock, [this] { return released_; });
  }
  void WaitEntered() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return entered_; });
  }
  void Release() {
    std::lock_guard<std::mutex> lock(mutex_);
    released_ = true;
    changed_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool entered_ = false;
  bool released_ = false;
};

std::string SmtpAccount(int port) {
  EmailSettings s;
  s.Host = "127.0.0.1";
  s.Port = std::to_string(port);
  s.AuthType = 1;
  s.Username = "studio";
  s.Password = "segreta";
  s.DaNome = "Studio Demo";
  s.DaEmail = "studio@example.it";
  s.CBLocalClient = false;
  return WriteEmailSettings(s);
}

const char* kCatalogue =
    "<?xml version=\"1.0\"?><EmailTipiche>"
    "<Record><C0>Appuntamento</C0><C1>Ciao #Nome, appuntamento del #Data alle #Ora.\r\nA presto"
    "</C1><C2>Promemoria per #Cognome</C2></Record>"
    "</EmailTipiche>";

class EmailSendsTest : public ::testing::Test {
 protected:
  void SetUp() override { world_ = std::make_unique<EmailRowWorld>(Backend::kFirebird); }

  // The email object over the row with `settings` and the one-message catalogue.
  TVelkEmail& Email(const std::string& settings) {
    world_->InsertRow(settings, std::string(kCatalogue));
    velk_ = std::make_unique<TVelkEmail>(world_->connection(), table_, world_->log());
    velk_->LeggiImpostazioni();
    return *velk_;
  }

  std::unique_ptr<EmailRowWorld> world_;
  TypicalMessages table_;
  std::unique_ptr<TVelkEmail> velk_;
  InProgressSlot slot_;
  ScriptedTransport smtp_;
  ScriptedTransport rest_;
};

TEST_F(EmailSendsTest, CircularsReachARealServerPersonalisedOrAsOneBlindCopy) {
  if (!oxsms::testing::SmtpTestServer::Available()) GTEST_SKIP() << "aiosmtpd not installed";
  oxsms::testing::SmtpServerOptions options;
  options.user = "studio";
  options.password = "segreta";
  options.auth_required = true;
  oxsms::testing::SmtpTestServer server(options);
  TVelkEmail& velk = Email(SmtpAccount(server.port()));
  ASSERT_FALSE(velk.usavelk);
  SmtpTransport smtp;
  EmailSends sends(velk, smtp, rest_, slot_, world_->log());

  // First line with a surname: one message per line, each with its own values.
  const auto personal = sends.InviaEmailCircolare(
      "Rossi,Mario,mario@example.it,09/12/2026,10:30\r\nBianchi,Anna,anna@example.it,10/12/2026,"
      "16:00",
      "Appuntamento");
  ASSERT_EQ(personal.size(), 2u);
  EXPECT_TRUE(personal[0].delivered && personal[1].delivered);
  auto mails = server.WaitForMessages(2);
  ASSERT_EQ(mails.size(), 2u);
  EXPECT_EQ(mails[0].rcpt_tos, std::vector<std::string>{"mario@example.it"});
  EXPECT_EQ(mails[0].login, "studio");
  EXPECT_NE(mails[0].data.find("Subject: Promemoria per Rossi"), std::string::npos) << mails[0].data;
  EXPECT_NE(mails[0].data.find("appuntamento del 09/12/2026 alle 10:30.<br>A presto"),
            std::string::npos)
      << mails[0].data;
  EXPECT_NE(mails[1].data.find("Subject: Promemoria per Bianchi"), std::string::npos);
  EXPECT_NE(mails[1].data.find("Ciao Anna"), std::string::npos);

  // First line a bare address: one message, every address a blind copy, the
  // placeholders gone.
  const auto anonymous =
      sends.InviaEmailCircolare("uno@example.it\r\ndue@example.it", "Appuntamento");
  EXPECT_TRUE(anonymous[0].delivered && anonymous[1].delivered);
  mails = server.WaitForMessages(3);
  ASSERT_EQ(mails.size(), 3u);
  EXPECT_EQ(mails[2].rcpt_tos, (std::vector<std::string>{"uno@example.it", "due@example.it"}));
  EXPECT_EQ(mails[2].data.find("uno@example.it"), std::string::npos) << "a Bcc in the headers";
  EXPECT_NE(mails[2].data.find("Subject: Promemoria per"), std::string::npos) << mails[2].data;
  EXPECT_EQ(mails[2].data.find("#Cognome"), std::string::npos) << mails[2].data;
  EXPECT_EQ(mails[2].data.find("#Nome"), std::string::npos) << mails[2].data;
  EXPECT_FALSE(slot_.Busy());
}

TEST_F(EmailSendsTest, ARefusedLoginOverStartTlsIsLoggedAndStopsTheCircular) {
  if (!oxsms::testing::SmtpTestServer::Available()) GTEST_SKIP() << "aiosmtpd not installed";
  oxsms::testing::SmtpServerOptions options;
  options.starttls = options.require_starttls = true;
  options.user = "studio";
  options.password = "altra";
  options.auth_required = true;
  oxsms::testing::SmtpTestServer server(options);
  EmailSettings account = *ParseEmailSettings(SmtpAccount(server.port()));
  account.CBSSL = true;
  TVelkEmail& velk = Email(WriteEmailSettings(account));
  SmtpTransport smtp({.ca_file = server.cert_file()});
  EmailSends sends(velk, smtp, rest_, slot_, world_->log());

  const auto outcomes = sends.InviaEmailCircolare(
      "Rossi,Mario,m@example.it\r\nVerdi,Ugo,u@example.it", "Appuntamento");
  ASSERT_EQ(outcomes.size(), 2u);
  EXPECT_FALSE(outcomes[0].delivered || outcomes[1].delivered);
  EXPECT_FALSE(outcomes[0].transient);
  EXPECT_TRUE(server.Messages().empty());
  const std::string log = world_->LogText();
  EXPECT_NE(log.find("Email non inviata a m@example.it: Accesso al server SMTP rifiutato"),
            std::string::npos)
      << log;
  EXPECT_EQ(log.find("segreta"), std::string::npos) << "the password reached the log";
}

TEST_F(EmailSendsTest, AnEmptyTextSendsNothingAndFailsEveryLine) {
  TVelkEmail& velk = Email(SmtpAccount(25));
  EmailSends sends(velk, smtp_, rest_, slot_, world_->log());
  const auto outcomes =
      sends.InviaEmailCircolare("Rossi,Mario,m@example.it\r\nVerdi,Ugo,u@example.it", "Assente");
  ASSERT_EQ(outcomes.size(), 2u);
  EXPECT_FALSE(outcomes[0].delivered || outcomes[1].delivered);
  EXPECT_TRUE(smtp_.delivered.empty());
  EXPECT_NE(world_->LogText().find("\"Assente\" non trovato o senza testo: 2 email non inviate"),
            std::string::npos)
      << world_->LogText();
}

TEST_F(EmailSendsTest, ACircularNeverSendsALinkPlaceholderAsWritten) {
  world_->InsertRow(SmtpAccount(25),
                    std::string("<EmailTipiche><Record><C0>Pagamento</C0><C1>Paghi qui: #link_pag"
                                "</C1><C2>Pagamento</C2></Record></EmailTipiche>"));
  velk_ = std::make_unique<TVelkEmail>(world_->connection(), table_, world_->log());
  velk_->LeggiImpostazioni();
  EmailSends sends(*velk_, smtp_, rest_, slot_, world_->log());
  const auto outcomes = sends.InviaEmailCircolare("Rossi,Mario,m@example.it", "Pagamento");
  ASSERT_EQ(outcomes.size(), 1u);
  EXPECT_FALSE(outcomes[0].delivered);
  EXPECT_TRUE(smtp_.delivered.empty());
  EXPECT_NE(world_->LogText().find("chiede un link"), std::string::npos) << world_->LogText();
}

TEST_F(EmailSendsTest, ARefusedAddressCostsItsLineAndAServerDownTheRest) {
  TVelkEmail& velk = Email(SmtpAccount(25));
  EmailSends sends(velk, smtp_, rest_, slot_, world_->log());
  smtp_.refused = "b@example.it";
  smtp_.down_from = "c@example.it";
  const auto outcomes = sends.InviaEmailCircolare(
      "A,A,a@example.it\r\nB,B,b@example.it\r\nC,C,c@example.it\r\nD,D,d@example.it",
      "Appuntamento");
  ASSERT_EQ(outcomes.size(), 4u);
  EXPECT_TRUE(outcomes[0].delivered);
  EXPECT_FALSE(outcomes[1].delivered);
  EXPECT_FALSE(outcomes[1].transient);
  // The server went away at c: d is not tried, and both may go later.
  EXPECT_FALSE(outcomes[2].delivered);
  EXPECT_TRUE(outcomes[2].transient);
  EXPECT_FALSE(outcomes[3].delivered);
  EXPECT_TRUE(outcomes[3].transient);
  EXPECT_EQ(smtp_.delivered.size(), 3u);
  const std::string log = world_->LogText();
  EXPECT_NE(log.find("Email non inviata a b@example.it: rifiutato b@example.it"), std::string::npos);
  EXPECT_NE(log.find("Email non inviata a d@example.it: server irraggiungibile"), std::string::npos);
}

TEST_F(EmailSendsTest, WithoutAnSmtpAccountTheServiceGetsOneRequestPerAddress) {
  EmailSettings sender;
  sender.DaEmail = "studio@example.it";
  TVelkEmail& velk = Email(WriteEmailSettings(sender));
  ASSERT_TRUE(velk.usavelk);
  EmailSends sends(velk, smtp_, rest_, slot_, world_->log());
  const auto outcomes =
      sends.InviaEmailCircolare("uno@example.it\r\ndue@example.it", "Appuntamento");
  EXPECT_TRUE(outcomes[0].delivered && outcomes[1].delivered);
  ASSERT_EQ(rest_.delivered.size(), 2u);
  EXPECT_TRUE(smtp_.delivered.empty());
  for (std::size_t i = 0; i < 2; ++i) {
    ASSERT_EQ(rest_.delivered[i].to.size(), 1u);
    EXPECT_TRUE(rest_.delivered[i].bcc.empty());
  }
  EXPECT_EQ(rest_.delivered[0].to[0].address, "uno@example.it");
  EXPECT_EQ(rest_.delivered[1].to[0].address, "due@example.it");
}

TEST_F(EmailSendsTest, WithoutASenderNothingGoesAndTheLogSaysWhy) {
  TVelkEmail& velk = Email("");
  EmailSends sends(velk, smtp_, rest_, slot_, world_->log());
  const auto outcomes = sends.InviaEmailCircolare("Rossi,Mario,m@example.it", "Appuntamento");
  ASSERT_EQ(outcomes.size(), 1u);
  EXPECT_FALSE(outcomes[0].delivered);
  EXPECT_TRUE(rest_.delivered.empty());
  EXPECT_NE(world_->LogText().find("Email mittente non configurata"), std::string::npos);
}

TEST_F(EmailSendsTest, TheSlotRefusesASecondSendWhileAWorkerDeliversAndFreesAfter) {
  TVelkEmail& velk = Email(SmtpAccount(25));
  HeldTransport held;
  EmailSends first(velk, held, rest_, slot_, world_->log());
  EmailSends second(velk, smtp_, rest_, slot_, world_->log());
  const TEmailString text{"", "Oggetto", "Testo"};

  auto running = std::async(std::launch::async, [&] {
    return first.InviaEmailDestinatario("Rossi,Mario,m@example.it", text, /*wait=*/false, "");
  });
  held.WaitEntered();
  EXPECT_TRUE(slot_.Busy());
  try {
    second.InviaEmailDestinatario("Verdi,Ugo,u@example.it", text, true, "");
    ADD_FAILURE() << "a second send went while a message was in delivery";
  } catch (const EmailError& e) {
    EXPECT_STREQ(e.what(), "Attendere invio di altre email ancora in corso");
  }
  held.Release();
  EXPECT_TRUE(running.get().delivered);
  EXPECT_FALSE(slot_.Busy());
  EXPECT_TRUE(second.InviaEmailDestinatario("Verdi,Ugo,u@example.it", text, true, "").delivered);
  ASSERT_EQ(smtp_.delivered.size(), 1u);
}

TEST_F(EmailSendsTest, ASingleSendCarriesTheSecondAddressAsCopyAndItsLinks) {
  TVelkEmail& velk = Email(SmtpAccount(25));
  EmailSends sends(velk, smtp_, rest_, slot_, world_->log());
  const std::string subject = sends.InviaEmailSingola(
      R"({"cognome":"Rossi","nome":"Mario","email":"m@example.it","email2":"m2@example.it",)"
      R"("data":"09/12/2026","ora":"10:30","linkBreve":"https://l.example/c/1"})",
      "Appuntamento", "", false, true, "", "", "");
  EXPECT_EQ(subject, "Promemoria per Rossi");
  ASSERT_EQ(smtp_.delivered.size(), 1u);
  const EmailMessage& m = smtp_.delivered[0];
  ASSERT_EQ(m.to.size(), 1u);
  EXPECT_EQ(m.to[0].address, "m@example.it");
  EXPECT_EQ(m.to[0].name, "Mario Rossi");
  ASSERT_EQ(m.cc.size(), 1u);
  EXPECT_EQ(m.cc[0].address, "m2@example.it");
}

}  // namespace
}  // namespace oxsms::email
