#include "bench_practice.h"

#include <stdexcept>

#include <nlohmann/json.hpp>

#include "email/email_module_row.h"
#include "fixture/config_database.h"
#include "fixture/practice_data.h"
#include "fixture/practice_fixture.h"
#include "platform/base64.h"
#include "platform/ini_file.h"
#include "platform/installation.h"
#include "practice/connection.h"


namespace oxsms::bench {
namespace fs = std::filesystem;

namespace {

// The configuration database of the catalogue layout, under database/.
constexpr const char* kConfigFile = "CONFIG.GDB";

// The typical email message of the reminders: one of the catalogue a
// practice starts with.
constexpr const char* kEmailMessage = "Appuntamento";

constexpr const char* kReminder =
    "Gentile <Nome> <Cognome> le ricordiamo l'appuntamento del <Data> alle ore <Ora>. "
    "Per confermare o disdire: <link_conferma> Per pagare online: <link_pag>";

void CopyFolder(const fs::path& from, const fs::path& to) {
  fs::remove_all(to);
  fs::create_directories(to);
  fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
}

fixture::PracticeOptions OptionsOf(const PracticeSize& size) {
  fixture::PracticeOptions o;
  o.patients = size.patients;
  o.patient_databases = size.patient_databases;
  o.agenda_databases = size.agenda_databases;
  o.agenda_tables = size.tables_per_agenda;
  o.appointments = size.appointments;
  o.days = 1;
  o.first_day = SearchDay();
  o.share_with_fees = size.share_with_fees;
  o.share_second_number = size.share_second_number;
  o.share_second_email = 0;
  o.settings_json = RunSettingsDocument();
  o.payment_links = true;
  return o;
}

// The floor reads the databases by the plan: it must name what was built.
void CheckPlan(const PracticePlan& plan, const fixture::PracticeReport& report) {
  const auto built = [&](const fs::path& file, const char* role) {
    for (const auto& db : report.databases) {
      if (db.role == role && fs::path(db.location) == file) return true;
    }
    return false;
  };
  for (const auto& agenda : plan.agendas) {
    if (!built(agenda.file, "agenda")) throw std::runtime_error("no agenda database " + agenda.file.string());
  }
  for (const auto& file : plan.patient_files) {
    if (!built(file, "pazienti")) throw std::runtime_error("no patient database " + file.string());
  }
}

}  // namespace

fixture::SmtpAccount SinkAccount(int smtp_port) {
  fixture::SmtpAccount smtp;
  smtp.host = "127.0.0.1";
  smtp.port = smtp_port;
  smtp.user = "studio";
  smtp.password = "bench";
  smtp.from_email = kSenderAddress;
  return smtp;
}

PracticePlan PlanOf(const PracticeSize& size, const fs::path& home) {
  const fixture::PracticeOptions o = OptionsOf(size);
  PracticePlan plan;
  plan.db_password = o.db_password;
  for (int a = 0; a < size.agenda_databases; ++a) {
    AgendaDatabasePlan agenda;
    agenda.file = home / "database" / ("agenda" + std::to_string(a + 1) + ".fdb");
    for (int j = 0; j < size.tables_per_agenda; ++j) {
      const int table = a * size.tables_per_agenda + j;
      agenda.lines.push_back(fixture::AgendaDisplayName(o, table) + "=" +
                             fixture::AgendaTableName(o, table));
    }
    plan.agendas.push_back(std::move(agenda));
  }
  for (int k = 0; k < size.patient_databases; ++k) {
    plan.patient_files.push_back(home / "database" / ("pazienti" + std::to_string(k + 1) + ".fdb"));
  }
  return plan;
}

platform::TDateTime RunMoment() {
  return platform::EncodeDate(2025, 5, 12) + platform::EncodeTime(11, 0, 0);
}

platform::TDateTime SearchDay() { return platform::EncodeDate(2025, 5, 13); }

std::string RunSettingsDocument() {
  const nlohmann::ordered_json doc = {
      {"user", "demo"},
      {"pwd", "demo"},
      {"testata", "STUDIO"},
      {"time", "11.00.00"},
      {"testoinvio", kReminder},
      {"testogenerale", kReminder},
      {"cbsms", true},
      {"cbserviziosms", true},
      {"CBServizioWhatsapp", true},
      {"cbservizioemail", true},
      {"nomeemailapp", kEmailMessage},
      {"cbcompl", false},
      {"cbsmsverifica", false},
      {"cbsmsfiniti", false},
      {"cellverifica1", ""},
      {"giorniinvio", "0000000"},
      {"ore_disdetta", 0.75},
      {"CellWhts", "+393330000001"},
      {"FirmaWhts", platform::EncodeBase64Mime("Studio Dentistico Demo")},
      {"IndirizzoWhts", platform::EncodeBase64Mime("Via Roma 1, 20100 Milano")},
      {"SiglaGeneraleAppWhts", "PROMEMORIA"},
      {"linkConfermaAppWhts", "1"},
      {"variabiliAppWhts", "nome,cognome,giorno,data,ora,link_breve,link_pagamento,descrizione_pag"},
  };
  return doc.dump();
}

PracticeFolders FoldersOf(const fs::path& work, const PracticeSize& size) {
  const fs::path root = work / ("practice-" + std::to_string(size.appointments) + "-" +
                                std::to_string(size.patients));
  return {root / "home", root / "pristine"};
}

void BuildPractice(const PracticeSize& size, const PracticeFolders& folders,
                   const std::string& simulator_url, int smtp_port) {
  fs::remove_all(folders.home);
  fs::create_directories(folders.home);

  fixture::PracticeOptions o = OptionsOf(size);
  o.home = folders.home;
  o.replace_existing = true;
  o.rest_host = simulator_url;
  o.smtp = SinkAccount(smtp_port);
  const fixture::PracticeReport report = fixture::CreatePractice(o);
  const PracticePlan plan = PlanOf(size, folders.home);
  CheckPlan(plan, report);

  PointAtSimulator(folders.home, simulator_url);
  CopyFolder(folders.home / "database", folders.pristine);
}

void PointAtSimulator(const fs::path& home, const std::string& simulator_url) {
  platform::IniFile ini(home / "config.ini");
  ini.WriteString("sms", "rest_host", simulator_url);
  for (const char* key :
       {"payment_url", "link_url", "secure_sms_url", "email_url", "email_fallback_url"}) {
    ini.WriteString(platform::Installation::kSection, key, simulator_url);
  }
  // The email service's reachability probe: the simulator's host and port.
  const auto host = simulator_url.find("://");
  ini.WriteString(platform::Installation::kSection, "email_probe_host",
                  host == std::string::npos ? simulator_url : simulator_url.substr(host + 3));
}

void PointAtSmtpSink(const PracticeFolders& folders, const std::string& db_password,
                     int smtp_port) {
  practice::Connection config;
  config.SetDriverName(practice::kDriverFirebird);
  config.SetParam("Database", (folders.pristine / kConfigFile).string());
  config.SetParam("User_Name", "SYSDBA");
  config.SetParam("Password", db_password);
  config.Open();
  email::WriteSettingsColumn(config, fixture::SmtpSettingsXml(SinkAccount(smtp_port)));
}

void RestorePractice(const PracticeFolders& folders) {
  CopyFolder(folders.pristine, folders.home / "database");
  fs::remove(folders.home / "sms.log");
  fs::remove(folders.home / "floor.log");
}

}  // namespace oxsms::bench
