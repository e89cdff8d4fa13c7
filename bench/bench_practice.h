// The practice a benchmark size stands for: its shape, the settings of the
// daily run that is measured, the day it runs on, and the files it lives in.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "fixture/practice_options.h"
#include "platform/date_time.h"

namespace oxsms::bench {

struct PracticeSize {
  int appointments = 0;
  int patients = 0;
  int agenda_databases = 1;
  int tables_per_agenda = 5;  // agenda tables in each agenda database
  int patient_databases = 1;
  double share_with_fees = 0.3;
  double share_second_number = 0.1;
};

// The run is measured at 11:00 of Monday 12 May 2025; every appointment of
// the practice lies on the search day, the next day.
platform::TDateTime RunMoment();
platform::TDateTime SearchDay();

// The settings document of the measured run: reminders by SMS and WhatsApp
// template, each message with its confirmation link and, where the
// appointment has a fee, its payment link, and by email (the typical message
// "Appuntamento") to the patients with an address and consent; no
// birthdays, advance notice or control SMS.
std::string RunSettingsDocument();

// Where a size's practice lives under the benchmark's work folder.
struct PracticeFolders {
  std::filesystem::path home;      // config.ini, sms.log, database/
  std::filesystem::path pristine;  // copies of database/ as built
};
PracticeFolders FoldersOf(const std::filesystem::path& work, const PracticeSize& size);

// The sender of the practice's emails.
inline constexpr const char* kSenderAddress = "studio@example.com";

// The practice's SMTP account: the sink at 127.0.0.1:smtp_port, a login
// (an account without one is not the practice's own), no TLS, sender
// kSenderAddress.
fixture::SmtpAccount SinkAccount(int smtp_port);

// Builds the practice (the simulator's address in config.ini for every
// maker service, the SMTP account of the email row at 127.0.0.1:smtp_port) and keeps a pristine copy of its databases. Raises
// what the practice generator raises.
void BuildPractice(const PracticeSize& size, const PracticeFolders& folders,
                   const std::string& simulator_url, int smtp_port);

// Points the SMTP account of the pristine databases at 127.0.0.1:smtp_port.
// Raises practice::DatabaseError.
void PointAtSmtpSink(const PracticeFolders& folders, const std::string& db_password,
                     int smtp_port);

// The databases of a built practice as the floor reads them, without the
// catalogue: each agenda database with its agenda lines ("<name>=<table>"),
// and the patient databases in catalogue order.
struct AgendaDatabasePlan {
  std::filesystem::path file;
  std::vector<std::string> lines;
};
struct PracticePlan {
  std::vector<AgendaDatabasePlan> agendas;
  std::vector<std::filesystem::path> patient_files;
  std::string db_password;
};
PracticePlan PlanOf(const PracticeSize& size, const std::filesystem::path& home);

// The simulator's account of the practice ("demo"/"demo", customer 1001)
// with credit for any size.
inline constexpr int kCustomerId = 1001;
inline constexpr long long kCredit = 100000000;

// Points config.ini at the simulator: the SMS gateway and every JSON service
// (the email service too, though the run sends by SMTP).
void PointAtSimulator(const std::filesystem::path& home, const std::string& simulator_url);

// Puts the pristine databases back, so each measured run finds the practice
// as built: no link stored by an earlier run. The log is emptied too.
void RestorePractice(const PracticeFolders& folders);

}  // namespace oxsms::bench
