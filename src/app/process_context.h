// What lives as long as a process of ours: the installation values of
// config.ini, the cipher of the stored credentials (its cached keys save a
// derivation per conversion), the cloud subsystem (the cloud account and the
// cloud database configurations the catalogue resolves), the legacy
// registry, and the catalogue context over them. `home` and `log` must
// outlive the object.
#pragma once

#include <memory>

#include "cloud/cloud_service.h"
#include "email/in_progress_slot.h"
#include "platform/activity_log.h"
#include "platform/home_folder.h"
#include "platform/ini_file.h"
#include "platform/installation.h"
#include "platform/registry.h"
#include "platform/registry_file.h"
#include "practice/catalogue_context.h"
#include "practice/credential_cipher.h"

namespace oxsms::app {

struct ProcessContext {
  ProcessContext(const platform::HomeFolder& home, platform::ActivityLog& log)
      : installation(platform::Installation::Load(platform::IniFile(home.File("config.ini")))),
#ifdef _WIN32
        registry(platform::MakeWindowsRegistry()),
#else
        registry(std::make_unique<platform::FileRegistry>(
            home.File(platform::FileRegistry::kDefaultFileName))),
#endif
        cloud(home, installation, cipher, log),
        catalogue{home, installation, cipher, &cloud.Resolver()} {
  }
  ProcessContext(const ProcessContext&) = delete;
  ProcessContext& operator=(const ProcessContext&) = delete;

  platform::Installation installation;
  // The messages in email delivery in this process.
  email::InProgressSlot email_slot;
  practice::CredentialCipher cipher;
  std::unique_ptr<platform::Registry> registry;
  cloud::CloudService cloud;
  practice::CatalogueContext catalogue;
};

}  // namespace oxsms::app
