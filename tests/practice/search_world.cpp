#include "search_world.h"

#include <stdexcept>

#include "practice/database_catalogue.h"
#include "practice/local_config.h"
#include "scratch_database.h"

namespace oxsms::testing::search {

platform::TDateTime SearchDay() { return platform::EncodeDate(2025, 5, 12); }
platform::TDateTime At(int hour, int minute) { return platform::EncodeTime(hour, minute, 0); }

std::string AgendaSettings(const std::vector<std::string>& agenda_lines,
                           const std::vector<std::string>& groups) {
  std::string text = "[Generale]\r\nStudio=Studio Test\r\n[Agenda]\r\n";
  for (const auto& line : agenda_lines) text += line + "\r\n";
  if (!groups.empty()) {
    text += "[File Gruppi]\r\n";
    for (std::size_t i = 0; i < groups.size(); ++i) {
      text += "File" + std::to_string(i + 1) + "=" + groups[i] + "\r\n";
    }
  }
  return text;
}

namespace {

constexpr const char* kConfigName = "config.fdb";

}  // namespace

SearchWorld::SearchWorld(Backend backend) : backend_(backend) {
  if (!OnFirebird()) {
    server_ = MySqlFromEnvironment();
    if (!server_) throw std::runtime_error(kNoMySqlMessage);
  }
  // The configuration database is a dialect-1 file on Firebird.
  CreateCatalogue(SessionOf(kConfigName, 1));
  WriteFile(dir / "config.ini", "[Database]\r\n" + IniKeysOf(Location(kConfigName)) +
                                    "[Database Ag]\r\nUser=SYSDBA\r\n");
  practice::PreparaConnessioneConfig(host.config, practice::kSectionDatabase, ctx);
}

std::string SearchWorld::AddAgenda(const std::string& name,
                                   const std::optional<std::string>& settings,
                                   const std::vector<std::string>& tables, bool in_catalogue) {
  soci::session& s = SessionOf(name);
  CreateAgendaSettings(s, settings);
  for (const auto& table : tables) CreateAgendaTable(s, table);
  if (in_catalogue) {
    CatalogueRow row = RowFor(name);
    row.vista = "3";
    AddCatalogueRow(row);
  }
  return Location(name);
}

void SearchWorld::AddAppointment(const std::string& agenda, const std::string& table,
                                 const Appointment& a) {
  search::AddAppointment(SessionOf(agenda), table, a);
}

std::string SearchWorld::AddPatients(const std::string& name,
                                     const std::optional<std::string>& versione,
                                     bool second_contacts, const std::string& fileguid) {
  CreatePatientTables(SessionOf(name, 1), versione, fileguid, second_contacts);
  second_contacts_[name] = second_contacts;
  CatalogueRow row = RowFor(name);
  row.vista = "0";
  AddCatalogueRow(row);
  return Location(name);
}

void SearchWorld::AddPatient(const std::string& patients, const Patient& p) {
  if (OnFirebird()) {
    search::AddPatient(SessionOf(patients), p, second_contacts_.at(patients));
  } else {
    AddMySqlPatient(SessionOf(patients), p, second_contacts_.at(patients),
                    installation.column_key);
  }
}

void SearchWorld::AddCatalogueRow(const CatalogueRow& row) {
  search::AddCatalogueRow(*config_db_, row);
}

CatalogueRow SearchWorld::RowFor(const std::string& name) {
  CatalogueRow row;
  row.filedb = Location(name);
  if (!OnFirebird()) {
    row.protocollo = 3;
    row.host = server_->host;
    row.uid = server_->user;
    row.pwd = server_->password;
    row.ruolo = std::to_string(server_->port);
  }
  return row;
}

std::string SearchWorld::Location(const std::string& name) {
  if (OnFirebird()) return (dir / name).string();
  SessionOf(name);
  return schemas_.at(name)->name();
}

std::string SearchWorld::IniKeysOf(const std::string& location) const {
  if (OnFirebird()) return "File=" + location + "\r\nprotocollo=0\r\n";
  return "File=" + location + "\r\nprotocollo=3\r\nhost=" + server_->host +
         "\r\nruolo=" + std::to_string(server_->port) + "\r\nUser=" + server_->user +
         "\r\npwd=" + server_->password + "\r\n";
}

std::string SearchWorld::LocationText(const std::string& name) {
  const std::string location = Location(name);
  if (OnFirebird()) return location;
  return server_->host + "\xC2\xA3" + location + "#" + server_->user + "=" + server_->password +
         "/p" + std::to_string(server_->port);
}

soci::session& SearchWorld::SessionOf(const std::string& name, int dialect) {
  auto& session = name == kConfigName ? config_db_ : sessions_[name];
  if (session) return *session;
  if (OnFirebird()) {
    session = OpenFirebird(dir / name, dialect);
  } else {
    auto& schema = schemas_[name];
    schema = std::make_unique<ScratchSchema>(*server_, SchemaPrefix(name));
    session = OpenMySql(*server_, schema->name());
  }
  return *session;
}

std::unique_ptr<soci::session> SearchWorld::OpenAnew(const std::string& name) {
  if (OnFirebird()) return OpenFirebird(dir / name);
  return OpenMySql(*server_, Location(name));
}

std::unique_ptr<practice::TAgImp> SearchWorld::NewAgImp() {
  auto agimp = std::make_unique<practice::TAgImp>(ctx, log, clock, elapsed, host);
  agimp->DataRicerca = SearchDay();
  agimp->DataRicerca1 = SearchDay();
  return agimp;
}

}  // namespace oxsms::testing::search
