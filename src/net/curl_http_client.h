// HttpClient over libcurl. One object keeps one curl handle, so consecutive
// requests reuse the open connection and the TLS session (about 200 us per
// loopback call instead of 860 us with a fresh handle, and far less over HTTPS).
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>

#include "net/http_client.h"
#include "platform/activity_log.h"

struct curl_slist;

namespace oxsms::net {

struct CurlOptions {
  // A file of trusted CA certificates (PEM); empty = the system's bundle.
  // Certificates and host names are verified always.
  std::string ca_file;
  // Redirects of a GET or HEAD followed before the request fails.
  long max_redirects = 10;
  // A larger reply body is refused, so a faulty server cannot exhaust memory.
  std::size_t max_body_bytes = 32u * 1024u * 1024u;
  // The longest a transfer may stall (HttpRequest::stall_timeout), whatever
  // a request asks; zero = as each request asks.
  std::chrono::seconds max_stall{0};
  // Where waiting work that raised is recorded (the request goes on without
  // it); none = not recorded. Must outlive the client.
  platform::ActivityLog* log = nullptr;
};

class CurlHttpClient : public HttpClient {
 public:
  explicit CurlHttpClient(CurlOptions options = {});
  ~CurlHttpClient() override;
  CurlHttpClient(const CurlHttpClient&) = delete;
  CurlHttpClient& operator=(const CurlHttpClient&) = delete;

  // Sends the request (see HttpClient). Header values are cleaned with
  // CleanHeaderValue; a value still holding CR or LF, an invalid header name,
  // a transport or TLS failure all raise HttpError before or instead of a
  // reply. Redirects are followed only as CheckRedirect allows (GET and HEAD
  // within the same scheme, host and port); any other raises HttpError
  // without a request to the target. An HttpError of a transfer carries the
  // host (without any user:password) as context. Calls on one object are
  // serialised. While the reply is on its way the waiting work is done, a
  // step at a time; work that raises is dropped for the rest of the request
  // and logged to options.log.
  HttpResponse Send(const HttpRequest& request) override;
  void SetWaitingWork(WaitingWork work) override;

 private:
  struct Handle;
  // One request to `url` without following a redirect; `location` gets the
  // target of a redirect reply.
  HttpResponse Transfer(const HttpRequest& request, const std::string& url,
                        curl_slist* headers, std::string& location);

  CurlOptions options_;
  std::mutex mutex_;
  std::unique_ptr<Handle> handle_;
  WaitingWork work_;
};

}  // namespace oxsms::net
