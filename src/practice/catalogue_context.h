// What the database catalogue operations need besides their arguments: the
// folder of config.ini, the installation's values, the process-wide cloud
// values, the cipher of the stored credential forms and the way to fetch a
// cloud configuration. The referenced objects
// belong to the caller and must outlive the context.
#pragma once

#include "platform/home_folder.h"
#include "platform/installation.h"
#include "practice/cloud_configuration_resolver.h"
#include "practice/cloud_credentials.h"
#include "practice/credential_cipher.h"

namespace oxsms::practice {

struct CatalogueContext {
  const platform::HomeFolder& home;
  const platform::Installation& installation;
  CloudSession& cloud;
  CredentialCipher& cipher;
  // None until the cloud subsystem provides one; a location text that needs
  // it then raises DatabaseError.
  CloudConfigurationResolver* resolver = nullptr;
};

}  // namespace oxsms::practice
