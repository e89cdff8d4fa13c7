#include "cloud/cloud_service.h"

#include "net/curl_http_client.h"
#include "net/reachability.h"

namespace oxsms::cloud {
namespace {

std::unique_ptr<net::HttpClient> CurlClientOf(const platform::Installation& installation,
                                              platform::ActivityLog& log) {
  net::CurlOptions options;
  options.ca_file = installation.ca_file;
  options.max_stall = std::chrono::seconds(installation.http_timeout_seconds);
  options.log = &log;
  return std::make_unique<net::CurlHttpClient>(options);
}

}  // namespace

CloudEndpoint CloudService::EndpointOf(const platform::Installation& installation) {
  CloudEndpoint endpoint;
  endpoint.base_address = installation.cloud_url;
  endpoint.api_key = installation.api_key;
  endpoint.stall_timeout = std::chrono::seconds(installation.http_timeout_seconds);
  return endpoint;
}

CloudService::CloudService(const platform::HomeFolder& home,
                           const platform::Installation& installation,
                           practice::CredentialCipher& cipher, platform::ActivityLog& log)
    : http_(CurlClientOf(installation, log)),
      prompts_(log),
      store_(home, cipher, log),
      client_(*http_, session_, prompts_, store_, log, EndpointOf(installation), net::CanConnect),
      configurations_(client_, session_, cipher, log) {}

CloudService::~CloudService() = default;

}  // namespace oxsms::cloud
