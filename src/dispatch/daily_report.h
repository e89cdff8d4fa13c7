// The day's report: every run of a day in one JSON file of the report folder,
// "rapporto_YYYY-MM-DD.json" (the day the run began), the last `days_kept`
// days kept:
//
//   {"data":"2026-12-10","esecuzioni":[
//   {"inizio":"2026-12-10 08:00:00","fine":"2026-12-10 08:00:09","prova":false,
//    "credito_prima":500,"credito_dopo":480,"righe":[
//   {"tipo":"promemoria","canale":"sms","destinatario":"Rossi Mario (3331234567)",
//    "testo":"...","esito":"inviato","risposta":""},
//   ...
//   ]}
//   ]}
//
// "esito" is "da_inviare", "inviato", "rifiutato", "errore", "escluso", or
// "sconosciuto" for a line whose send the run did not see end (the process
// was stopped). The credit members are null when the run never asked the
// gateway.
//
// While a run goes, its lines go one by one to "rapporto_in_corso.jsonl"
// (one JSON object per line), so the run's texts are never held in memory;
// the run's end turns it into a run of the day's file. A file left by a
// stopped process is turned into its run at the next run's start.
//
// Keeping the report never costs a send: a failure to write it is logged
// once per run and the report of that run is dropped.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "dispatch/run_recorder.h"
#include "platform/activity_log.h"

namespace oxsms::dispatch {

// "rapporto_YYYY-MM-DD.json" of the day of `day`.
std::string DailyReportFileName(platform::TDateTime day);

class DailyReport : public RunRecorder {
 public:
  static constexpr const char* kPartFileName = "rapporto_in_corso.jsonl";

  // `folder` must exist; `days_kept` 0 keeps no report at all.
  DailyReport(std::filesystem::path folder, int days_kept, platform::ActivityLog& log);

  void BeginRun(platform::TDateTime start, bool test) override;
  void BeginKind(SendKind kind) override;
  void EndRun(platform::TDateTime end) override;
  std::size_t LineCount() const override { return lines_; }

  std::size_t Composed(channels::LineChannel channel, const std::string& recipient,
                       const std::string& text) override;
  void Ended(std::size_t line, channels::LineOutcome outcome, const std::string& answer) override;
  void PendingEnded(channels::LineOutcome outcome, const std::string& answer) override;
  void LeftOut(channels::LineChannel channel, const std::string& recipient,
               const std::string& reason) override;
  void Credit(int32_t available) override;

 private:
  std::filesystem::path PartFile() const { return folder_ / kPartFileName; }
  // Appends one record to the run's file; a failure drops the run's report.
  void Write(const std::string& record);
  void Fail(const std::string& why);
  // The run left in the part file, added to the report of its day.
  void FinishPart();
  void RemoveOldReports(platform::TDateTime today);

  std::filesystem::path folder_;
  int days_kept_;
  platform::ActivityLog& log_;
  std::ofstream part_;
  bool recording_ = false;
  std::size_t lines_ = 0;
  SendKind kind_ = SendKind::kReminder;
};

}  // namespace oxsms::dispatch
