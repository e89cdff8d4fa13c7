// The practice's SMTP server in the benchmark: a small responder on a free
// loopback port that takes every message and counts it. No TLS; AUTH PLAIN
// is accepted as it comes. One thread per connection, as the clients open
// one connection per message.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

namespace oxsms::bench {

class SmtpSink {
 public:
  // Listens on 127.0.0.1 at a port of the system's choosing. Raises
  // std::runtime_error when it cannot.
  SmtpSink();
  ~SmtpSink();  // closes the listening socket and waits for open sessions
  SmtpSink(const SmtpSink&) = delete;
  SmtpSink& operator=(const SmtpSink&) = delete;

  int port() const { return port_; }
  // Messages taken since the start or the last Reset.
  uint64_t messages() const { return messages_.load(); }
  void Reset() { messages_ = 0; }

 private:
  void Accept();
  void Serve(int socket);
  void SessionEnded();

  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<uint64_t> messages_{0};
  std::mutex mutex_;
  std::condition_variable idle_;
  int sessions_ = 0;
  std::thread acceptor_;
};

}  // namespace oxsms::bench
