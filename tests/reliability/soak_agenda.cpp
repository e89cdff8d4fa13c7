#include "reliability/soak_agenda.h"

#include <algorithm>

namespace oxsms::soak {
namespace {

int Uniform(std::mt19937_64& rng, int low, int high) {  // [low, high]
  return std::uniform_int_distribution<int>(low, high)(rng);
}

}  // namespace

AgendaModel::AgendaModel(AgendaShape shape, uint64_t seed) : shape_(std::move(shape)), rng_(seed) {}

bool AgendaModel::Free(int badge, int day, int minute, int table, int except_id) const {
  for (const auto& [id, a] : by_id_) {
    if (id == except_id || a.day != day) continue;
    // One appointment per patient and day: the search keeps one per patient,
    // so a second one would make the expected count ambiguous.
    if (a.badge == badge) return false;
    if (a.table == table && a.minute == minute) return false;
  }
  return true;
}

// A free slot for `a` on `day` (a few draws); false when none was found.
bool AgendaModel::Place(Appointment& a, int day) {
  const int slots = (shape_.last_minute - shape_.first_minute) / shape_.slot_minutes;
  for (int attempt = 0; attempt < 8; ++attempt) {
    const int minute = shape_.first_minute + Uniform(rng_, 0, slots - 1) * shape_.slot_minutes;
    const int table = Uniform(rng_, 0, shape_.tables - 1);
    if (Free(a.badge, day, minute, table, a.id)) {
      a.day = day;
      a.minute = minute;
      a.table = table;
      return true;
    }
  }
  return false;
}

std::vector<int> AgendaModel::Movable(const ChurnPlan& plan) const {
  std::vector<int> ids;
  for (const auto& [id, a] : by_id_) {
    if (a.day >= plan.first_day && plan.frozen.count(a.day) == 0) ids.push_back(id);
  }
  return ids;
}

std::vector<Change> AgendaModel::Churn(const ChurnPlan& plan) {
  std::vector<Change> changes;
  auto free_day = [&]() {
    int day = plan.first_day;
    for (int attempt = 0; attempt < 16; ++attempt) {
      day = Uniform(rng_, plan.first_day, plan.last_day);
      if (plan.frozen.count(day) == 0) return day;
    }
    return -1;
  };
  for (int i = 0; i < plan.adds; ++i) {
    Appointment a;
    a.id = next_id_;
    a.badge = shape_.badges[static_cast<std::size_t>(
        Uniform(rng_, 0, static_cast<int>(shape_.badges.size()) - 1))];
    const int day = free_day();
    if (day < 0 || !Place(a, day)) continue;
    ++next_id_;
    by_id_[a.id] = a;
    changes.push_back({Change::Op::kAdd, {}, a});
  }
  for (int i = 0; i < plan.moves; ++i) {
    const std::vector<int> ids = Movable(plan);
    const int day = free_day();
    if (ids.empty() || day < 0) break;
    Appointment& a = by_id_[ids[static_cast<std::size_t>(Uniform(rng_, 0, static_cast<int>(ids.size()) - 1))]];
    const Appointment before = a;
    Appointment moved = a;
    if (!Place(moved, day)) continue;
    a = moved;
    changes.push_back({Change::Op::kMove, before, moved});
  }
  for (int i = 0; i < plan.cancels; ++i) {
    const std::vector<int> ids = Movable(plan);
    if (ids.empty()) break;
    const int id = ids[static_cast<std::size_t>(Uniform(rng_, 0, static_cast<int>(ids.size()) - 1))];
    changes.push_back({Change::Op::kCancel, by_id_[id], {}});
    by_id_.erase(id);
  }
  return changes;
}

std::vector<Appointment> AgendaModel::OnDay(int day) const {
  std::vector<Appointment> out;
  for (const auto& [id, a] : by_id_) {
    if (a.day == day) out.push_back(a);
  }
  return out;
}

}  // namespace oxsms::soak
