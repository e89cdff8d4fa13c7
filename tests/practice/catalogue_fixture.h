// A catalogue context over a scratch folder that stands for the executable's
// folder, with an installation password of its own so that tests see where
// the default password comes from.
#pragma once

#include <string>

#include "platform/home_folder.h"
#include "platform/installation.h"
#include "practice/catalogue_context.h"
#include "support/temp_dir.h"

namespace oxsms::practice {

class CatalogueFixture {
 public:
  CatalogueFixture() { installation.default_db_password = "pw-of-install"; }

  void WriteConfigIni(const std::string& text) { testing::WriteFile(dir / "config.ini", text); }
  // The executable's folder as database names start with it.
  std::string HomeText() const { return home.TextWithSeparator(); }

  testing::TempDir dir;
  platform::HomeFolder home{dir.path()};
  platform::Installation installation;
  CloudSession cloud;
  CredentialCipher cipher;
  CatalogueContext ctx{home, installation, cloud, cipher};
};

}  // namespace oxsms::practice
