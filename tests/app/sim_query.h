// Reads the simulator's control API over HTTP, as the demo does.
#pragma once

#include <nlohmann/json.hpp>

#include <string>

#include "net/curl_http_client.h"

namespace oxsms::testing {

inline nlohmann::json SimGet(const std::string& base, const std::string& path) {
  net::CurlHttpClient http;
  net::HttpRequest request;
  request.method = "GET";
  request.url = base + path;
  return nlohmann::json::parse(http.Send(request).body);
}

}  // namespace oxsms::testing
