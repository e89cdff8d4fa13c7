// A practice for the search tests: a scratch folder standing for the
// executable's folder (config.ini, sms.log, smsconf.bin), a configuration
// database with the catalogue table DB, agenda and patient databases added
// on demand, all on one database server (Firebird files or MariaDB schemas), and a fake send orchestration (SearchHost) holding the settings
// and batch lists the searches read and fill.
#pragma once

#include <soci/soci.h>

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/activity_log.h"
#include "platform/home_folder.h"
#include "platform/installation.h"
#include "practice/agimp.h"
#include "practice/catalogue_context.h"
#include "practice/search_host.h"
#include "search_databases.h"
#include "support/manual_clock.h"
#include "support/manual_monotonic_clock.h"
#include "support/temp_dir.h"

namespace oxsms::testing::search {

class FakeSearchHost : public practice::SearchHost {
 public:
  practice::Connection& ConfigDatabase() override { return config; }
  bool FolderLayout() const override { return folder_layout; }
  std::string ExtraPatientFiles() const override { return extra_patient_files; }
  std::string ExcludedAgendaTables() const override { return excluded_tables; }
  int32_t PaymentLinkState() const override { return payment_link_state; }
  bool SkipZeroFees() const override { return skip_zero_fees; }
  int16_t VisualMode() const override { return visual; }
  practice::RecipientLists& Batch() override { return batch; }

  practice::Connection config;
  bool folder_layout = false;
  std::string extra_patient_files;
  std::string excluded_tables;
  int32_t payment_link_state = 2;
  bool skip_zero_fees = false;
  int16_t visual = 0;
  practice::RecipientLists batch;
};

// The search day of most tests: Monday 12 May 2025.
platform::TDateTime SearchDay();
// A time of day.
platform::TDateTime At(int hour, int minute);

class SearchWorld {
  // First, so that the schemas are dropped after every connection of the
  // world has been closed.
  Backend backend_;
  std::optional<MySqlServer> server_;
  std::map<std::string, std::unique_ptr<ScratchSchema>> schemas_;

 public:
  // The catalogue layout: config.ini section "Database" names the
  // configuration database. On Firebird every database is a file of the
  // scratch folder ("config.fdb", or the name given); on MariaDB a schema of
  // its own on the private server (which the caller has made sure of, see
  // OXSMS_REQUIRE_BACKEND), found by the same name.
  explicit SearchWorld(Backend backend = Backend::kFirebird);

  Backend backend() const { return backend_; }
  bool OnFirebird() const { return backend_ == Backend::kFirebird; }
  const MySqlServer& Server() const { return *server_; }

  // An agenda database: IMPOSTAZIONI with `settings` (no row when nullopt)
  // and the given agenda tables. Listed in the catalogue as an active agenda
  // row when `in_catalogue`. Returns its Location.
  std::string AddAgenda(const std::string& name, const std::optional<std::string>& settings,
                        const std::vector<std::string>& tables, bool in_catalogue = true);
  void AddAppointment(const std::string& agenda, const std::string& table, const Appointment& a);

  // A patient database listed in the catalogue (vista '0'). Returns its Location.
  std::string AddPatients(const std::string& name,
                          const std::optional<std::string>& versione = "192",
                          bool second_contacts = true, const std::string& fileguid = "G-1");
  void AddPatient(const std::string& patients, const Patient& p);

  void AddCatalogueRow(const CatalogueRow& row);
  // A catalogue row naming database `name` (created when missing) on this
  // world's server; vista and flags are the caller's.
  CatalogueRow RowFor(const std::string& name);
  // The database name of `name` as its connection's "Database" parameter
  // holds it: the file's path on Firebird, the schema on MariaDB.
  std::string Location(const std::string& name);
  // The same as a text that group agendas list: the path, or the MySQL
  // location with its account.
  std::string LocationText(const std::string& name);
  // The config.ini keys (one per line) of a section naming the database
  // `location` of this world's server.
  std::string IniKeysOf(const std::string& location) const;
  // The session on database `name` that builds it (created when missing;
  // patient files of the suite are dialect 1).
  soci::session& SessionOf(const std::string& name, int dialect = 3);
  // A new session on database `name`, seeing what is committed now.
  std::unique_ptr<soci::session> OpenAnew(const std::string& name);

  // A new search object over this practice, its search range set to SearchDay().
  std::unique_ptr<practice::TAgImp> NewAgImp();

  std::string LogText() const { return ReadFile(dir / "sms.log"); }
  std::filesystem::path Path(const std::string& name) const { return dir / name; }

  TempDir dir;
  platform::HomeFolder home{dir.path()};
  platform::Installation installation;
  practice::CredentialCipher cipher;
  practice::CatalogueContext ctx{home, installation, cipher};
  ManualClock clock{SearchDay() + At(11, 0)};
  // The elapsed time of the search object's windows; tests move it.
  ManualMonotonicClock elapsed;
  platform::ActivityLog log{dir / "sms.log", clock};
  FakeSearchHost host;

 private:
  std::unique_ptr<soci::session> config_db_;
  std::map<std::string, std::unique_ptr<soci::session>> sessions_;
  std::map<std::string, bool> second_contacts_;
};

// The fixture of suites run on both database servers (instantiate with
// OXSMS_INSTANTIATE_ON_BOTH_BACKENDS): SetUp skips a MariaDB run without
// server, makes the practice on the parameter's server and then calls
// Prepare.
class SearchTest : public ::testing::TestWithParam<Backend> {
 protected:
  void SetUp() override {
    OXSMS_REQUIRE_BACKEND(GetParam());
    world = std::make_unique<SearchWorld>(GetParam());
    Prepare();
  }
  virtual void Prepare() {}

  std::unique_ptr<SearchWorld> world;
};

// An agenda settings document with the given "Agenda" lines and "File
// Gruppi" values.
std::string AgendaSettings(const std::vector<std::string>& agenda_lines,
                           const std::vector<std::string>& groups = {});

}  // namespace oxsms::testing::search
