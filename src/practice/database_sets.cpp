#include "practice/database_sets.h"

#include "practice/database_catalogue.h"
#include "practice/local_config.h"
#include "practice/search_database.h"

namespace oxsms::practice {

DatabaseSets::DatabaseSets(const CatalogueContext& ctx, platform::ActivityLog& log,
                           SearchHost& host, CommitWindow& units)
    : ctx_(ctx), log_(log), host_(host), units_(units) {
  inif_ = ApriIniLocale(ctx_.home);
  config_ = std::make_unique<Connection>();
  if (host_.FolderLayout()) {
    PreparaConnessioneFileLocale(*config_, kLayoutConfigFile, /*database_folder=*/true, ctx_);
  } else {
    PreparaConnessioneConfig(*config_, kSectionDatabase, ctx_);
  }
  ConnectOrRaise(*config_);
}

std::string DatabaseSets::AgendaAccountUser() const {
  return inif_->ReadString(kSectionDatabaseAg, kKeyUser, kDefaultUser);
}

std::string DatabaseSets::AgendaAccountPassword() const {
  return inif_->ReadString(kSectionDatabaseAg, kKeyPassword,
                           ctx_.installation.default_db_password);
}

}  // namespace oxsms::practice
