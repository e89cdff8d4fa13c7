// One practice of the soak with its own simulator and oxsmsd, stepped day by
// day. The "chaos" lane gets gateway faults and kills; the "survivor" lane
// gets neither and is the one whose resident memory is judged.
#pragma once

#include <nlohmann/json.hpp>

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <string>

#include "maker-sim/maker_simulator.h"
#include "reliability/soak_agenda.h"
#include "reliability/soak_checks.h"
#include "reliability/soak_database.h"
#include "reliability/soak_process.h"

namespace oxsms::soak {

struct LaneOptions {
  std::string name;
  std::filesystem::path home;
  std::string oxsmsd;
  int days = 30;
  uint64_t seed = 1;
  int interval_ms = 2;
  bool chaos = false;
  // Also a delay longer than the client's stall time-out (60 s of real time).
  bool timeout_faults = false;
};

// When the chaos lane kills its process, always while it waits for a
// gateway reply: before the delivery (the credit check) or inside it (the
// upload, already stored by the gateway). A process killed inside the
// embedded Firebird engine can leave the lock table's mutex of a database
// held by nobody alive, and every later process on that file then waits for
// ever: a property of the embedded engine that no restart can mend, so the
// kills keep clear of it.
enum class KillPlan { kNone, kBeforeDelivery, kInsideSend };

struct DayPlan {
  KillPlan kill = KillPlan::kNone;
  std::string fault;  // "" or a simulator fault kind
  int times = 1;
  int ms = 0;
};

struct LaneFigures {
  long appointments = 0;  // made over the span
  long moved = 0;
  long cancelled = 0;
  long kills_before_delivery = 0;
  long kills_inside_send = 0;
  long restarts = 0;
  long crashes = 0;     // ends nobody asked for
  long fault_days = 0;
  int final_status = -1;  // exit status after SIGTERM at the end
  long harness_races = 0; // agenda changes that met a run (a fault of the soak)
};

class Lane {
 public:
  explicit Lane(LaneOptions options);
  ~Lane();

  // Creates the practice and starts the service at 10.50 of day 0.
  void Start();
  // Handles what happened since the last call; false once the span is done.
  bool Step();

  SendTally Sends() const;
  std::vector<std::string> UnexplainedLines() const;
  const LaneFigures& figures() const { return figures_; }
  // VmRSS per day of the process that lived longest.
  std::map<int, long> LongestLifeMemory() const;
  const LaneOptions& options() const { return options_; }

 private:
  void CreatePracticeFiles();
  void PlanDays();
  void OnRunStart(int day);
  void OnRunEnd(int day);
  void ChangeAgenda(int day);
  void ArmFaults(int day);
  void CheckBeforeDelivery();
  void CheckInsideSend();
  void KillAndRestart();
  void Restart();
  // True when the journal leaves nothing of `day` to try again.
  bool Settled(int day) const;
  std::optional<nlohmann::json> JournalDay(int day) const;
  long SmsCount() const;
  long CreditChecks() const;
  nlohmann::json SimCall(const std::string& method, const std::string& path,
                         const nlohmann::json& body = nullptr) const;
  int DayOf(platform::TDateTime when) const;

  LaneOptions options_;
  platform::TDateTime first_day_ = 0;
  int notice_days_ = 3;
  makersim::MakerSimulator sim_;
  std::unique_ptr<AgendaModel> model_;
  std::unique_ptr<AgendaWriter> writer_;
  std::unique_ptr<ServiceProcess> process_;
  Expectations expectations_;
  std::map<int, DayPlan> plans_;
  std::map<int, DayEvents> events_;
  std::map<int, std::map<int, long>> memory_;  // per lifetime, per day
  int lifetime_ = 0;
  std::mt19937_64 rng_;
  int day_ = 0;  // the day whose run is awaited
  bool run_started_ = false;
  bool done_ = false;
  // A kill before the delivery waits for the credit check to have reached
  // the gateway (more than `checks_before_`), then for `kill_at_`; a kill
  // inside the send for the gateway to have taken more than `sms_before_`
  // messages.
  bool kill_before_delivery_ = false;
  long checks_before_ = 0;
  std::optional<std::chrono::steady_clock::time_point> kill_at_;
  bool kill_inside_send_ = false;
  long sms_before_ = 0;
  // A day that does not end within this much real time stops the soak.
  std::chrono::steady_clock::time_point progress_at_;
  LaneFigures figures_;
};

}  // namespace oxsms::soak
