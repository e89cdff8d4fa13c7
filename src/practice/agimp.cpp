#include "practice/agimp.h"

#include "practice/database_catalogue.h"
#include "practice/local_config.h"
#include "practice/search_database.h"

namespace oxsms::practice {

TAgImp::TAgImp(const CatalogueContext& ctx, platform::ActivityLog& log,
               const platform::Clock& clock, SearchHost& host)
    : ctx_(ctx), log_(log), clock_(clock), host_(host) {
  DataRicerca = platform::DateOf(clock.Now());
  inif_ = ApriIniLocale(ctx_.home);
  config_ = std::make_unique<Connection>();
  if (host_.FolderLayout()) {
    PreparaConnessioneFileLocale(*config_, kLayoutConfigFile, /*database_folder=*/true, ctx_);
  } else {
    PreparaConnessioneConfig(*config_, kSectionDatabase, ctx_);
  }
  ConnectOrRaise(*config_);
}

TAgImp::~TAgImp() { CommitBookkeeping(); }

void TAgImp::CommitBookkeeping() noexcept {
  WritePending();
  const auto commit = [this](Connection& connection) {
    try {
      connection.Commit();
    } catch (const std::exception& e) {
      log_.WriteLog(std::string("Link non registrati nell'archivio: ") + e.what());
    }
  };
  for (auto& agenda : agendas_) commit(*agenda);
  for (auto& patients : patients_) {
    if (patients.connection) commit(*patients.connection);
  }
}

std::string TAgImp::AgendaAccountUser() const {
  return inif_->ReadString(kSectionDatabaseAg, kKeyUser, kDefaultUser);
}

std::string TAgImp::AgendaAccountPassword() const {
  return inif_->ReadString(kSectionDatabaseAg, kKeyPassword,
                           ctx_.installation.default_db_password);
}

void TAgImp::Discarded(const std::string& surname, const std::string& first_name,
                       const char* reason) {
  host_.Batch().listScartiSms.push_back(surname + " " + first_name + reason);
}

}  // namespace oxsms::practice
