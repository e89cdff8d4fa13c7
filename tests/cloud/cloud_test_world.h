// A cloud REST client over scripted HTTP replies, a switchable reachability
// probe and scriptable prompts, with config.ini and sms.log in a scratch
// home folder.
#pragma once

#include <deque>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "cloud/cloud_configurations.h"
#include "cloud/cloud_rest_client.h"
#include "net/http_client.h"
#include "platform/activity_log.h"
#include "platform/base64.h"
#include "platform/home_folder.h"
#include "support/manual_clock.h"
#include "support/temp_dir.h"

namespace oxsms::cloud {

class ScriptedHttp : public net::HttpClient {
 public:
  net::HttpResponse Send(const net::HttpRequest& request) override {
    sent.push_back(request);
    if (replies.empty()) return {200, "", "application/json"};
    net::HttpResponse response{200, replies.front(), "application/json"};
    replies.pop_front();
    return response;
  }
  void Queue(const nlohmann::json& reply) { replies.push_back(reply.dump()); }
  nlohmann::json Body(std::size_t n) const { return nlohmann::json::parse(sent.at(n).body); }

  std::deque<std::string> replies;
  std::vector<net::HttpRequest> sent;
};

class ScriptedPrompts : public CloudPrompts {
 public:
  std::optional<CloudLogin> AskCredentials(const PromptContext&) override {
    ++logins_asked;
    if (logins.empty()) return std::nullopt;
    auto login = logins.front();
    logins.pop_front();
    return login;
  }
  bool VerifySecurity(const PromptContext&, const std::string& protections) override {
    seen_protections = protections;
    return security_answer;
  }
  bool SetUpSecurity(const PromptContext&) override { return security_answer; }

  std::deque<CloudLogin> logins;
  int logins_asked = 0;
  bool security_answer = false;
  std::string seen_protections;
};

struct CloudWorld {
  CloudWorld() {
    endpoint.base_address = "https://cloud.example.it/";
    endpoint.api_key = "the-key";
  }

  CloudRestClient& Client() {
    if (!client) {
      client.emplace(http, session, prompts, store, log, endpoint,
                     [this](const std::string& host, std::chrono::milliseconds) {
                       probed.push_back(host);
                       return reachable;
                     });
    }
    return *client;
  }
  std::string Log() const { return testing::ReadFile(dir / "sms.log"); }
  static std::string Decoded(const nlohmann::json& body, const char* name) {
    return platform::DecodeBase64(body.at(name).get<std::string>());
  }
  void RememberedAccount(const std::string& user, const std::string& password) {
    session.user = user;
    session.password = password;
    session.remember = true;
  }

  testing::TempDir dir;
  platform::HomeFolder home{dir.path()};
  testing::ManualClock clock;
  platform::ActivityLog log{dir / "sms.log", clock};
  practice::CredentialCipher cipher;
  ScriptedHttp http;
  ScriptedPrompts prompts;
  CloudSession session;
  CloudCredentialStore store{home, cipher, log};
  CloudEndpoint endpoint;
  bool reachable = true;
  std::vector<std::string> probed;
  std::optional<CloudRestClient> client;
};

}  // namespace oxsms::cloud
