// The cloud subsystem of one process: the session values, the HTTP client
// of the cloud service, the headless prompts, the credential store, the REST
// client and the cloud database configurations the catalogue reaches through
// `Resolver()`. Built once by the composition root; service thread only.
#pragma once

#include <memory>

#include "cloud/cloud_configurations.h"
#include "cloud/cloud_credential_store.h"
#include "cloud/cloud_prompts.h"
#include "cloud/cloud_rest_client.h"
#include "cloud/cloud_session.h"
#include "net/http_client.h"
#include "platform/activity_log.h"
#include "platform/home_folder.h"
#include "platform/installation.h"
#include "practice/credential_cipher.h"

namespace oxsms::cloud {

class CloudService {
 public:
  // The cloud service is the installation's `cloud_url`, reached over
  // libcurl with its CA file and time-out. Every reference must outlive the
  // object.
  CloudService(const platform::HomeFolder& home, const platform::Installation& installation,
               practice::CredentialCipher& cipher, platform::ActivityLog& log);
  ~CloudService();
  CloudService(const CloudService&) = delete;
  CloudService& operator=(const CloudService&) = delete;

  practice::CloudConfigurationResolver& Resolver() { return configurations_; }
  CloudRestClient& Client() { return client_; }
  const CloudSession& Session() const { return session_; }

  static CloudEndpoint EndpointOf(const platform::Installation& installation);

 private:
  CloudSession session_;
  std::unique_ptr<net::HttpClient> http_;
  HeadlessCloudPrompts prompts_;
  CloudCredentialStore store_;
  CloudRestClient client_;
  CloudConfigurations configurations_;
};

}  // namespace oxsms::cloud
