#include "tools/maker-sim/sim_fixture.h"

#include "platform/code_page.h"

namespace oxsms::testing {

using nlohmann::json;

std::string InvalueBody(const json& request) {
  json envelope{{"invalue", request.dump()}};
  return platform::Utf8ToCp1252(envelope.dump());
}

SimFixture::SimFixture(json initial_state) : sim_(std::move(initial_state)) {}

void SimFixture::SetUp() { sim_.Start(); }

net::HttpResponse SimFixture::Post(const std::string& path, const std::string& body,
                                   std::vector<std::pair<std::string, std::string>> headers) {
  net::HttpRequest request;
  request.url = Url(path);
  request.body = body;
  request.headers = std::move(headers);
  return client_.Send(request);
}

std::string SimFixture::PostInvalue(const std::string& path, const json& request) {
  net::HttpResponse response = Post(path, InvalueBody(request));
  json reply = json::parse(response.body, nullptr, false);
  EXPECT_TRUE(reply.is_object() && reply.contains("outvalue")) << response.body;
  return reply.is_object() ? reply.value("outvalue", "") : "";
}

json SimFixture::Control(const std::string& method, const std::string& path, const json& body) {
  net::HttpRequest request;
  request.method = method;
  request.url = Url(path);
  if (!body.is_null()) {
    request.body = body.dump();
    request.headers = {{"Content-Type", "application/json"}};
  }
  net::HttpResponse response = client_.Send(request);
  json reply = json::parse(response.body, nullptr, false);
  EXPECT_FALSE(reply.is_discarded()) << method << " " << path << ": " << response.body;
  return reply;
}

long long SimFixture::Credit(const std::string& user) {
  json state = Control("GET", "/_sim/state");
  for (const auto& account : state["sms"]["accounts"]) {
    if (account["user"] == user) return account["credit"].get<long long>();
  }
  ADD_FAILURE() << "no account " << user;
  return -1;
}

}  // namespace oxsms::testing
