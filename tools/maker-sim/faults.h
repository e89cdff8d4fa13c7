// Faults the tests arm on a path of the simulated services: a delay before
// the normal reply, an HTTP 500, an empty body, a body that is not JSON, a
// connection dropped before the reply is complete, a redirect (to a path or
// to any absolute address, another host included), the normal reply sent a
// byte at a time, or a reply of the test's own (a refusal the service would
// give).
// Not thread-safe: the simulator calls it with the state lock held.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace oxsms::makersim {

enum class FaultKind { kDelay, kHttp500, kEmpty, kNonJson, kRefuse, kRedirect, kTrickle, kReply };

struct Fault {
  std::string path;  // exact request path, or "*" for every service path
  FaultKind kind = FaultKind::kHttp500;
  int ms = 0;           // delay; pause between the bytes of trickle
  std::string message;  // body of http500, nonjson and reply; empty = a stock text
  int times = 0;        // requests it still applies to; 0 = until cleared
  std::string location; // redirect target (path or absolute address)
  int status = 302;     // redirect status

  // Raises BadRequest on an unknown kind or a missing member.
  static Fault FromJson(const nlohmann::json& value);
  nlohmann::json ToJson() const;
};

class FaultList {
 public:
  void Add(Fault fault) { faults_.push_back(std::move(fault)); }
  // Removes every fault, or those of one path.
  void Clear(const std::string& path = "");
  // The first fault that applies to the path, counted as used once.
  std::optional<Fault> Take(const std::string& path);
  nlohmann::json ToJson() const;

 private:
  std::vector<Fault> faults_;
};

}  // namespace oxsms::makersim
