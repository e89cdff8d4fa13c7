#include "smtp_sink.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <stdexcept>
#include <string>
#include <string_view>

namespace oxsms::bench {
namespace {

bool SendAll(int socket, std::string_view text) {
  while (!text.empty()) {
    const ssize_t n = ::send(socket, text.data(), text.size(), MSG_NOSIGNAL);
    if (n <= 0) return false;
    text.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// The command word of a line, upper case ("MAIL FROM:<a>" -> "MAIL").
std::string Verb(std::string_view line) {
  std::string verb;
  for (char c : line) {
    if (c == ' ' || c == '\r') break;
    verb += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  return verb;
}

// Lines of one connection, CR LF (or LF) ended, without the line end.
class LineReader {
 public:
  explicit LineReader(int socket) : socket_(socket) {}
  bool Next(std::string& line) {
    for (;;) {
      const auto end = buffer_.find('\n', start_);
      if (end != std::string::npos) {
        std::size_t stop = end;
        if (stop > start_ && buffer_[stop - 1] == '\r') --stop;
        line.assign(buffer_, start_, stop - start_);
        start_ = end + 1;
        return true;
      }
      buffer_.erase(0, start_);
      start_ = 0;
      char chunk[16384];
      const ssize_t n = ::recv(socket_, chunk, sizeof chunk, 0);
      if (n <= 0) return false;
      buffer_.append(chunk, static_cast<std::size_t>(n));
    }
  }

 private:
  int socket_;
  std::string buffer_;
  std::size_t start_ = 0;
};

// Where a session is: commands, the AUTH PLAIN credentials, or the text.
enum class State { kCommand, kCredentials, kData };

// The reply to a line outside the message text; empty ends the session.
std::string ReplyTo(const std::string& line, State& state) {
  if (state == State::kCredentials) {
    state = State::kCommand;
    return "235 Authentication successful\r\n";
  }
  const std::string verb = Verb(line);
  if (verb == "EHLO") return "250-localhost\r\n250-AUTH PLAIN\r\n250 8BITMIME\r\n";
  if (verb == "HELO" || verb == "MAIL" || verb == "RCPT" || verb == "RSET" || verb == "NOOP") {
    return "250 OK\r\n";
  }
  if (verb == "AUTH") {
    // "AUTH PLAIN <credentials>" at once, or "AUTH PLAIN" then the credentials.
    if (line.find(' ', 5) != std::string::npos) return "235 Authentication successful\r\n";
    state = State::kCredentials;
    return "334 \r\n";
  }
  if (verb == "DATA") {
    state = State::kData;
    return "354 End data with <CR><LF>.<CR><LF>\r\n";
  }
  if (verb == "QUIT") return {};
  return "502 Command not implemented\r\n";
}

}  // namespace

SmtpSink::SmtpSink() {
  listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
  if (listener_ < 0) throw std::runtime_error("smtp sink: no socket");
  const int yes = 1;
  ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
      ::listen(listener_, 128) != 0 ||
      ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    ::close(listener_);
    throw std::runtime_error("smtp sink: cannot listen on the loopback");
  }
  port_ = ntohs(address.sin_port);
  acceptor_ = std::thread([this] { Accept(); });
}

SmtpSink::~SmtpSink() {
  stopping_ = true;
  ::shutdown(listener_, SHUT_RDWR);
  acceptor_.join();
  ::close(listener_);
  std::unique_lock<std::mutex> lock(mutex_);
  idle_.wait(lock, [this] { return sessions_ == 0; });
}

void SmtpSink::Accept() {
  while (!stopping_) {
    const int socket = ::accept(listener_, nullptr, nullptr);
    if (socket < 0) {
      if (stopping_) return;
      continue;
    }
    const int yes = 1;
    ::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ++sessions_;
    }
    std::thread([this, socket] {
      Serve(socket);
      ::close(socket);
      SessionEnded();
    }).detach();
  }
}

void SmtpSink::SessionEnded() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (--sessions_ == 0) idle_.notify_all();
}

void SmtpSink::Serve(int socket) {
  if (!SendAll(socket, "220 localhost ESMTP sink\r\n")) return;
  LineReader reader(socket);
  std::string line;
  State state = State::kCommand;
  while (reader.Next(line)) {
    if (state == State::kData) {
      if (line != ".") continue;
      state = State::kCommand;
      ++messages_;
      if (!SendAll(socket, "250 OK: queued\r\n")) return;
      continue;
    }
    const std::string reply = ReplyTo(line, state);
    if (reply.empty()) {
      SendAll(socket, "221 Bye\r\n");
      return;
    }
    if (!SendAll(socket, reply)) return;
  }
}

}  // namespace oxsms::bench
