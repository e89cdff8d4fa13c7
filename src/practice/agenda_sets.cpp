// The agenda databases of the database sets and the agenda tables of each.
#include <soci/soci.h>

#include "practice/agenda_lines.h"
#include "practice/catalogue_rows.h"
#include "practice/database_catalogue.h"
#include "practice/database_location.h"
#include "practice/database_sets.h"
#include "practice/firebird_location.h"
#include "practice/local_config.h"
#include "practice/search_database.h"
#include "practice/settings_profile.h"
#include "practice/smsconf_file.h"

namespace oxsms::practice {
namespace {

constexpr const char* kSectionAgenda = "Agenda";
constexpr const char* kSectionGroups = "File Gruppi";
// Folder-layout agenda databases have three agenda tables, each switched on
// unless its flag in section "Agenda" is other than 1.
constexpr int kLayoutAgendaTables = 3;

// Disconnects the host's configuration connection when the catalogue has
// been read, however the reading ends.
class DisconnectAtEnd {
 public:
  explicit DisconnectAtEnd(Connection& c) : c_(c) {}
  ~DisconnectAtEnd() { CloseQuietly(c_); }
  DisconnectAtEnd(const DisconnectAtEnd&) = delete;
  DisconnectAtEnd& operator=(const DisconnectAtEnd&) = delete;

 private:
  Connection& c_;
};

// A location naming a cloud configuration ("... id=N") is no file path: it
// is read as it stands, not joined to the database folder.
bool NamesCloudConfiguration(const std::string& location) {
  return location.find("id=") != std::string::npos;
}

}  // namespace

void DatabaseSets::ApriAgende() {
  if (!agendas_.empty()) return;
  try {
    OpenAgendaSets();
  } catch (...) {
    // A half-opened set would pair tables with the wrong databases or hide
    // agendas from later searches: the next search opens it anew.
    agenda_tables_.clear();
    for (const auto& agenda : agendas_) units_.Forget(*agenda);
    agendas_.clear();
    throw;
  }
}

void DatabaseSets::OpenAgendaSets() {
  const bool folder_layout = host_.FolderLayout();
  if (folder_layout) {
    PreparaConnessioneFileLocale(*config_, kLayoutCatalogueFile, /*database_folder=*/false, ctx_);
    auto agenda = std::make_unique<Connection>();
    PreparaConnessioneDaCatalogo(*agenda, *config_, 2, ctx_);
    config_->Commit();
    agendas_.push_back(std::move(agenda));
  } else {
    AddMainAgendaFromCatalogue();
    CaricaFileGruppi();
  }
  AddAgendasFromSmsConf();
  for (std::size_t n = 0; n < agendas_.size(); ++n) CaricaTabelleAgenda(n, folder_layout);
}

void DatabaseSets::AddMainAgendaFromCatalogue() {
  Connection& host_config = host_.ConfigDatabase();
  DisconnectAtEnd disconnect(host_config);
  // The search object's own connection is open on the same database already:
  // reading the catalogue on it spares an attachment (each one costs the
  // engine a page cache of its own).
  const bool same_database = config_ && config_->Connected() && !host_config.Params().empty() &&
                             config_->Params() == host_config.Params();
  Connection& config = same_database ? *config_ : host_config;
  TRecDatabase record;
  bool found = false;
  try {
    soci::row row;
    soci::statement st = (config.Session().prepare
                              << CatalogueQuery(config, "vista='3' and finactive='0'"),
                          soci::into(row));
    st.execute();
    if (st.fetch()) {
      found = true;
      FillFromCatalogueRow(row, record, ctx_.resolver);
    }
  } catch (const soci::soci_error& e) {
    throw StatementError(config, e);
  }
  if (!found) {
    auto agenda = std::make_unique<Connection>();
    LeggiDatabaseIni(record, *agenda, kSectionDatabaseAg, ctx_);
    agendas_.push_back(std::move(agenda));
    return;
  }
  agendas_.push_back(CreaConnessione(record, false, kDialectAgenda, ctx_));
}

void DatabaseSets::AddAgendasFromSmsConf() {
  const auto records = ReadSmsConf(ctx_.home.File(kSmsConfFileName));
  if (!records) return;
  for (const auto& r : *records) {
    if (r.switched_off) continue;
    const std::string location = r.host.empty() && NamesCloudConfiguration(r.path)
                                     ? r.path
                                     : ComponiNomeDB(ctx_.home, r.host, r.path, 0);
    AggiungiAgenda(location, AgendaAccountUser(), AgendaAccountPassword());
  }
}

void DatabaseSets::AggiungiAgenda(const std::string& location, const std::string& user,
                            const std::string& pwd) {
  TRecDatabase record;
  record.user = user;
  record.pwd = pwd;
  LeggiPosizioneDB(location, record, ctx_);
  agendas_.push_back(CreaConnessione(record, false, kDialectAgenda, ctx_));
}

void DatabaseSets::CaricaFileGruppi() {
  if (agendas_.empty()) return;
  Connection& first = *agendas_.front();
  try {
    first.SetConnected(true);
  } catch (const DatabaseError&) {
    return;
  }
  const auto document = ReadSettingsDocument(first);
  if (!document) return;
  const auto groups = SettingsProfile(*document).SectionValues(kSectionGroups);
  // The first entry names the group's own (main) agenda.
  for (std::size_t g = 1; g < groups.size(); ++g) {
    const std::string value = ValueOfEntry(groups[g]);
    if (TrimBlanks(value).empty()) continue;
    const std::string location = NamesServer(value) || NamesCloudConfiguration(value)
                                     ? value
                                     : ComponiNomeDB(ctx_.home, "", value, 0);
    AggiungiAgenda(location, AgendaAccountUser(), AgendaAccountPassword());
  }
}

bool DatabaseSets::CaricaTabelleAgenda(std::size_t index, bool folder_layout) {
  Connection& agenda = *agendas_.at(index);
  ConnectOrRaise(agenda);
  const auto document = ReadSettingsDocument(agenda);
  std::vector<std::string> tables;
  if (document) {
    const SettingsProfile settings(*document);
    if (folder_layout) {
      for (int i = 1; i <= kLayoutAgendaTables; ++i) {
        const std::string name = "Agenda" + std::to_string(i);
        if (settings.ReadInteger(kSectionAgenda, name, 1) == 1) tables.push_back(name + "=" + name);
      }
    } else {
      tables = settings.SectionValues(kSectionAgenda);
    }
  }
  // Also without settings the database gets its (empty) list, so the n-th
  // list stays paired with the n-th agenda database.
  agenda_tables_.push_back(std::move(tables));
  return true;
}

}  // namespace oxsms::practice
