// What one simulated service of the maker (SMS gateway, WhatsApp, links,
// payments, email, cloud) provides to the simulator: its routes and its state.
#pragma once

#include <functional>
#include <string>

#include <httplib.h>
#include <nlohmann/json.hpp>

namespace oxsms::makersim {

using Handler = std::function<void(const httplib::Request&, httplib::Response&)>;

// Registration of (method, path) routes.
class Router {
 public:
  virtual ~Router() = default;
  // An endpoint of the simulated service: every request is recorded, faults
  // apply to it, and the handler runs with the state lock held. A path
  // ending in "/" also serves every path below it that has no route of its
  // own ("/s/" serves "/s/AB12CD"); the longest such prefix wins.
  virtual void AddEndpoint(const std::string& method, const std::string& path, Handler handler) = 0;
  // A control endpoint (path under "/_sim/"): not recorded, no faults; the
  // handler runs with the state lock held.
  virtual void AddControl(const std::string& method, const std::string& path, Handler handler) = 0;
};

class SimService {
 public:
  virtual ~SimService() = default;
  // The member of the state document that holds this service's state.
  virtual std::string Name() const = 0;
  virtual void AddRoutes(Router& router) = 0;
  // Replaces the whole state (configuration and what was received) with the
  // given section; null means the default state. Raises BadRequest
  // on a malformed section. Called with the state lock held.
  virtual void LoadState(const nlohmann::json& section) = 0;
  // The configuration part of the state, in the form LoadState takes.
  // Called with the state lock held.
  virtual nlohmann::json SaveState() const = 0;
};

}  // namespace oxsms::makersim
