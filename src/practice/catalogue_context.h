// What the database catalogue operations need besides their arguments: the
// folder of config.ini, the installation's values, the cipher of the stored
// credential forms and the cloud subsystem (cloud account and cloud database
// configurations). The referenced objects belong to the caller and must
// outlive the context.
#pragma once

#include "platform/home_folder.h"
#include "platform/installation.h"
#include "practice/cloud_configuration_resolver.h"
#include "practice/credential_cipher.h"

namespace oxsms::practice {

struct CatalogueContext {
  const platform::HomeFolder& home;
  const platform::Installation& installation;
  CredentialCipher& cipher;
  // None where no cloud subsystem is wired (tools, tests): a cloud
  // configuration then raises DatabaseError, and a cloud account in
  // config.ini is not read.
  CloudConfigurationResolver* resolver = nullptr;
};

}  // namespace oxsms::practice
