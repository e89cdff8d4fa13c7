// Italian messages for libcurl failures.
#pragma once

#include <curl/curl.h>

#include <string>

namespace oxsms::net {

// "<what went wrong> (<address>): <curl's detail>". The address is redacted
// with RedactUrl and any user:password of the URL is removed from the detail.
std::string DescribeCurlFailure(CURLcode code, const std::string& detail, const std::string& url);

}  // namespace oxsms::net
