#include "simulator_counts.h"

#include <stdexcept>

#include <nlohmann/json.hpp>

namespace oxsms::bench {
namespace {

bool IsLinkCreation(const std::string& path) {
  return path.find("conferma_appuntamenti/crea.json") != std::string::npos ||
         path.find("/rest/crea_url_pagamento.json") != std::string::npos;
}

}  // namespace

std::string SimulatorControl::Call(const std::string& method, const std::string& path) {
  net::HttpRequest request;
  request.method = method;
  request.url = base_url_ + path;
  request.headers = {{"Content-Type", "application/json"}};
  const net::HttpResponse response = http_.Send(request);
  if (response.status != 200) {
    throw std::runtime_error("simulator " + path + ": HTTP " + std::to_string(response.status));
  }
  return response.body;
}

void SimulatorControl::Reset() { Call("POST", "/_sim/reset"); }

SimulatorCounts SimulatorControl::Counts() {
  SimulatorCounts counts;
  counts.sms_lines = nlohmann::json::parse(Call("GET", "/_sim/sms")).size();
  counts.whatsapp_recipients = nlohmann::json::parse(Call("GET", "/_sim/whatsapp")).size();
  for (const auto& request : nlohmann::json::parse(Call("GET", "/_sim/requests"))) {
    const std::string path = request.at("path").get<std::string>();
    ++counts.http_requests;
    ++counts.by_path[path];
    if (IsLinkCreation(path)) ++counts.link_requests;
  }
  return counts;
}

}  // namespace oxsms::bench
