// HTTP(S) requests to the maker's services. One interface, so the channels
// can be pointed at the simulator in tests exactly as at the real hosts.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/error.h"

namespace oxsms::net {

struct HttpRequest {
  std::string method = "POST";
  std::string url;
  // Header names and values; a value carrying CR or LF is refused.
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;
  std::chrono::milliseconds connect_timeout{10000};
  // A transfer during which no byte moves (sending, or waiting for the
  // reply) for this long is given up: a stalled server, not a large upload
  // on a slow line. Whole seconds, at least one.
  std::chrono::seconds stall_timeout{60};
  // A limit on the whole request; zero = none (a slow but moving transfer
  // may take as long as it needs).
  std::chrono::milliseconds total_timeout{0};
};

struct HttpResponse {
  long status = 0;
  std::string body;
  std::string content_type;
};

// A transport failure (no connection, timeout, TLS error) or a refused
// request; the message names the address, never a credential.
class HttpError : public platform::Error {
 public:
  explicit HttpError(const std::string& message, bool unanswered = false)
      : platform::Error(platform::ErrorCategory::kRemoteService, message),
        unanswered_(unanswered) {}
  // The request went out whole and no reply came within the time-out: the
  // service may have carried it out, so sending it again may do it twice.
  bool Unanswered() const { return unanswered_; }

 private:
  bool unanswered_;
};

// Work the calling thread can do while a request waits for its reply: one
// short step per call, true when it did one, false when there was nothing to
// do (it is not asked again during that request). It must not raise and must
// not send requests of its own.
using WaitingWork = std::function<bool()>;

class HttpClient {
 public:
  virtual ~HttpClient() = default;
  // Sends the request. Raises HttpError on a transport failure or a refused
  // redirect; an HTTP error status is returned, not raised.
  virtual HttpResponse Send(const HttpRequest& request) = 0;
  // The work to do while later requests wait for their replies; empty for
  // none. A client that cannot wait that way ignores it.
  virtual void SetWaitingWork(WaitingWork work) { static_cast<void>(work); }
};

}  // namespace oxsms::net
