// The connections named by config.ini and by the file catalogue of the
// suite's folder layout.
#include <soci/soci.h>

#include <nlohmann/json.hpp>

#include "platform/base64.h"
#include "practice/agenda_lines.h"
#include "practice/credential_protection.h"
#include "practice/database_catalogue.h"
#include "practice/database_error.h"
#include "practice/database_location.h"
#include "practice/local_config.h"

namespace oxsms::practice {
namespace {

bool IsAgendaSection(const std::string& section) { return section.find("Ag") != std::string::npos; }

std::string StringMember(const nlohmann::json& object, const char* name) {
  const auto it = object.find(name);
  return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

// Takes the cloud account from "cloud_param" of `section` while the process
// has none. The decrypted text holds the password, so a parse failure is
// reported without the parser's excerpt of it. Without a cloud subsystem
// there is nobody to hold the account, and nothing is read.
void ReadCloudAccount(const platform::IniFile& ini, const std::string& section, bool take_remember,
                      const CatalogueContext& ctx) {
  CloudConfigurationResolver* cloud = ctx.resolver;
  if (cloud == nullptr || cloud->HasAccount()) return;
  const std::string plain = DecriptaHex(ctx.cipher, ini.ReadString(section, kKeyCloudParam, ""));
  const nlohmann::json param = nlohmann::json::parse(plain, nullptr, /*allow_exceptions=*/false);
  if (!param.is_object()) {
    throw DatabaseError("Parametri dell'account cloud non leggibili (\"" +
                        std::string(kKeyCloudParam) + "\" della sezione \"" + section +
                        "\" di config.ini)");
  }
  StoredCloudAccount account;
  account.user = StringMember(param, "user");
  account.password = StringMember(param, "pwd");
  const auto login = param.find("login");
  if (login != param.end() && login->is_boolean()) account.login = login->get<bool>();
  cloud->TakeStoredAccount(account, take_remember);
}

void ReadCloudLocation(const platform::IniFile& ini, const std::string& section,
                       TRecDatabase& record, const CatalogueContext& ctx) {
  LeggiPosizioneDB(platform::DecodeBase64(ini.ReadString(section, kKeyCloud, "")), record, ctx);
}

// Sets the flag that a cloud configuration is being read for as long as the
// object lives, whatever way the reading ends.
class ReadingCloudConfiguration {
 public:
  explicit ReadingCloudConfiguration(CloudConfigurationResolver* cloud) : cloud_(cloud) {
    if (cloud_ != nullptr) cloud_->SetReadingConfiguration(true);
  }
  ~ReadingCloudConfiguration() {
    if (cloud_ != nullptr) cloud_->SetReadingConfiguration(false);
  }
  ReadingCloudConfiguration(const ReadingCloudConfiguration&) = delete;
  ReadingCloudConfiguration& operator=(const ReadingCloudConfiguration&) = delete;

 private:
  CloudConfigurationResolver* cloud_;
};

std::string FolderWithoutSeparator(std::string folder) {
  while (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
  return folder;
}

void SetServerOf(Connection& connection, const std::string& host) {
  if (host.empty()) return;
  connection.SetParam("Protocol", "TCPIP");
  connection.SetParam("Server", host);
}

const char* CatalogueFileName(int order) {
  switch (order) {
    case 0:
      return "pazienti.fdb";
    case 1:
      return "pazienti1.fdb";
    case 2:
      return "agenda.fdb";
    default:
      return nullptr;
  }
}

// FILEDB of the catalogue row `order`, appending the row when there is none.
std::string CatalogueFolder(Connection& catalogue, int order) {
  try {
    soci::session& sql = catalogue.Session();
    std::string folder;
    soci::indicator folder_ind = soci::i_null;
    sql << "select first 1 FILEDB from DB where IDORDER = :idorder", soci::use(order),
        soci::into(folder, folder_ind);
    const bool found = sql.got_data();
    if (!found) {
      sql << "insert into DB (IDORDER) values (:idorder)", soci::use(order);
      catalogue.Commit();
    }
    return found && folder_ind == soci::i_ok ? WithoutTrailingBlanks(folder) : std::string();
  } catch (const soci::soci_error& e) {
    throw catalogue.Error(e.what());
  }
}

}  // namespace

void LeggiDatabaseIni(TRecDatabase& record, Connection& connection, const std::string& section,
                      const CatalogueContext& ctx) {
  const auto ini = ApriIniLocale(ctx.home);
  record.protoc = static_cast<int16_t>(ini->ReadInteger(section, kKeyProtocol, 0));
  record.fgdb = ini->ReadString(section, kKeyFile, kDefaultConfigFile);
  record.host = ini->ReadString(section, kKeyHost, "");
  record.role = ini->ReadString(section, kKeyPort, "");
  record.user = ini->ReadString(section, kKeyUser, kDefaultUser);
  record.pwd = ini->ReadString(section, kKeyPassword, ctx.installation.default_db_password);
  record.local = record.host.empty();
  if (record.protoc < 3) {
    record.fgdb = ComponiNomeDB(ctx.home, "", record.fgdb, record.protoc);
  } else if (record.protoc == 4) {
    ReadCloudAccount(*ini, section, /*take_remember=*/false, ctx);
    ReadCloudLocation(*ini, section, record, ctx);
  }
  CreaConnessione(record, false, IsAgendaSection(section) ? kDialectAgenda : kDialectLegacy,
                  connection, ctx);
}

void PreparaConnessioneConfig(Connection& connection, const std::string& section,
                              const CatalogueContext& ctx) {
  const auto ini = ApriIniLocale(ctx.home);
  if (ctx.resolver != nullptr) {
    ctx.resolver->SetAdministrator(ini->ReadInteger(kSectionDatabase, kKeyAdministrator, 0) == 1);
  }
  connection.ClearParams();
  connection.lock_timeout = std::chrono::seconds(ctx.installation.lock_timeout_seconds);
  const long protoc = ini->ReadInteger(section, kKeyProtocol, 0);
  const std::string host = ini->ReadString(section, kKeyHost, "");
  const std::string user = ini->ReadString(section, kKeyUser, kDefaultUser);
  const std::string pwd =
      ini->ReadString(section, kKeyPassword, ctx.installation.default_db_password);
  if (protoc == 3) {
    connection.SetDriverName(kDriverMySQL);
    connection.SetParam("Server", host);
    connection.SetParam("Port", ini->ReadString(section, kKeyPort, ""));
    connection.SetParam("User_Name", user);
    connection.SetParam("Password", pwd);
    connection.SetParam("Database", ini->ReadString(section, kKeyFile, ""));
  } else if (protoc == 4) {
    ReadingCloudConfiguration reading(ctx.resolver);
    ReadCloudAccount(*ini, section, /*take_remember=*/true, ctx);
    TRecDatabase record;
    ReadCloudLocation(*ini, section, record, ctx);
    CreaConnessione(record, false, kDialectLegacy, connection, ctx);
  } else {
    const std::string file = ini->ReadString(section, kKeyFile, kDefaultConfigFile);
    connection.SetParam("Database", ComponiNomeDB(ctx.home, "", file, static_cast<int>(protoc)));
    connection.SetParam("User_Name", user);
    connection.SetParam("Password", pwd);
    connection.SetDriverName(kDriverFirebird);
    connection.SetParam("SQLDialect", IsAgendaSection(section) ? "3" : "1");
    SetServerOf(connection, host);
  }
}

void PreparaConnessioneFileLocale(Connection& connection, const std::string& file_name,
                                  bool database_folder, const CatalogueContext& ctx) {
  // Closing commits; the old parameters must not survive into the new
  // database (a stale "Server=" would send a local file to another host).
  connection.ClearParams();
  connection.lock_timeout = std::chrono::seconds(ctx.installation.lock_timeout_seconds);
  const auto ini = ApriIniLocale(ctx.home);
  const std::string folder = ini->ReadString(kSectionDatabase, kKeyFile, "");
  std::string path = file_name;
  if (!folder.empty()) {
    path = FolderWithoutSeparator(folder) + (database_folder ? "\\database\\" : "\\") + file_name;
  }
  connection.SetParam("SQLDialect", "1");
  SetServerOf(connection, ini->ReadString(kSectionDatabase, kKeyHost, ""));
  const int protoc = static_cast<int>(ini->ReadInteger(kSectionDatabase, kKeyProtocol, 0));
  connection.SetParam("Database", ComponiNomeDBLocale(ctx.home, "", path, protoc, database_folder));
  connection.SetParam("User_Name", kDefaultUser);
  connection.SetParam("Password", ctx.installation.default_db_password);
  connection.SetDriverName(kDriverFirebird);
}

void PreparaConnessioneDaCatalogo(Connection& connection, Connection& catalogue, int order,
                                  const CatalogueContext& ctx) {
  if (order == 3) {
    PreparaConnessioneFileLocale(connection, kLayoutConfigFile, true, ctx);
    return;
  }
  const char* file_name = CatalogueFileName(order);
  if (file_name == nullptr) {
    throw DatabaseError("Numero d'ordine del catalogo dei database non previsto: " +
                        std::to_string(order));
  }
  connection.ClearParams();
  connection.lock_timeout = std::chrono::seconds(ctx.installation.lock_timeout_seconds);
  const std::string folder = FolderWithoutSeparator(CatalogueFolder(catalogue, order));
  const auto ini = ApriIniLocale(ctx.home);
  connection.login_prompt = false;
  connection.SetDriverName(kDriverFirebird);
  connection.SetParam("User_Name", kDefaultUser);
  connection.SetParam("Password", ctx.installation.default_db_password);
  connection.SetParam("Database",
                      folder.empty() ? std::string(file_name) : folder + "\\" + file_name);
  SetServerOf(connection, ini->ReadString(kSectionDatabase, kKeyHost, ""));
  connection.SetParam("SQLDialect", order == 2 ? "3" : "1");
}

}  // namespace oxsms::practice
