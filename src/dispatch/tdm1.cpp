#include "dispatch/tdm1.h"

#include <soci/soci.h>

#include <filesystem>

#include "dispatch/registry_settings.h"
#include "dispatch/settings_document.h"
#include "practice/credential_protection.h"
#include "practice/database_catalogue.h"
#include "platform/error.h"
#include "practice/local_config.h"

namespace oxsms::dispatch {
namespace {

constexpr const char* kRegistryUnavailable =
    "Impossibile aprire il registry nella funzione ReadConnect del servizio";

// The driver reports a missing column of the settings query as "Column
// unknown"; other messages ("Table unknown", "At line 1, column 12") must not
// match, so the comparison keeps the letter case.
bool IsMissingColumn(const std::exception& e) {
  return std::string(e.what()).find("Column") != std::string::npos;
}

// A database error that leaves the settings' reading or saving names the
// configuration database, unless its message does already.
void NameConfigDatabase(platform::Error& error, const practice::Connection& config) {
  if (error.category() != platform::ErrorCategory::kDatabase) return;
  const std::string name = config.DatabaseName();
  if (name.empty() || std::string(error.what()).find(name) != std::string::npos) return;
  error.AddContext("archivio " + name);
}

}  // namespace

TDM1::TDM1(const practice::CatalogueContext& catalogue, platform::ActivityLog& log,
           const platform::Clock& clock, const platform::Registry& registry, RunParts parts)
    : catalogue_(catalogue),
      log_(log),
      clock_(clock),
      elapsed_(parts.elapsed),
      registry_(registry),
      lists_left_out_(parts.report != nullptr) {
  DataModuleCreate();
  channels_ = std::make_unique<SendWiring>(
      *this, [this] { return ReadConnect(); }, log_, catalogue_, SmsGateway.rest_host,
      IBDatabaseConfig, [this] { return AgImp.get(); },
      [this]() -> practice::TAgImp& { return EnsureAgImp(); }, std::move(parts));
  channels_->OnDelivery(
      [this](channels::DeliveryChannel channel) {
        journal_.Delivering(send_in_progress.Current().kind, channel);
      });
}

TDM1::~TDM1() { DataModuleDestroy(); }

// The defaults of the fields, the texts and switches, are those of
// TDM1Fields; what needs the outside world is done here.
void TDM1::DataModuleCreate() {
  SuiteDesktopPresent = DesktopProgramsIn(catalogue_.home.dir());
  // Every later date/time text of the process, the activity log's included.
  log_.SetTimeSeparator('.');
  SmsGateway = ReadSmsSection(*practice::ApriIniLocale(catalogue_.home), SmsGateway);
  OrarioInvio = StrToOrario("11.00");
  ReadConnect();
  if (EditSmsFiniti.empty()) EditSmsFiniti = kDefaultEditSmsFiniti;
}

void TDM1::DataModuleDestroy() {
  // The search object refers to this object's settings.
  ReleaseAgImp();
  Disconnect();
}

bool TDM1::ReadConnect() {
  ore_disdetta = kDefaultOreDisdetta;
  PrepareConfigConnection();
  try {
    const SettingsRow row = OpenSettingsQuery();
    FDQueryLinkConfAfterOpen();
    // An empty value holds no document either: there is nothing to lose by
    // creating one.
    if (!row.sealed || row.sealed->empty()) {
      const bool available = MigrateFromRegistry();
      Disconnect();
      return available;
    }
    ApplyStoredDocument(*row.sealed);
  } catch (platform::Error& e) {
    NameConfigDatabase(e, IBDatabaseConfig);
    Disconnect();
    throw;
  } catch (...) {
    Disconnect();
    throw;
  }
  IBDatabaseConfig.Close();
  RepairReminderText();
  return true;
}

void TDM1::SaveConnect() {
  if (DontSave) return;
  const std::string sealed =
      practice::CriptaHex(catalogue_.cipher, SettingsDocumentText(BuildSettingsDocument(*this)));
  if (IBDatabaseConfig.Params().empty()) PrepareConfigConnection();
  try {
    const SettingsRow row = ReadSettingsRow(IBDatabaseConfig);
    WriteSettingsRow(IBDatabaseConfig, row, sealed);
    IBDatabaseConfig.Commit();
  } catch (const soci::soci_error& e) {
    Disconnect();
    throw IBDatabaseConfig.Error(e.what());
  } catch (platform::Error& e) {
    NameConfigDatabase(e, IBDatabaseConfig);
    Disconnect();
    throw;
  } catch (...) {
    Disconnect();
    throw;
  }
  IBDatabaseConfig.Close();
}

void TDM1::EseguiSQL(const std::string& sql) {
  try {
    IBDatabaseConfig.Session() << sql;
    IBDatabaseConfig.Commit();
  } catch (const soci::soci_error&) {
    // Ignored by contract: the callers check the outcome by what follows.
  } catch (const practice::DatabaseError&) {
    // The connection or the commit: ignored as well.
  }
}

void TDM1::FDQueryLinkConfAfterOpen() {
  try {
    const auto mode = ReadPaymentModuleMode(IBDatabaseConfig);
    isLinkPag = mode && *mode == 1 ? 1 : 2;
    // Without a payment account there is nothing to create links with.
    if (isLinkPag == 1 && !HasPaymentAccount(IBDatabaseConfig)) isLinkPag = 2;
  } catch (const soci::soci_error&) {
    // Dropped: the payment-link module is optional.
  } catch (const practice::DatabaseError&) {
    // Dropped as well.
  }
}

void TDM1::PrepareConfigConnection() {
  PrepareSettingsDatabase(IBDatabaseConfig, catalogue_, SuiteDesktopPresent);
}

SettingsRow TDM1::OpenSettingsQuery() {
  try {
    return ReadSettingsRow(IBDatabaseConfig);
  } catch (const soci::soci_error& e) {
    // A configuration database older than the settings document lacks its
    // column; any other error shows again at the next attempt.
    if (IsMissingColumn(e)) EseguiSQL(kSqlAddSettingsColumn);
  } catch (const practice::DatabaseError& e) {
    if (IsMissingColumn(e)) EseguiSQL(kSqlAddSettingsColumn);
  }
  try {
    return ReadSettingsRow(IBDatabaseConfig);
  } catch (const soci::soci_error& e) {
    throw IBDatabaseConfig.Error(e.what());
  }
}

bool TDM1::MigrateFromRegistry() {
  using platform::RegistryHive;
  if (AsService && !registry_.OpenKeyReadOnly(RegistryHive::kLocalMachine, kLegacySettingsKey)) {
    log_.WriteLog(kRegistryUnavailable);
    return false;
  }
  try {
    if (auto key = registry_.OpenKeyReadOnly(RegistryHive::kLocalMachine, kLegacySettingsKey)) {
      ReadMachineHiveSettings(*key, *this);
    } else if (auto user_key =
                   registry_.OpenKeyReadOnly(RegistryHive::kCurrentUser, kLegacySettingsKey)) {
      ReadUserHiveSettings(*user_key, *this);
    }
    // Also without any key: the defaults become the first document.
    SaveConnect();
  } catch (const platform::Error&) {
    // The registry, a value it holds, the sealing or the database.
    // Dropped: the migration is tried again at the next reload.
  }
  return true;
}

void TDM1::ApplyStoredDocument(const std::string& sealed) {
  ApplySettingsDocument(UnsealSettingsDocument(catalogue_.cipher, sealed), *this);
}

void TDM1::RepairReminderText() {
  if (!TestoInvioApp.empty()) return;
  try {
    if (auto key = registry_.OpenKeyReadOnly(platform::RegistryHive::kLocalMachine,
                                             kLegacySettingsKey)) {
      ReadReminderTexts(*key, *this);
      SaveConnect();
    }
  } catch (const platform::Error&) {  // as in the migration
    // Dropped: the text stays empty until the settings give one.
  }
}

void TDM1::Disconnect() {
  try {
    IBDatabaseConfig.Close();
  } catch (const practice::DatabaseError&) {
    // Used where a failed commit is not the caller's concern: on the way
    // out of an error (that error is the one to report), after a migration
    // (whose save has committed, or was dropped), and at destruction.
  }
}

}  // namespace oxsms::dispatch
