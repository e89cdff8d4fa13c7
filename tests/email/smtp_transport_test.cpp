// The SMTP transport against a real SMTP server (aiosmtpd): what arrives,
// STARTTLS with a trusted and an untrusted certificate, a refused login, no
// server at all.
#include "email/smtp_transport.h"

#include <gtest/gtest.h>

#include <cctype>

#include "email/email_error.h"
#include "email/mime_message.h"
#include "support/smtp_test_server.h"
#include "support/temp_dir.h"

namespace oxsms::email {
namespace {

using testing::ReceivedMail;
using testing::SmtpServerOptions;
using testing::SmtpTestServer;

// The body of a quoted-printable part as bytes.
std::string DecodeQuotedPrintable(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '=' && i + 2 < text.size() && text[i + 1] == '\r' && text[i + 2] == '\n') {
      i += 2;  // soft line break
    } else if (text[i] == '=' && i + 2 < text.size() && std::isxdigit(static_cast<unsigned char>(text[i + 1]))) {
      out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

// The header block of a message (up to the first empty line).
std::string HeadersOf(const std::string& data) { return data.substr(0, data.find("\r\n\r\n") + 2); }

class SmtpTransportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!SmtpTestServer::Available()) GTEST_SKIP() << "no aiosmtpd under /usr/bin/python3 or no openssl";
  }

  EmailSettings Settings(const SmtpTestServer& server) const {
    EmailSettings settings;
    settings.Host = "127.0.0.1";
    settings.Port = std::to_string(server.port());
    settings.AuthType = 0;
    settings.DaEmail = "studio@rossi.it";
    settings.DaNome = "Studio Dentistico Rossi";
    return settings;
  }

  EmailMessage Message() const {
    EmailMessage message;
    message.subject = "Promemoria appuntamento di luned\xC3\xAC";
    message.html_body = "Gentile Mario,<br>l'appuntamento \xC3\xA8 confermato.";
    message.to = {{"mario@example.it", "Mario Bianchi"}};
    return message;
  }
};

TEST_F(SmtpTransportTest, DeliversALatin1MessageWithHeadersAndEnvelope) {
  SmtpTestServer server;
  EmailSettings settings = Settings(server);
  settings.Firma = "Studio Rossi\r\nVia Roma 1";
  settings.EmailBCC = "archivio@rossi.it";
  EmailMessage message = Message();
  message.cc = {{"anna@example.it", ""}};
  message.bcc = {{"nascosto@example.it", ""}};

  SmtpTransport().Deliver(message, settings);

  const auto mails = server.WaitForMessages(1);
  ASSERT_EQ(mails.size(), 1u);
  const ReceivedMail& mail = mails[0];
  EXPECT_EQ(mail.mail_from, "studio@rossi.it");
  EXPECT_EQ(mail.rcpt_tos, (std::vector<std::string>{"mario@example.it", "anna@example.it",
                                                     "nascosto@example.it", "archivio@rossi.it"}));
  const std::string headers = HeadersOf(mail.data);
  EXPECT_NE(headers.find("\r\nDate: "), std::string::npos) << headers;
  EXPECT_NE(headers.find("\r\nMessage-ID: <"), std::string::npos);
  EXPECT_NE(headers.find("@rossi.it>\r\n"), std::string::npos);
  EXPECT_NE(headers.find("From: Studio Dentistico Rossi <studio@rossi.it>\r\n"), std::string::npos);
  EXPECT_NE(headers.find("To: Mario Bianchi <mario@example.it>\r\n"), std::string::npos);
  EXPECT_NE(headers.find("Cc: anna@example.it\r\n"), std::string::npos);
  EXPECT_NE(headers.find("Subject: =?iso-8859-1?Q?Promemoria_appuntamento_di_luned=EC?=\r\n"),
            std::string::npos);
  EXPECT_EQ(mail.data.find("nascosto"), std::string::npos);
  EXPECT_EQ(mail.data.find("archivio"), std::string::npos);
  EXPECT_NE(mail.data.find("text/html; charset=iso-8859-1"), std::string::npos);
  const std::string body = DecodeQuotedPrintable(mail.data);
  EXPECT_NE(body.find("l'appuntamento \xE8 confermato.<p>Studio Rossi<br>Via Roma 1</p>"),
            std::string::npos)
      << mail.data;
  EXPECT_EQ(mail.data.find(kHtmlClientNotice), std::string::npos);
}

TEST_F(SmtpTransportTest, AttachmentsTravelWithThePlainAlternative) {
  SmtpTestServer server;
  testing::TempDir dir;
  testing::WriteFile(dir / "referto.txt", "Referto della visita");
  testing::WriteFile(dir / "fattura.pdf", std::string("%PDF\0\xFF", 6));
  EmailMessage message = Message();
  message.attachments = {(dir / "referto.txt").string(), (dir / "fattura.pdf").string()};

  SmtpTransport().Deliver(message, Settings(server));

  const auto mails = server.WaitForMessages(1);
  ASSERT_EQ(mails.size(), 1u);
  const std::string& data = mails[0].data;
  EXPECT_NE(data.find("multipart/mixed"), std::string::npos);
  const auto alternative = data.find("multipart/alternative");
  const auto plain = data.find(kHtmlClientNotice);
  const auto html = data.find("text/html");
  const auto first_file = data.find("filename=\"referto.txt\"");
  const auto second_file = data.find("filename=\"fattura.pdf\"");
  ASSERT_NE(alternative, std::string::npos);
  ASSERT_NE(plain, std::string::npos);
  ASSERT_NE(first_file, std::string::npos);
  ASSERT_NE(second_file, std::string::npos);
  EXPECT_LT(alternative, plain);
  EXPECT_LT(plain, html);
  EXPECT_LT(html, first_file);
  EXPECT_LT(first_file, second_file);
  EXPECT_NE(data.find("UmVmZXJ0byBkZWxsYSB2aXNpdGE="), std::string::npos);  // base64 of the text
  EXPECT_NE(data.find("JVBERgD/"), std::string::npos);                      // and of the binary bytes
}

TEST_F(SmtpTransportTest, AnUnreadableAttachmentSendsNothing) {
  SmtpTestServer server;
  EmailMessage message = Message();
  message.attachments = {"/nonexistent/referto.pdf"};
  EXPECT_THROW(SmtpTransport().Deliver(message, Settings(server)), EmailError);
  EXPECT_TRUE(server.Messages().empty());
}

TEST_F(SmtpTransportTest, StartTlsWithATrustedCertificateAndLogin) {
  SmtpServerOptions options;
  options.starttls = options.require_starttls = true;
  options.user = "studio";
  options.password = "s3greta";
  options.auth_required = true;
  SmtpTestServer server(options);
  EmailSettings settings = Settings(server);
  settings.CBSSL = true;
  settings.AuthType = 1;
  settings.Username = "studio";
  settings.Password = "s3greta";

  SmtpTransport({.ca_file = server.cert_file()}).Deliver(Message(), settings);

  const auto mails = server.WaitForMessages(1);
  ASSERT_EQ(mails.size(), 1u);
  EXPECT_TRUE(mails[0].tls);
  EXPECT_EQ(mails[0].login, "studio");
}

TEST_F(SmtpTransportTest, AnUntrustedCertificateIsAFinalFailure) {
  SmtpServerOptions options;
  options.starttls = options.require_starttls = true;
  SmtpTestServer server(options);
  EmailSettings settings = Settings(server);
  settings.CBSSL = true;
  try {
    SmtpTransport().Deliver(Message(), settings);
    FAIL() << "delivered over an untrusted certificate";
  } catch (const EmailDeliveryError& e) {
    EXPECT_FALSE(e.transient());
    EXPECT_NE(std::string(e.what()).find("Certificato"), std::string::npos) << e.what();
  }
  EXPECT_TRUE(server.Messages().empty());
}

TEST_F(SmtpTransportTest, AServerWithoutStartTlsIsRefusedWhenTlsIsAsked) {
  SmtpTestServer server;
  EmailSettings settings = Settings(server);
  settings.CBSSL = true;
  try {
    SmtpTransport().Deliver(Message(), settings);
    FAIL() << "sent in plain text although TLS was asked";
  } catch (const EmailDeliveryError& e) {
    EXPECT_FALSE(e.transient());
    EXPECT_NE(std::string(e.what()).find("STARTTLS"), std::string::npos) << e.what();
  }
  EXPECT_TRUE(server.Messages().empty());
}

TEST_F(SmtpTransportTest, ARefusedLoginNamesTheCauseAndNotThePassword) {
  SmtpServerOptions options;
  options.user = "studio";
  options.password = "giusta";
  options.auth_required = true;
  SmtpTestServer server(options);
  EmailSettings settings = Settings(server);
  settings.AuthType = 1;
  settings.Username = "studio";
  settings.Password = "sbagliata";
  try {
    SmtpTransport().Deliver(Message(), settings);
    FAIL() << "a wrong password was taken";
  } catch (const EmailDeliveryError& e) {
    const std::string text = e.what();
    EXPECT_FALSE(e.transient());
    EXPECT_NE(text.find("utente o password"), std::string::npos) << text;
    EXPECT_NE(text.find("127.0.0.1:" + settings.Port), std::string::npos) << text;
    EXPECT_EQ(text.find("sbagliata"), std::string::npos) << text;
  }
}

TEST_F(SmtpTransportTest, NoServerIsATransientFailureAndNoHostIsAConfigurationError) {
  EmailSettings settings;
  settings.DaEmail = "studio@rossi.it";
  settings.Host = "127.0.0.1";
  settings.Port = "1";  // nothing listens on port 1 of the loopback
  try {
    SmtpTransport().Deliver(Message(), settings);
    FAIL() << "delivered without a server";
  } catch (const EmailDeliveryError& e) {
    EXPECT_TRUE(e.transient()) << e.what();
  }
  settings.Host = "  ";
  try {
    SmtpTransport().Deliver(Message(), settings);
    FAIL();
  } catch (const EmailDeliveryError& e) {
    FAIL() << "a missing host is not a delivery failure: " << e.what();
  } catch (const EmailError& e) {
    EXPECT_STREQ(e.what(), "Configurazione SMTP non trovata");
  }
}

}  // namespace
}  // namespace oxsms::email
