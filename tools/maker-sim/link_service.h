// The simulated confirmation-link service: creates the short link with which
// a patient confirms or cancels an appointment ("/conferma_appuntamenti/
// crea.json"), answers the link's page ("/c/<code>") and shows what it
// created ("/_sim/links").
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "maker-sim/sim_accounts.h"
#include "maker-sim/sim_core.h"
#include "maker-sim/sim_service.h"

namespace oxsms::makersim {

// One link the service created, with the request it came from.
struct CreatedLink {
  std::string code;
  std::string url;
  std::string user;
  std::string id_agenda;          // UTF-8, as decoded from the request
  std::string data_appuntamento;  // "yyyy-mm-dd hh:nn:ss"
  std::optional<long long> ore_disdetta;
  std::string time;  // when it was created (UTC)
};

class LinkService : public SimService {
 public:
  LinkService(SimCore& core, AccountCheck accounts) : core_(core), accounts_(std::move(accounts)) {}

  std::string Name() const override { return "links"; }
  void AddRoutes(Router& router) override;
  // {"url_base": "..."}: the address the created links start with; "" = the
  // simulator's own address as the client named it (the "Host" header).
  void LoadState(const nlohmann::json& section) override;
  nlohmann::json SaveState() const override { return {{"url_base", url_base_}}; }

 private:
  void Create(const httplib::Request& request, httplib::Response& response);
  void Page(const httplib::Request& request, httplib::Response& response) const;
  nlohmann::json LinksJson() const;
  std::string UrlBase(const httplib::Request& request) const;

  SimCore& core_;
  AccountCheck accounts_;
  std::string url_base_;
  std::vector<CreatedLink> links_;
  long long next_code_ = 1001;
};

}  // namespace oxsms::makersim
