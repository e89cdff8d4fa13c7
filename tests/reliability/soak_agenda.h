// The soak's own picture of the practice's agenda: the appointments it made,
// moved and cancelled, day by day, drawn from a seed. The driver writes each
// change to the agenda database and keeps this model in step, so that what
// the service should have sent can be told from the model alone.
#pragma once

#include <cstdint>
#include <map>
#include <random>
#include <set>
#include <vector>

namespace oxsms::soak {

// Days count from the first simulated day (0).
struct Appointment {
  int id = 0;      // the model's own serial
  int badge = 0;   // the patient
  int day = 0;
  int minute = 0;  // minutes after midnight
  int table = 0;   // agenda table index
};

struct Change {
  enum class Op { kAdd, kMove, kCancel };
  Op op = Op::kAdd;
  Appointment before;  // kMove, kCancel
  Appointment after;   // kAdd, kMove
};

struct AgendaShape {
  std::vector<int> badges;  // patients that may get appointments
  int tables = 2;
  int first_minute = 8 * 60;
  int last_minute = 19 * 60;  // exclusive
  int slot_minutes = 15;
};

// The day's changes. `today` is the day whose runs are over; no change
// touches a day in `frozen` (the days today's runs searched, which a run
// tried again later today would search once more) nor a day before
// `first_day`; new appointments go to [first_day, last_day].
struct ChurnPlan {
  int first_day = 0;
  int last_day = 0;
  std::set<int> frozen;
  int adds = 0;
  int moves = 0;
  int cancels = 0;
};

class AgendaModel {
 public:
  AgendaModel(AgendaShape shape, uint64_t seed);

  // Draws and applies the plan's changes; returns them in order. A change
  // that finds no free place (patient busy that day, slot taken) is left out.
  std::vector<Change> Churn(const ChurnPlan& plan);

  std::vector<Appointment> OnDay(int day) const;
  std::size_t size() const { return by_id_.size(); }
  long made() const { return next_id_ - 1; }

 private:
  bool Free(int badge, int day, int minute, int table, int except_id) const;
  bool Place(Appointment& a, int day);
  std::vector<int> Movable(const ChurnPlan& plan) const;

  AgendaShape shape_;
  std::mt19937_64 rng_;
  std::map<int, Appointment> by_id_;
  int next_id_ = 1;
};

}  // namespace oxsms::soak
