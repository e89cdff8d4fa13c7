// Every request the simulated services received, in arrival order, for the
// control API ("/_sim/requests"). Not thread-safe: the simulator calls it
// with the state lock held.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include <httplib.h>
#include <nlohmann/json.hpp>

namespace oxsms::makersim {

struct RecordedRequest {
  long long seq = 0;
  std::string time;
  std::string method;
  std::string path;
  std::string query;  // the target's part after '?', without it
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;  // raw bytes as received
  int remote_port = 0;
};

class RequestLog {
 public:
  void Record(const httplib::Request& request);
  void Clear();
  // The records as JSON; a non-empty path keeps only that path. The body
  // appears as "body" (text: UTF-8 kept, else read as Windows-1252) and as
  // "body_base64" (the exact bytes).
  nlohmann::json ToJson(const std::string& path = "") const;
  const std::vector<RecordedRequest>& records() const { return records_; }

 private:
  std::vector<RecordedRequest> records_;
  long long next_seq_ = 1;
};

}  // namespace oxsms::makersim
