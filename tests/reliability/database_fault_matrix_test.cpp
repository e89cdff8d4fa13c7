// The practice's databases failing under a whole day of the real service:
// a file that is not there or is no database, a column the run reads that
// is gone, a settings document that does not decrypt, an appointment row
// held locked at the desk. Each case: the faulty run sends nothing twice and
// its exit code tells whether anything was missed; once the database is
// mended, the next run sends exactly what was missed, and every link is
// recorded once. A new database fault is one more row of kDatabaseFaults.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <soci/soci.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/agenda_records.h"
#include "app/process_runner.h"
#include "app/sim_query.h"
#include "fixture/sessions.h"
#include "platform/ini_file.h"
#include "reliability/matrix_day.h"

namespace oxsms::testing {
namespace {

using nlohmann::json;
namespace fs = std::filesystem;

constexpr const char* kDbPassword = "qentoravi";

// A fault put on a practice and taken away again; what it keeps open in
// between (a desk's transaction) lives in `held`.
struct Damage {
  std::shared_ptr<soci::session> held;
};

struct DatabaseFault {
  const char* name;
  std::function<fs::path(const MatrixPractice&)> database;
  std::function<void(const fs::path&, Damage&)> apply;
  std::function<void(const fs::path&, Damage&)> mend;
  // What the log says.
  std::vector<std::string> log_words;
  // Whether the faulty run may still send everything (the fault costs
  // bookkeeping, not messages).
  bool messages_go = false;
  // A fault of the service this case finds and that is not mended yet: the
  // case is skipped with this text until it is.
  const char* open_fault = nullptr;
};

// A search that could not read everything says so; the kind is tried again.
constexpr const char* kIncomplete = "Ricerca incompleta (promemoria)";
void PrintTo(const DatabaseFault& fault, std::ostream* out) { *out << fault.name; }

fs::path ConfigOf(const MatrixPractice& p) { return p.config; }
fs::path AgendaOf(const MatrixPractice& p) { return p.agenda; }
fs::path PatientsOf(const MatrixPractice& p) { return p.patients; }

fs::path Aside(const fs::path& file) { return file.string() + ".via"; }

void Execute(const fs::path& database, const std::string& statement) {
  auto sql = fixture::OpenFirebird(database.string(), kDbPassword);
  *sql << statement;
  sql->commit();
}

void Missing(const fs::path& file, Damage&) { fs::rename(file, Aside(file)); }
void Back(const fs::path& file, Damage&) {
  fs::remove(file);
  fs::rename(Aside(file), file);
}
void NotADatabase(const fs::path& file, Damage&) {
  fs::rename(file, Aside(file));
  WriteFile(file, std::string(16384, 'x'));
}

std::function<void(const fs::path&, Damage&)> RenameColumn(std::string table, std::string from,
                                                           std::string to) {
  return [=](const fs::path& db, Damage&) {
    Execute(db, "alter table " + table + " alter column " + from + " to " + to);
  };
}

// The hex text of the settings document with two more digits in front: no
// longer the document's encryption.
void Undecryptable(const fs::path& db, Damage&) {
  Execute(db, "update IMP_CLINICA set GDB_SMS = 'A5' || GDB_SMS");
}
void Decryptable(const fs::path& db, Damage&) {
  Execute(db, "update IMP_CLINICA set GDB_SMS = substring(GDB_SMS from 3)");
}

// The desk has Tuesday's appointments of the first agenda table open.
void RowsLocked(const fs::path& db, Damage& damage) {
  damage.held = fixture::OpenFirebird(db.string(), kDbPassword);
  *damage.held << "update AGENDA_1 set APPUNT = APPUNT where DATA = '2026-12-08'";
}
void RowsReleased(const fs::path&, Damage& damage) {
  damage.held->rollback();
  damage.held.reset();
}

const std::vector<DatabaseFault> kDatabaseFaults = {
    {"ConfigurationMissing", ConfigOf, Missing, Back, {"I/O error during \"open\""}},
    {"ConfigurationNotADatabase", ConfigOf, NotADatabase, Back, {"is not a valid database"}},
    {"SettingsDoNotDecrypt", ConfigOf, Undecryptable, Decryptable,
     {"Impossibile decifrare le impostazioni del servizio"}},
    {"AgendaMissing", AgendaOf, Missing, Back, {kIncomplete}},
    {"AgendaNotADatabase", AgendaOf, NotADatabase, Back, {kIncomplete}},
    // One of the two agenda tables cannot be read: the other's appointments
    // go, the second run sends the rest and not those again.
    {"AgendaTableUnreadable", AgendaOf, RenameColumn("AGENDA_2", "BADGE", "BADGE_X"),
     RenameColumn("AGENDA_2", "BADGE_X", "BADGE"),
     {"Tabella agenda \"AGENDA_2\" non letta", kIncomplete}},
    {"AgendaColumnMissing", AgendaOf, RenameColumn("AGENDA_1", "ID_WEB", "ID_WEB_X"),
     RenameColumn("AGENDA_1", "ID_WEB_X", "ID_WEB"),
     {"SalvaLinkBreve: agenda non aggiornata (tabella AGENDA_1)"}, true},
    {"AgendaRowsLocked", AgendaOf, RowsLocked, RowsReleased,
     {"SalvaLinkBreve: agenda non aggiornata (tabella AGENDA_1)",
      "da registrare in agenda (tabella AGENDA_1"},
     true},
    {"PatientsMissing", PatientsOf, Missing, Back, {"Archivio pazienti non aperto: ", kIncomplete}},
    {"PatientsNotADatabase", PatientsOf, NotADatabase, Back,
     {"Archivio pazienti non aperto: ", kIncomplete}},
    {"PatientsColumnMissing", PatientsOf, RenameColumn("ANAGRAFICA", "TELCELL", "TELCELL_X"),
     RenameColumn("ANAGRAFICA", "TELCELL_X", "TELCELL"), {kIncomplete}},
};

class DatabaseFaultMatrixTest : public ::testing::TestWithParam<DatabaseFault> {
 protected:
  MatrixSimulators sims_;
};

TEST_P(DatabaseFaultMatrixTest, NothingGoesTwiceAndTheNextRunSendsWhatWasMissedOnce) {
  const DatabaseFault& fault = GetParam();
  if (fault.open_fault != nullptr) GTEST_SKIP() << "guasto aperto: " << fault.open_fault;
  const ReferenceDay reference = RunReferenceDay(sims_, 12);
  const Deliveries& whole_day = reference.deliveries;

  TempDir home;
  const MatrixPractice practice = CreateMatrixPractice(home, sims_, 12);
  platform::IniFile(home / "config.ini").WriteString("Installazione", "lock_timeout", "1");
  const fs::path database = fault.database(practice);
  Damage damage;
  fault.apply(database, damage);
  const int first_exit = RunDay(practice, "11:00:00");
  fault.mend(database, damage);
  const std::string first_log = ActivityLogOf(home.path());
  const Deliveries first = DeliveriesOf(sims_.control_url());
  const std::multiset<std::string> missed = Missing(whole_day, first);

  EXPECT_TRUE(Includes(whole_day.messages, first.messages)) << Dump(first.messages) << first_log;
  if (fault.messages_go) {
    EXPECT_TRUE(missed.empty()) << Dump(missed) << first_log;
  } else {
    EXPECT_FALSE(missed.empty()) << "the fault cost nothing\n" << first_log;
  }
  EXPECT_EQ(first_exit, missed.empty() ? 0 : 1) << "missed:\n" << Dump(missed) << first_log;
  for (const std::string& words : fault.log_words) {
    EXPECT_NE(first_log.find(words), std::string::npos) << words << "\n" << first_log;
  }

  const int second_exit = RunDay(practice, "11:30:00");
  const std::string log = ActivityLogOf(home.path());
  const Deliveries all = DeliveriesOf(sims_.control_url());
  EXPECT_EQ(second_exit, 0) << log;
  ExpectWholeDayOnce(all, whole_day, log);
  ExpectBooksOnce(BooksOf(practice), reference.books, all);
}

INSTANTIATE_TEST_SUITE_P(Databases, DatabaseFaultMatrixTest, ::testing::ValuesIn(kDatabaseFaults),
                         [](const ::testing::TestParamInfo<DatabaseFault>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
}  // namespace oxsms::testing
