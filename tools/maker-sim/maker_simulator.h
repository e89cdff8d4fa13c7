// A stand-in for the maker's remote services on a local HTTP port, for the
// tests and the demo. Each service (today the SMS gateway) answers on the
// paths the real one uses; the control API under "/_sim/" shows what arrived,
// sets up accounts and aliases, arms faults and resets the state (see
// README.md).
#pragma once

#include <memory>
#include <string>

#include <nlohmann/json.hpp>

namespace oxsms::makersim {

class MakerSimulator {
 public:
  // The state document: "api_key" and one member per service; a member that
  // is absent gives that service its default state. Raises
  // BadRequest on a malformed document.
  explicit MakerSimulator(nlohmann::json initial_state = nlohmann::json::object());
  ~MakerSimulator();
  MakerSimulator(const MakerSimulator&) = delete;
  MakerSimulator& operator=(const MakerSimulator&) = delete;

  // The default state document of every service.
  static nlohmann::json DefaultState();

  // Listens on host:port (port 0 = a free port) and serves on a background
  // thread until Stop. Returns once requests are being accepted. Raises
  // std::runtime_error when the port cannot be bound; may be called once.
  void Start(int port = 0, const std::string& host = "127.0.0.1");
  // Stops serving; pending delays are cut short. Safe to call twice.
  void Stop();

  int port() const;
  // "http://host:port", without a final slash.
  std::string base_url() const;

  // The current state document, as GET "/_sim/state" gives it.
  nlohmann::json State() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace oxsms::makersim
