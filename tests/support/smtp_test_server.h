// A real SMTP server for the tests: scripts/smtp-server.py (aiosmtpd,
// run by /usr/bin/python3) as a child process on a free loopback port, with
// STARTTLS on a certificate made at start and login with a given account
// when asked. Every message it takes is kept as received.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace oxsms::testing {

struct SmtpServerOptions {
  bool starttls = false;          // offer STARTTLS with a fresh certificate
  bool require_starttls = false;  // refuse everything but EHLO and STARTTLS before TLS
  std::string user;               // non-empty: AUTH PLAIN and LOGIN with this account
  std::string password;
  bool auth_required = false;     // refuse mail before login
  int port = 0;                   // 0: a free port
  // Addresses whose first RCPT TO is answered "451 try again later".
  std::vector<std::string> defer;
};

struct ReceivedMail {
  std::string mail_from;
  std::vector<std::string> rcpt_tos;
  std::string login;  // the user that logged in; empty for none
  bool tls = false;   // the message came over TLS
  std::string data;   // the message as received (headers and body)
};

class SmtpTestServer {
 public:
  // Starts the server and waits until it accepts connections. Raises
  // std::runtime_error when it cannot start (see Available).
  explicit SmtpTestServer(SmtpServerOptions options = {});
  ~SmtpTestServer();  // stops the child
  SmtpTestServer(const SmtpTestServer&) = delete;
  SmtpTestServer& operator=(const SmtpTestServer&) = delete;

  // Whether /usr/bin/python3 has aiosmtpd and openssl is there.
  static bool Available();

  int port() const { return port_; }
  // The server's certificate (PEM), to trust as a CA file; empty without TLS.
  std::string cert_file() const;
  // The messages taken so far, oldest first.
  std::vector<ReceivedMail> Messages() const;
  // Waits until `count` messages were taken or the timeout passed.
  std::vector<ReceivedMail> WaitForMessages(std::size_t count,
                                            std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;

 private:
  std::string cert_file_path() const;

  TempDir dir_;
  pid_t pid_ = -1;
  int port_ = 0;
  bool tls_ = false;
};

// A loopback port that nothing listens on now (taken and given back), for a
// server started later.
int FreeLoopbackPort();

// A certificate and key for "localhost" and 127.0.0.1 made with openssl; false
// when openssl failed.
bool MakeTestCertificate(const std::string& cert_file, const std::string& key_file);

}  // namespace oxsms::testing
