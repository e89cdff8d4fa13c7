#include "support/smtp_test_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <thread>

#include <nlohmann/json.hpp>

extern char** environ;

namespace oxsms::testing {
namespace {

constexpr const char* kPython = "/usr/bin/python3";

// The first line the child prints, or "" when none came in time.
std::string ReadFirstLine(int fd, std::chrono::milliseconds timeout) {
  std::string line;
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (line.find('\n') == std::string::npos) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
    if (left.count() <= 0) return {};
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left.count())) <= 0) return {};
    char buffer[64];
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got <= 0) return {};
    line.append(buffer, static_cast<std::size_t>(got));
  }
  return line.substr(0, line.find('\n'));
}

}  // namespace

int FreeLoopbackPort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) throw std::runtime_error("socket failed");
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  const bool bound = bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                     getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0;
  close(fd);
  if (!bound) throw std::runtime_error("no free loopback port");
  return ntohs(address.sin_port);
}

bool MakeTestCertificate(const std::string& cert_file, const std::string& key_file) {
  const std::string command =
      "openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=localhost"
      " -addext subjectAltName=IP:127.0.0.1,DNS:localhost -keyout '" + key_file + "' -out '" +
      cert_file + "' >/dev/null 2>&1";
  return std::system(command.c_str()) == 0;
}

bool SmtpTestServer::Available() {
  return std::system("/usr/bin/python3 -c 'import aiosmtpd' >/dev/null 2>&1") == 0 &&
         std::system("openssl version >/dev/null 2>&1") == 0;
}

SmtpTestServer::SmtpTestServer(SmtpServerOptions options) {
  const std::string mail_dir = (dir_ / "mail").string();
  std::filesystem::create_directories(mail_dir);
  std::vector<std::string> args{kPython, SMTP_SERVER_SCRIPT, "--dir", mail_dir};
  if (options.starttls) {
    if (!MakeTestCertificate(cert_file_path(), (dir_ / "key.pem").string())) {
      throw std::runtime_error("openssl cannot create the test certificate");
    }
    tls_ = true;
    args.insert(args.end(), {"--tlscert", cert_file_path(), "--tlskey", (dir_ / "key.pem").string()});
    if (options.require_starttls) args.push_back("--require-starttls");
  }
  if (!options.user.empty()) {
    args.insert(args.end(), {"--user", options.user, "--password", options.password});
    if (options.auth_required) args.push_back("--auth-required");
  }
  if (options.port != 0) args.insert(args.end(), {"--port", std::to_string(options.port)});
  for (const std::string& address : options.defer) args.insert(args.end(), {"--defer", address});
  int out[2];
  if (pipe(out) != 0) throw std::runtime_error("pipe failed");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, (dir_ / "stderr.txt").c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::vector<char*> argv;
  for (auto& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  const int spawned = posix_spawn(&pid_, kPython, &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  if (spawned != 0) {
    close(out[0]);
    pid_ = -1;
    throw std::runtime_error("cannot start the SMTP test server");
  }
  const std::string line = ReadFirstLine(out[0], std::chrono::seconds(15));
  close(out[0]);
  port_ = std::atoi(line.c_str());
  if (port_ <= 0) throw std::runtime_error("the SMTP test server did not start");
}

SmtpTestServer::~SmtpTestServer() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
}

std::string SmtpTestServer::cert_file() const { return tls_ ? cert_file_path() : std::string(); }

std::string SmtpTestServer::cert_file_path() const { return (dir_ / "cert.pem").string(); }

std::vector<ReceivedMail> SmtpTestServer::Messages() const {
  std::vector<std::filesystem::path> sides;
  for (const auto& entry : std::filesystem::directory_iterator(dir_ / "mail")) {
    if (entry.path().extension() == ".json") sides.push_back(entry.path());
  }
  std::sort(sides.begin(), sides.end());
  std::vector<ReceivedMail> mails;
  for (const auto& side : sides) {
    const auto envelope = nlohmann::json::parse(ReadFile(side));
    ReceivedMail mail;
    mail.mail_from = envelope.value("mail_from", "");
    mail.rcpt_tos = envelope.value("rcpt_tos", std::vector<std::string>{});
    if (envelope["login"].is_string()) mail.login = envelope["login"].get<std::string>();
    mail.tls = envelope.value("tls", false);
    auto data = side;
    mail.data = ReadFile(data.replace_extension(".eml"));
    mails.push_back(std::move(mail));
  }
  return mails;
}

std::vector<ReceivedMail> SmtpTestServer::WaitForMessages(std::size_t count,
                                                          std::chrono::milliseconds timeout) const {
  const auto end = std::chrono::steady_clock::now() + timeout;
  auto mails = Messages();
  while (mails.size() < count && std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    mails = Messages();
  }
  return mails;
}

}  // namespace oxsms::testing
