// What the database catalogue needs of the cloud subsystem: the cloud
// database configurations (an encrypted document, or one fetched by its
// number for a location text "... id=<number>") and the process-wide cloud
// account that config.ini supplies. The cloud subsystem implements it and
// owns the state behind it; the catalogue only calls it, on the service
// thread.
#pragma once

#include <optional>
#include <string>

#include "practice/rec_database.h"

namespace oxsms::practice {

// The cloud account as "cloud_param" of config.ini stores it.
struct StoredCloudAccount {
  std::string user;
  std::string password;
  // "login": the account is remembered and may be used without a prompt.
  std::optional<bool> login;
};

class CloudConfigurationResolver {
 public:
  virtual ~CloudConfigurationResolver() = default;

  // `LeggiConfigurazioneCloud`: fills `record` from an encrypted
  // configuration document (column CLOUD of the catalogue). An empty text
  // does nothing; a document that does not decrypt or parse leaves the
  // fields set so far. Never raises for bad input.
  virtual void ReadDocument(const std::string& hex, TRecDatabase& record) = 0;

  // The reference branch of `LeggiPosizioneDB`: fills `record` from the
  // cloud configuration `number`, fetched from the maker's cloud service.
  // `location` is the whole location text. Raises DatabaseError ("Configurazione
  // cloud N non leggibile: ...") when the configuration cannot be had.
  virtual void Resolve(const std::string& location, const std::string& number,
                       TRecDatabase& record) = 0;

  // Whether the process holds a cloud account already (once it has one,
  // "cloud_param" is not read again).
  virtual bool HasAccount() const = 0;
  // Takes the account read from "cloud_param"; `take_remember` also takes
  // its "login" flag when present.
  virtual void TakeStoredAccount(const StoredCloudAccount& account, bool take_remember) = 0;
  // "AdminVelk" = 1 in section "Database" of config.ini.
  virtual void SetAdministrator(bool administrator) = 0;
  // Set while the configuration database is being located through a cloud
  // configuration.
  virtual void SetReadingConfiguration(bool reading) = 0;
};

}  // namespace oxsms::practice
