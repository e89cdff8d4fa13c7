// A simulator of the maker's services on a free loopback port and a curl
// client to talk to it, for tests that go over real HTTP.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include <nlohmann/json.hpp>

#include "maker-sim/maker_simulator.h"
#include "net/curl_http_client.h"

namespace oxsms::testing {

// The body the SMS gateway's clients send: {"invalue": compact JSON of the
// request} with accented letters unescaped, in Windows-1252 bytes.
std::string InvalueBody(const nlohmann::json& request);

class SimFixture : public ::testing::Test {
 protected:
  explicit SimFixture(nlohmann::json initial_state = nlohmann::json::object());
  void SetUp() override;

  std::string Url(const std::string& path) const { return sim_.base_url() + path; }
  net::HttpResponse Post(const std::string& path, const std::string& body,
                         std::vector<std::pair<std::string, std::string>> headers = {
                             {"Content-Type", "application/json"}, {"Accept", "application/json"}});
  // Posts the envelope and returns the reply's "outvalue" (fails the test
  // when the reply has none).
  std::string PostInvalue(const std::string& path, const nlohmann::json& request);
  // A control call; the reply parsed as JSON.
  nlohmann::json Control(const std::string& method, const std::string& path,
                         const nlohmann::json& body = nullptr);

  long long Credit(const std::string& user);

  makersim::MakerSimulator sim_;  // declared first: outlives the client's connections
  net::CurlHttpClient client_;
};

}  // namespace oxsms::testing
