// A catalogue context over a scratch folder that stands for the executable's
// folder, with an installation password of its own so that tests see where
// the default password comes from, and a cloud subsystem that records what
// the catalogue hands it.
#pragma once

#include <string>

#include "platform/home_folder.h"
#include "platform/installation.h"
#include "practice/catalogue_context.h"
#include "support/temp_dir.h"

namespace oxsms::practice {

// Holds the account and flags as the cloud subsystem would; a configuration
// asked by number gets the schema "cfg<number>" and the user "cloud-user".
class RecordingCloud : public CloudConfigurationResolver {
 public:
  void ReadDocument(const std::string& hex, TRecDatabase& record) override {
    documents += hex;
    record.schema_db = "from-document";
  }
  void Resolve(const std::string& location, const std::string& number,
               TRecDatabase& record) override {
    asked_location = location;
    asked = number;
    record.schema_db = "cfg" + number;
    record.user = "cloud-user";
  }
  bool HasAccount() const override { return !user.empty(); }
  void TakeStoredAccount(const StoredCloudAccount& account, bool take_remember) override {
    user = account.user;
    password = account.password;
    if (take_remember && account.login) remember = *account.login;
  }
  void SetAdministrator(bool value) override { administrator = value; }
  void SetReadingConfiguration(bool value) override {
    reading_configuration = value;
    if (value) ++readings;
  }

  std::string user, password;
  bool remember = false;
  bool administrator = false;
  bool reading_configuration = false;
  int readings = 0;
  std::string asked, asked_location, documents;
};

class CatalogueFixture {
 public:
  CatalogueFixture() { installation.default_db_password = "pw-of-install"; }

  void WriteConfigIni(const std::string& text) { testing::WriteFile(dir / "config.ini", text); }
  // The executable's folder as database names start with it.
  std::string HomeText() const { return home.TextWithSeparator(); }

  testing::TempDir dir;
  platform::HomeFolder home{dir.path()};
  platform::Installation installation;
  RecordingCloud cloud;
  CredentialCipher cipher;
  CatalogueContext ctx{home, installation, cipher, &cloud};
};

}  // namespace oxsms::practice
