// The simulator's own control API: initial state, reset, recording, faults.
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include "tools/maker-sim/sim_fixture.h"

namespace oxsms::testing {
namespace {

using nlohmann::json;

json CustomState() {
  return {{"api_key", ""},
          {"sms",
           {{"accounts", {{{"user", "studio"}, {"pwd", "s3"}, {"idcliente", 42}, {"credit", 5}}}},
            {"aliases", json::array()}}}};
}

class SimControlTest : public SimFixture {
 protected:
  SimControlTest() : SimFixture(CustomState()) {}
};

TEST_F(SimControlTest, InitialStateReplacesTheDefaultsAndResetReturnsToIt) {
  json state = Control("GET", "/_sim/state");
  ASSERT_EQ(state["sms"]["accounts"].size(), 1u);
  EXPECT_EQ(state["sms"]["accounts"][0]["user"], "studio");

  PostInvalue("/smsox/singlesmstoterver.json",
              {{"operation", "TEXT"}, {"rcpt", "+393331234567"}, {"from", "X"}, {"data", "a"}, {"idcliente", 42}});
  Control("POST", "/_sim/faults", {{"path", "*"}, {"kind", "http500"}});
  EXPECT_EQ(Credit("studio"), 4);

  Control("POST", "/_sim/reset");
  EXPECT_EQ(Credit("studio"), 5);
  EXPECT_TRUE(Control("GET", "/_sim/sms").empty());
  EXPECT_TRUE(Control("GET", "/_sim/requests").empty());
  EXPECT_TRUE(Control("GET", "/_sim/faults").empty());
}

// Sends `text` over a new connection to the loopback port and returns what
// comes back within two seconds.
std::string RawExchange(int port, const std::string& text) {
  int sock = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  timeval wait{2, 0};
  setsockopt(sock, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
  std::string reply;
  if (connect(sock, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      send(sock, text.data(), text.size(), 0) == static_cast<ssize_t>(text.size())) {
    char buffer[4096];
    ssize_t got = recv(sock, buffer, sizeof buffer, 0);
    if (got > 0) reply.assign(buffer, static_cast<size_t>(got));
  }
  close(sock);
  return reply;
}

TEST_F(SimControlTest, ResetWithoutABodyAnswersAtOnce) {
  Control("POST", "/_sim/faults", {{"path", "*"}, {"kind", "http500"}});
  // As curl -X POST sends it: no Content-Length, the connection kept open.
  const std::string reply = RawExchange(
      sim_.port(), "POST /_sim/reset HTTP/1.1\r\nHost: 127.0.0.1\r\nAccept: */*\r\n\r\n");
  EXPECT_EQ(reply.rfind("HTTP/1.1 200", 0), 0u) << reply;
  EXPECT_TRUE(Control("GET", "/_sim/faults").empty());
}

TEST_F(SimControlTest, EmptyApiKeyAcceptsAnyKey) {
  Control("POST", "/_sim/aliases", {{"alias", "STUDIO"}});
  net::HttpResponse response = Post("/home/verifica_alias.json", R"({"alias":"STUDIO"})");
  EXPECT_EQ(json::parse(response.body)["codice"], 1);
}

class SimDefaultTest : public SimFixture {};

TEST_F(SimDefaultTest, DefaultStateHasTheDemoAccountAndAlias) {
  json state = makersim::MakerSimulator::DefaultState();
  EXPECT_EQ(state["sms"]["accounts"][0],
            json({{"user", "demo"}, {"pwd", "demo"}, {"idcliente", 1001}, {"credit", 1000}, {"codice", 0},
                  {"message", ""}}));
  EXPECT_EQ(state["sms"]["aliases"][0]["alias"], "STUDIO");
  EXPECT_EQ(state["sms"]["aliases"][0]["codice"], 1);
  EXPECT_EQ(Control("GET", "/_sim/state"), state);
}

TEST_F(SimDefaultTest, EveryServiceRequestIsRecordedButControlCallsAreNot) {
  Post("/smsox/verificautente.json", InvalueBody({{"user", "demo"}, {"pwd", "demo"}}));
  Post("/nessuno.json", "x");
  Control("GET", "/_sim/sms");
  json requests = Control("GET", "/_sim/requests");
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0]["method"], "POST");
  EXPECT_EQ(requests[0]["path"], "/smsox/verificautente.json");
  EXPECT_EQ(requests[0]["headers"]["Content-Type"], "application/json");
  EXPECT_EQ(requests[0]["body"], R"({"invalue":"{\"pwd\":\"demo\",\"user\":\"demo\"}"})");
  EXPECT_FALSE(requests[0]["time"].get<std::string>().empty());
  EXPECT_EQ(requests[1]["path"], "/nessuno.json");
  EXPECT_LT(requests[0]["seq"], requests[1]["seq"]);
  EXPECT_EQ(Control("GET", "/_sim/requests?path=/nessuno.json").size(), 1u);
}

TEST_F(SimDefaultTest, MalformedControlInputIsRefusedAndChangesNothing) {
  EXPECT_TRUE(Control("POST", "/_sim/faults", {{"path", "/x"}, {"kind", "boh"}}).contains("error"));
  EXPECT_TRUE(Control("POST", "/_sim/faults", {{"path", "/x"}, {"kind", "delay"}}).contains("error"));
  EXPECT_TRUE(Control("POST", "/_sim/accounts", {{"user", "x"}}).contains("error"));
  EXPECT_TRUE(Control("POST", "/_sim/state", {{"sms", {{"accounts", {{{"user", 1}}}}}}}).contains("error"));
  EXPECT_TRUE(Control("GET", "/_sim/faults").empty());
  EXPECT_EQ(Control("GET", "/_sim/state"), makersim::MakerSimulator::DefaultState());
}

TEST_F(SimDefaultTest, FaultOnOnePathLeavesTheOthersAlone) {
  Control("POST", "/_sim/faults", {{"path", "/smsox/singlesmstoterver.json"}, {"kind", "http500"}});
  EXPECT_EQ(Post("/smsox/singlesmstoterver.json", "{}").status, 500);
  EXPECT_EQ(Post("/smsox/singlesmstoterver.json", "{}").status, 500);  // no "times": until cleared
  EXPECT_EQ(Post("/smsox/verificautente.json", InvalueBody({{"user", "demo"}, {"pwd", "demo"}})).status, 200);
  Control("DELETE", "/_sim/faults");
  EXPECT_EQ(Post("/smsox/singlesmstoterver.json", "{}").status, 400);
}

TEST(MakerSimulator, StopCutsPendingDelaysShort) {
  makersim::MakerSimulator sim;
  sim.Start();
  net::CurlHttpClient client;
  net::HttpRequest arm;
  arm.url = sim.base_url() + "/_sim/faults";
  arm.body = R"({"path":"/lento","kind":"delay","ms":30000})";
  ASSERT_EQ(client.Send(arm).status, 200);

  std::thread caller([&] {
    net::HttpRequest slow;
    slow.url = sim.base_url() + "/lento";
    slow.total_timeout = std::chrono::milliseconds(100);
    EXPECT_THROW(client.Send(slow), net::HttpError);
  });
  caller.join();
  auto start = std::chrono::steady_clock::now();
  sim.Stop();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_THROW(sim.Start(), std::runtime_error);
}

}  // namespace
}  // namespace oxsms::testing
