// `ChiamataRestCloud`: the one way to the maker's cloud service (account,
// security and cloud-database configuration endpoints). It adds the cloud
// credentials to a JSON request, posts it with the maker's API key, parses
// the JSON reply and runs the account protocol the reply code asks for.
//
// Reply codes: 0 (the reply is logged, secrets masked, where the desktop puts
// it on the clipboard), 17 (credentials rejected: log in again), 41 and 21
// (security verification or set-up), any other above 10 an error (logged; 18
// clears the reply), 1 to 10 and negative values returned as they are.
//
// The service has no desktop: the prompts are a `CloudPrompts` (headless in
// the service), notifications to desktop windows are dropped, and rejected
// credentials never end the process: the fourth rejection of a process fails
// the call and no authenticated call is sent again until the service restarts.
//
// Service thread only; no locks.
#pragma once

#include <chrono>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>

#include "cloud/cloud_credential_store.h"
#include "cloud/cloud_prompts.h"
#include "cloud/cloud_session.h"
#include "net/http_client.h"
#include "platform/activity_log.h"

namespace oxsms::cloud {

// Where the cloud service is and how it is asked.
struct CloudEndpoint {
  // Scheme, cloud-database host and optional port ("https://cloud.example.it");
  // empty = no cloud service configured (every call is skipped).
  std::string base_address;
  std::string api_key;  // a secret: never logged
  std::chrono::seconds stall_timeout{60};
  std::chrono::milliseconds probe_timeout{3000};
};

// Whether "host:port" answers a TCP connection within the time-out.
using ReachabilityProbe =
    std::function<bool(const std::string& host_port, std::chrono::milliseconds)>;

// The base URL of a base address: the address with one trailing "/".
std::string CloudBaseUrl(const std::string& base_address);
// "host:port" probed for a base address: its host with its port, or the
// scheme's (443 for https, 80 for http); empty when there is no host.
std::string CloudProbeHost(const std::string& base_address);
// A reply as compact JSON with the values of secret members (passwords,
// credentials, keys) masked and nesting below 16 levels cut: what may reach
// the log.
std::string MaskedReply(const nlohmann::json& reply);

class CloudRestClient {
 public:
  // Every reference must outlive the client.
  CloudRestClient(net::HttpClient& http, CloudSession& session, CloudPrompts& prompts,
                  CloudCredentialStore& store, platform::ActivityLog& log, CloudEndpoint endpoint,
                  ReachabilityProbe probe);

  // `ChiamataRestCloud`. `path` is relative to the base URL, or an absolute
  // address starting with "http". Members are added to `request`. `reply`
  // is left untouched when the call is not made (cloud unreachable, login
  // cancelled, attempts run out), else the parsed reply, cleared for codes
  // 17 and 18. Raises CloudError for an empty or unparsable reply, and
  // net::HttpError for a transport failure.
  void ChiamataRestCloud(const std::string& path, nlohmann::json& request, bool authenticate,
                         nlohmann::json& reply, bool hide_remember);

  // `CloudRaggiungibile`: sets the base URL when empty; whether the cloud
  // host answers.
  bool CloudRaggiungibile();

  // `SalvaCredenzialiCloud`: the session's account to config.ini.
  void SalvaCredenzialiCloud();

  // The most nested retries one call makes (after re-login or a security step).
  static constexpr int kMaxRetries = 3;
  // Rejected-credential replies tolerated before the cloud is given up.
  static constexpr int kMaxRejections = 3;

 private:
  enum class Credentials { kNone, kAsk, kConfirmed };

  void Call(const std::string& path, nlohmann::json& request, Credentials credentials,
            nlohmann::json& reply, bool hide_remember, int depth);
  bool CredentialsUsable() const;
  bool AskCredentials(const std::string& path, bool hide_remember, bool& call_remember);
  void AddCredentials(nlohmann::json& request) const;
  std::string UrlOf(const std::string& path) const;
  nlohmann::json Post(const std::string& url, const nlohmann::json& request);
  void Rejected(const std::string& path, nlohmann::json& request, nlohmann::json& reply, int depth);
  void Security(int codice, const std::string& path, nlohmann::json& request, nlohmann::json& reply,
                int depth);
  std::string Protections();
  PromptContext ContextOf(const std::string& path, bool hide_remember) const;

  net::HttpClient& http_;
  CloudSession& session_;
  CloudPrompts& prompts_;
  CloudCredentialStore& store_;
  platform::ActivityLog& log_;
  CloudEndpoint endpoint_;
  ReachabilityProbe probe_;
};

}  // namespace oxsms::cloud
