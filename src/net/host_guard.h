// Keeps an unattended run from waiting on a host that does not answer: after
// a transport failure (no connection, time-out, TLS error) to a host, every
// further request to that host fails at once for a pause, instead of waiting
// out its own time-outs line after line. Replies of any HTTP status count as
// answers and clear the pause. The owner calls ForgetFailures where a new
// piece of work begins (a kind of send), so one failure costs only the work
// it happened in.
#pragma once

#include <chrono>
#include <map>
#include <string>
#include <utility>

#include "net/http_client.h"
#include "platform/monotonic_clock.h"

namespace oxsms::net {

class HostGuardHttpClient : public HttpClient {
 public:
  // `elapsed` measures the pauses; it must outlive the client.
  HostGuardHttpClient(HttpClient& inner, std::chrono::seconds pause,
                      const platform::MonotonicClock& elapsed);

  // Raises HttpError "Servizio non raggiungibile: <host> ..." without a
  // request while the host is paused; otherwise as the inner client.
  HttpResponse Send(const HttpRequest& request) override;
  void SetWaitingWork(WaitingWork work) override { inner_.SetWaitingWork(std::move(work)); }
  // Every host is asked again at the next request.
  void ForgetFailures() { paused_.clear(); }

 private:
  HttpClient& inner_;
  std::chrono::seconds pause_;
  const platform::MonotonicClock& elapsed_;
  struct Failure {
    std::chrono::steady_clock::time_point until;
    std::string message;
  };
  std::map<std::string, Failure> paused_;
};

}  // namespace oxsms::net
