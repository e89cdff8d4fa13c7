// Talks to the simulator's control API over HTTP, as the demo does: reads
// what arrived, arms and clears faults, changes accounts and the like.
#pragma once

#include <nlohmann/json.hpp>

#include <stdexcept>
#include <string>

#include "net/curl_http_client.h"

namespace oxsms::testing {

// The JSON reply of a control call; raises std::runtime_error when the
// simulator refused the call, so a mistyped fault never passes unnoticed.
inline nlohmann::json SimCall(const std::string& base, const std::string& method,
                              const std::string& path,
                              const nlohmann::json& body = nlohmann::json()) {
  net::CurlHttpClient http;
  net::HttpRequest request;
  request.method = method;
  request.url = base + path;
  if (!body.is_null()) {
    request.body = body.dump();
    request.headers.push_back({"Content-Type", "application/json"});
  }
  const net::HttpResponse reply = http.Send(request);
  if (reply.status != 200) {
    throw std::runtime_error(method + " " + path + ": HTTP " + std::to_string(reply.status) +
                             " " + reply.body);
  }
  return nlohmann::json::parse(reply.body);
}

inline nlohmann::json SimGet(const std::string& base, const std::string& path) {
  return SimCall(base, "GET", path);
}

inline nlohmann::json SimPost(const std::string& base, const std::string& path,
                              const nlohmann::json& body) {
  return SimCall(base, "POST", path, body);
}

// Arms one fault (tools/maker-sim/faults.h for its members).
inline void ArmFault(const std::string& base, const nlohmann::json& fault) {
  SimPost(base, "/_sim/faults", fault);
}

// Clears every armed fault.
inline void ClearFaults(const std::string& base) { SimCall(base, "DELETE", "/_sim/faults"); }

// How often `what` occurs in `text`.
inline int CountOf(const std::string& text, const std::string& what) {
  int n = 0;
  for (auto p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
  return n;
}

}  // namespace oxsms::testing
