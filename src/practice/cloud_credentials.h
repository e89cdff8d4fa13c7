// The process-wide values of the maker's cloud account, shared by the
// database catalogue, the cloud REST client and the cloud database
// configurations. One object owns them for the life of the process and is
// passed by reference to whoever reads or sets them; only the service thread
// touches it, so it takes no lock.
#pragma once

#include <string>

namespace oxsms::practice {

struct CloudSession {
  // The cloud account. Read from "cloud_param" of config.ini only while
  // `user` is empty; once set, never read again.
  std::string user;
  std::string password;
  // "login" of "cloud_param": the account is remembered between sessions.
  bool remember = false;
  // Set while the configuration database is being located through a cloud
  // configuration, so the cloud client knows no desktop user is asked.
  bool reading_configuration = false;
  // "AdminVelk" = 1 in section "Database" of config.ini.
  bool administrator = false;
};

}  // namespace oxsms::practice
