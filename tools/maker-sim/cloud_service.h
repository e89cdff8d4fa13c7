// The simulated cloud service: cloud accounts with their security settings,
// and the numbered cloud database configurations each account may read
// ("/configurazioni_cloud/show.json"), with the account-security endpoint
// ("/account_cloud/verifica_protezioni_abilitate.json").
#pragma once

#include <string>
#include <vector>

#include "maker-sim/sim_core.h"
#include "maker-sim/sim_service.h"

namespace oxsms::makersim {

struct CloudAccount {
  std::string user;
  std::string pwd;
  // 0: no further step; 41: the device must be verified (two-factor); 21:
  // the account's security must be set up first.
  int security = 0;
  // Device identifiers already verified (41 is not asked of them).
  std::vector<std::string> devices;
  nlohmann::json protezioni = nlohmann::json::object();
};

struct CloudConfiguration {
  std::string id;
  // Accounts that may read it; any other account gets codice 11.
  std::vector<std::string> users;
  nlohmann::json configurazione = nlohmann::json::object();
};

class CloudService : public SimService {
 public:
  explicit CloudService(SimCore& core) : core_(core) {}

  std::string Name() const override { return "cloud"; }
  void AddRoutes(Router& router) override;
  // {"accounts": [{"user","pwd"[,"security","devices","protezioni"]}],
  //  "configurations": [{"id","users":[...],"configurazione":{...}}]}
  void LoadState(const nlohmann::json& section) override;
  nlohmann::json SaveState() const override;

 private:
  void Show(const httplib::Request& request, httplib::Response& response);
  void Protections(const httplib::Request& request, httplib::Response& response);
  // The account the request's credentials name, or nullptr after answering
  // the refusal (key, body, credentials, security) itself.
  const CloudAccount* Authenticate(const httplib::Request& request, httplib::Response& response,
                                   nlohmann::json& body, bool security_step);

  SimCore& core_;
  std::vector<CloudAccount> accounts_;
  std::vector<CloudConfiguration> configurations_;
};

}  // namespace oxsms::makersim
