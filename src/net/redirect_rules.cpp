#include "net/redirect_rules.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <memory>

#include "net/header_rules.h"
#include "net/http_client.h"

namespace oxsms::net {
namespace {

struct UrlFree {
  void operator()(CURLU* url) const { curl_url_cleanup(url); }
};

// One part of a parsed address, "" when absent.
std::string Part(CURLU* url, CURLUPart part, unsigned int flags) {
  char* text = nullptr;
  if (curl_url_get(url, part, &text, flags) != CURLUE_OK || text == nullptr) return {};
  std::string value(text);
  curl_free(text);
  return value;
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

}  // namespace

std::string OriginOf(const std::string& url) {
  std::unique_ptr<CURLU, UrlFree> parsed(curl_url());
  if (!parsed || curl_url_set(parsed.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK) return {};
  const std::string scheme = Lower(Part(parsed.get(), CURLUPART_SCHEME, 0));
  if (scheme != "http" && scheme != "https") return {};
  const std::string host = Lower(Part(parsed.get(), CURLUPART_HOST, 0));
  const std::string port = Part(parsed.get(), CURLUPART_PORT, CURLU_DEFAULT_PORT);
  if (host.empty() || port.empty()) return {};
  return scheme + "://" + host + ":" + port;
}

void CheckRedirect(const std::string& method, const std::string& from, const std::string& to,
                   long status) {
  const std::string where = " (HTTP " + std::to_string(status) + " da " + RedactUrl(from) +
                            " a " + RedactUrl(to) + ")";
  if (method != "GET" && method != "HEAD") {
    throw HttpError("Reindirizzamento non seguito: una richiesta " + method +
                    " non viene inviata di nuovo" + where);
  }
  const std::string origin = OriginOf(from);
  if (origin.empty() || origin != OriginOf(to)) {
    throw HttpError("Reindirizzamento verso un altro server non seguito" + where);
  }
}

}  // namespace oxsms::net
