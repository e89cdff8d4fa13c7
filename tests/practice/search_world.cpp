#include "search_world.h"

#include "practice/database_catalogue.h"
#include "practice/local_config.h"

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

SearchWorld::SearchWorld() {
  const auto config = dir / "config.fdb";
  config_db_ = OpenFirebird(config, 1);
  CreateCatalogue(*config_db_);
  WriteFile(dir / "config.ini", "[Database]\r\nFile=" + config.string() +
                                    "\r\nprotocollo=0\r\n[Database Ag]\r\nUser=SYSDBA\r\n");
  practice::PreparaConnessioneConfig(host.config, practice::kSectionDatabase, ctx);
}

std::filesystem::path SearchWorld::AddAgenda(const std::string& name,
                                             const std::optional<std::string>& settings,
                                             const std::vector<std::string>& tables,
                                             bool in_catalogue) {
  const auto file = dir / name;
  soci::session& s = SessionOf(name);
  CreateAgendaSettings(s, settings);
  for (const auto& table : tables) CreateAgendaTable(s, table);
  if (in_catalogue) {
    CatalogueRow row;
    row.filedb = file.string();
    row.vista = "3";
    AddCatalogueRow(row);
  }
  return file;
}

void SearchWorld::AddAppointment(const std::string& agenda, const std::string& table,
                                 const Appointment& a) {
  search::AddAppointment(SessionOf(agenda), table, a);
}

std::filesystem::path SearchWorld::AddPatients(const std::string& name,
                                               const std::optional<std::string>& versione,
                                               bool second_contacts, const std::string& fileguid) {
  const auto file = dir / name;
  // Patient files of the suite are dialect-1 databases.
  sessions_[name] = OpenFirebird(file, 1);
  CreatePatientTables(SessionOf(name), versione, fileguid, second_contacts);
  second_contacts_[name] = second_contacts;
  CatalogueRow row;
  row.filedb = file.string();
  row.vista = "0";
  AddCatalogueRow(row);
  return file;
}

void SearchWorld::AddPatient(const std::string& patients, const Patient& p) {
  search::AddPatient(SessionOf(patients), p, second_contacts_.at(patients));
}

void SearchWorld::AddCatalogueRow(const CatalogueRow& row) {
  search::AddCatalogueRow(*config_db_, row);
}

std::unique_ptr<practice::TAgImp> SearchWorld::NewAgImp() {
  auto agimp = std::make_unique<practice::TAgImp>(ctx, log, clock, elapsed, host);
  agimp->DataRicerca = SearchDay();
  agimp->DataRicerca1 = SearchDay();
  return agimp;
}

soci::session& SearchWorld::SessionOf(const std::string& name) {
  auto& session = sessions_[name];
  if (!session) session = OpenFirebird(dir / name);
  return *session;
}

}  // namespace oxsms::testing::search
