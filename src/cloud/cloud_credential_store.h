// `SalvaCredenzialiCloud`: the cloud account written to "cloud_param" of
// section "Database" in config.ini, in the stored credential hex form over
// the JSON object {"user", "pwd"[, "login"]}, as the suite's desktop
// programs read it.
#pragma once

#include <optional>
#include <string>

#include "platform/activity_log.h"
#include "platform/home_folder.h"
#include "practice/credential_cipher.h"

namespace oxsms::cloud {

// The new plain JSON text of "cloud_param" for `user` and `password`, given
// the decrypted old one: nullopt when nothing changes (same user and
// password) or the old text is no JSON object (it is left alone); a new
// {"user","pwd","login":true} when the old text is empty; otherwise the old
// object with "user" and "pwd" replaced (other members kept).
std::optional<std::string> UpdatedCloudParam(const std::string& old_plain, const std::string& user,
                                             const std::string& password);

class CloudCredentialStore {
 public:
  // `home`, `cipher` and `log` must outlive the object.
  CloudCredentialStore(const platform::HomeFolder& home, practice::CredentialCipher& cipher,
                       platform::ActivityLog& log)
      : home_(home), cipher_(cipher), log_(log) {}

  // Writes the account when "protocollo" of section "Database" is 4 (a cloud
  // connection); otherwise does nothing. Never raises: a failure is logged
  // without the account's values.
  void Save(const std::string& user, const std::string& password);

 private:
  const platform::HomeFolder& home_;
  practice::CredentialCipher& cipher_;
  platform::ActivityLog& log_;
};

}  // namespace oxsms::cloud
