#include "net/reachability.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <mutex>

namespace oxsms::net {
namespace {

bool InitCurl() {
  static std::once_flag once;
  static CURLcode result = CURLE_OK;
  std::call_once(once, [] { result = curl_global_init(CURL_GLOBAL_DEFAULT); });
  return result == CURLE_OK;
}

bool HasPort(const std::string& host_port) {
  const auto colon = host_port.rfind(':');
  const auto bracket = host_port.rfind(']');
  return colon != std::string::npos && (bracket == std::string::npos || colon > bracket);
}

bool ValidHostPort(const std::string& text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](unsigned char c) {
    return std::isalnum(c) || c == '.' || c == '-' || c == '_' || c == ':' || c == '[' || c == ']';
  });
}

struct CurlDeleter {
  void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};

}  // namespace

bool CanConnect(const std::string& host_port, std::chrono::milliseconds timeout) {
  if (!ValidHostPort(host_port) || !InitCurl()) return false;
  std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
  if (!curl) return false;
  const std::string url = "http://" + host_port + (HasPort(host_port) ? "" : ":443") + "/";
  curl_easy_setopt(curl.get(), CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl.get(), CURLOPT_CONNECT_ONLY, 1L);
  curl_easy_setopt(curl.get(), CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl.get(), CURLOPT_NOPROXY, "*");  // the host itself, not a proxy
  curl_easy_setopt(curl.get(), CURLOPT_CONNECTTIMEOUT_MS, std::max(1L, static_cast<long>(timeout.count())));
  return curl_easy_perform(curl.get()) == CURLE_OK;
}

}  // namespace oxsms::net
