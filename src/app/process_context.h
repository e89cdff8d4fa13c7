// What lives as long as a process of ours: the installation values of
// config.ini, the cloud values shared by the database routines, the cipher
// of the stored credentials (its cached keys save a derivation per
// conversion), the legacy registry, and the catalogue context over them.
// `home` must outlive the object.
#pragma once

#include <memory>

#include "email/in_progress_slot.h"
#include "platform/home_folder.h"
#include "platform/ini_file.h"
#include "platform/installation.h"
#include "platform/registry.h"
#include "platform/registry_file.h"
#include "practice/catalogue_context.h"
#include "practice/cloud_credentials.h"
#include "practice/credential_cipher.h"

namespace oxsms::app {

struct ProcessContext {
  explicit ProcessContext(const platform::HomeFolder& home)
      : installation(platform::Installation::Load(platform::IniFile(home.File("config.ini")))),
#ifdef _WIN32
        registry(platform::MakeWindowsRegistry()),
#else
        registry(std::make_unique<platform::FileRegistry>(
            home.File(platform::FileRegistry::kDefaultFileName))),
#endif
        catalogue{home, installation, cloud, cipher, nullptr} {
  }
  ProcessContext(const ProcessContext&) = delete;
  ProcessContext& operator=(const ProcessContext&) = delete;

  platform::Installation installation;
  // The messages in email delivery in this process.
  email::InProgressSlot email_slot;
  practice::CloudSession cloud;
  practice::CredentialCipher cipher;
  std::unique_ptr<platform::Registry> registry;
  practice::CatalogueContext catalogue;
};

}  // namespace oxsms::app
