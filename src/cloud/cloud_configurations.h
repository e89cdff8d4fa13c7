// The cloud database configurations behind the catalogue: the encrypted
// documents of the catalogue, the configurations fetched by number from the
// maker's cloud service ("configurazioni_cloud/show.json"), and the cloud
// account of config.ini, all over one `CloudSession`.
#pragma once

#include <string>

#include "cloud/cloud_rest_client.h"
#include "cloud/cloud_session.h"
#include "platform/activity_log.h"
#include "practice/cloud_configuration_resolver.h"
#include "practice/credential_cipher.h"

namespace oxsms::cloud {

inline constexpr const char* kConfigurationPath = "configurazioni_cloud/show.json";

class CloudConfigurations : public practice::CloudConfigurationResolver {
 public:
  // Every reference must outlive the object.
  CloudConfigurations(CloudRestClient& client, CloudSession& session,
                      practice::CredentialCipher& cipher, platform::ActivityLog& log)
      : client_(client), session_(session), cipher_(cipher), log_(log) {}

  void ReadDocument(const std::string& hex, practice::TRecDatabase& record) override;
  // Asks the service for configuration `number` (credentials requested,
  // remember choice shown). Reply code 11 (not accessible with these
  // credentials) is logged, the session's account is cleared and the service
  // asked once more; a second code 1 for a location starting with "con"
  // stores the new account in config.ini. Code 1 fills the record from
  // "dati"."ConfigurazioniCloud" and keeps the first "AccountCloud" of the
  // process. Anything else raises DatabaseError with the reason.
  void Resolve(const std::string& location, const std::string& number,
               practice::TRecDatabase& record) override;
  bool HasAccount() const override { return !session_.user.empty(); }
  void TakeStoredAccount(const practice::StoredCloudAccount& account, bool take_remember) override;
  void SetAdministrator(bool administrator) override { session_.administrator = administrator; }
  void SetReadingConfiguration(bool reading) override { session_.reading_configuration = reading; }

 private:
  nlohmann::json Ask(const std::string& number);

  CloudRestClient& client_;
  CloudSession& session_;
  practice::CredentialCipher& cipher_;
  platform::ActivityLog& log_;
};

}  // namespace oxsms::cloud
