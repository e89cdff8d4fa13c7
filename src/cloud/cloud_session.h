// The process-wide values of the maker's cloud account, shared by the cloud
// REST client and the cloud database configurations. One object owns them for
// the life of the process (the cloud subsystem's `CloudService`) and passes
// them by reference; only the service thread touches them, so no lock.
#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>

namespace oxsms::cloud {

struct CloudSession {
  // The cloud account. Taken from "cloud_param" of config.ini only while
  // `user` is empty, or from a confirmed login prompt.
  std::string user;
  std::string password;
  // The account is confirmed and may be used without a prompt.
  bool remember = false;
  // Rejected-credential replies (code 17) in this process; never reset.
  int failures = 0;
  // Set when the rejections ran out: no authenticated call is sent again in
  // this process (a service that kept trying would lock the account).
  bool attempts_exhausted = false;
  // "<scheme>://<cloud-database host>[:port]/", set at the first call.
  std::string base_url;
  // This device's identifier for the cloud account: the service registers
  // none, so it stays empty.
  std::string identifier;
  // "AdminVelk" = 1 in section "Database" of config.ini.
  bool administrator = false;
  // Set while the configuration database is being located through a cloud
  // configuration.
  bool reading_configuration = false;
  // "AccountCloud" of the first configuration fetched in this process; kept,
  // not read further.
  std::optional<nlohmann::json> account;
};

}  // namespace oxsms::cloud
