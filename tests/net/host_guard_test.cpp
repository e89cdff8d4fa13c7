#include "net/host_guard.h"

#include <gtest/gtest.h>

#include "support/manual_monotonic_clock.h"

namespace oxsms::net {
namespace {

using namespace std::chrono_literals;

// Answers or fails by host, and counts what reached it.
struct ScriptedClient : HttpClient {
  int calls = 0;
  bool down = true;
  HttpResponse Send(const HttpRequest& request) override {
    ++calls;
    if (down && request.url.find("down.example") != std::string::npos) {
      throw HttpError("Connessione al server non riuscita (" + request.url + ")");
    }
    return {500, "errore", "text/plain"};
  }
};

HttpRequest To(const std::string& url) {
  HttpRequest r;
  r.url = url;
  return r;
}

TEST(HostGuardTest, AHostThatFailedIsNotAskedAgainUntilThePauseEnds) {
  ScriptedClient inner;
  testing::ManualMonotonicClock elapsed;
  HostGuardHttpClient guard(inner, 600s, elapsed);

  EXPECT_THROW(guard.Send(To("https://down.example/c/1")), HttpError);
  EXPECT_THROW(guard.Send(To("https://down.example/c/2")), HttpError);
  EXPECT_EQ(inner.calls, 1) << "the second request must fail without waiting on the host";

  // Other hosts are not affected, and an HTTP error status is an answer.
  EXPECT_EQ(guard.Send(To("https://up.example/x")).status, 500);
  EXPECT_EQ(inner.calls, 2);

  elapsed.Advance(601s);
  inner.down = false;
  EXPECT_EQ(guard.Send(To("https://down.example/c/3")).status, 500);
  EXPECT_EQ(inner.calls, 3);
}

TEST(HostGuardTest, ForgottenFailuresAreAskedAgainAtOnce) {
  ScriptedClient inner;
  testing::ManualMonotonicClock elapsed;
  HostGuardHttpClient guard(inner, 60s, elapsed);
  EXPECT_THROW(guard.Send(To("https://down.example/a")), HttpError);
  EXPECT_THROW(guard.Send(To("https://down.example/b")), HttpError);
  EXPECT_EQ(inner.calls, 1);

  guard.ForgetFailures();
  inner.down = false;
  EXPECT_EQ(guard.Send(To("https://down.example/c")).status, 500);
  EXPECT_EQ(inner.calls, 2);
}

TEST(HostGuardTest, PausedErrorNamesTheHostAndTheFirstFailure) {
  ScriptedClient inner;
  testing::ManualMonotonicClock elapsed;
  HostGuardHttpClient guard(inner, 60s, elapsed);
  EXPECT_THROW(guard.Send(To("https://down.example/a")), HttpError);
  try {
    guard.Send(To("https://down.example/b"));
    FAIL() << "no error";
  } catch (const HttpError& e) {
    const std::string message = e.what();
    EXPECT_NE(message.find("Servizio non raggiungibile: down.example"), std::string::npos);
    EXPECT_NE(message.find("Connessione al server non riuscita"), std::string::npos);
  }
}

}  // namespace
}  // namespace oxsms::net
