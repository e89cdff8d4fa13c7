// What the simulated maker services received during one measured run, read
// through the simulator's control API.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "net/http_client.h"

namespace oxsms::bench {

struct SimulatorCounts {
  uint64_t sms_lines = 0;            // SMS the gateway accepted
  uint64_t whatsapp_recipients = 0;  // WhatsApp template messages accepted
  uint64_t link_requests = 0;        // confirmation-link and payment-link creations
  uint64_t http_requests = 0;        // every request to a service path
  uint64_t emails = 0;               // messages the SMTP sink took (not the simulator's)
  std::map<std::string, uint64_t> by_path;
};

class SimulatorControl {
 public:
  SimulatorControl(net::HttpClient& http, std::string base_url)
      : http_(http), base_url_(std::move(base_url)) {}

  // Back to the state the simulator started with; requests, messages and
  // links forgotten.
  void Reset();
  SimulatorCounts Counts();

 private:
  std::string Call(const std::string& method, const std::string& path);

  net::HttpClient& http_;
  std::string base_url_;
};

}  // namespace oxsms::bench
