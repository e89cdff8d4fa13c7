#include "report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <stdexcept>

namespace oxsms::bench {
namespace {

using nlohmann::ordered_json;

const Measurement& Fastest(const std::vector<Measurement>& list) {
  if (list.empty()) throw std::logic_error("no measurement");
  return *std::min_element(list.begin(), list.end(), [](const auto& a, const auto& b) {
    return a.result.wall_s < b.result.wall_s;
  });
}

template <typename Get>
double Least(const std::vector<Measurement>& list, Get get) {
  double least = get(list.front());
  for (const auto& m : list) least = std::min(least, get(m));
  return least;
}

// To `digits` decimals, so the JSON shows 1.2345 rather than 1.2344999999999999.
double Rounded(double value, int digits) {
  const double scale = std::pow(10.0, digits);
  return std::round(value * scale) / scale;
}

ordered_json SizeJson(const SizeFigures& s) {
  const Measurement& run = Fastest(s.runs);
  const Measurement& floor = Fastest(s.floors);
  const double run_s = run.result.wall_s;
  const double floor_s = floor.result.wall_s;
  ordered_json j;
  j["appointments"] = s.size.appointments;
  j["patients"] = s.size.patients;
  j["run_s"] = Rounded(run_s, 4);
  j["floor_s"] = Rounded(floor_s, 4);
  j["ratio"] = Rounded(run_s / floor_s, 3);
  j["cpu_s"] = Rounded(Least(s.runs, [](const Measurement& m) { return m.result.cpu_s; }), 4);
  j["peak_rss_mib"] =
      Rounded(Least(s.runs, [](const Measurement& m) { return m.result.peak_rss_mib; }), 1);
  j["sms_lines"] = run.counts.sms_lines;
  j["whatsapp_recipients"] = run.counts.whatsapp_recipients;
  j["link_requests"] = run.counts.link_requests;
  j["emails"] = run.counts.emails;
  j["db_statements"] = run.result.db.executed;
  // Beyond the figures compared from commit to commit: where the run's time
  // may go, and what the floor did for the same messages.
  j["agenda_databases"] = s.size.agenda_databases;
  j["agenda_tables"] = s.size.agenda_databases * s.size.tables_per_agenda;
  j["patient_databases"] = s.size.patient_databases;
  j["run_us_per_appointment"] = Rounded(run_s / s.size.appointments * 1e6, 1);
  j["db_prepares"] = run.result.db.prepared;
  j["db_connects"] = run.result.db.attached;
  j["db_commits"] = run.result.db.committed;
  j["http_requests"] = run.counts.http_requests;
  j["http_requests_by_path"] = run.counts.by_path;
  j["floor_cpu_s"] =
      Rounded(Least(s.floors, [](const Measurement& m) { return m.result.cpu_s; }), 4);
  j["floor_peak_rss_mib"] =
      Rounded(Least(s.floors, [](const Measurement& m) { return m.result.peak_rss_mib; }), 1);
  j["floor_db_statements"] = floor.result.db.executed;
  j["floor_sms_lines"] = floor.counts.sms_lines;
  j["floor_whatsapp_recipients"] = floor.counts.whatsapp_recipients;
  j["floor_link_requests"] = floor.counts.link_requests;
  j["floor_emails"] = floor.counts.emails;
  j["floor_http_requests_by_path"] = floor.counts.by_path;
  ordered_json runs = ordered_json::array();
  for (const auto& m : s.runs) runs.push_back(Rounded(m.result.wall_s, 4));
  ordered_json floors = ordered_json::array();
  for (const auto& m : s.floors) floors.push_back(Rounded(m.result.wall_s, 4));
  j["run_s_each"] = runs;
  j["floor_s_each"] = floors;
  return j;
}

}  // namespace

ordered_json FiguresJson(const std::vector<SizeFigures>& sizes, const ordered_json& conditions) {
  ordered_json doc;
  doc["sizes"] = ordered_json::array();
  for (const auto& s : sizes) doc["sizes"].push_back(SizeJson(s));
  if (sizes.size() >= 2) {
    const auto& first = doc["sizes"].front();
    const auto& last = doc["sizes"].back();
    doc["growth_per_appointment"] = Rounded(
        last["run_us_per_appointment"].get<double>() / first["run_us_per_appointment"].get<double>(),
        3);
  }
  doc["conditions"] = conditions;
  return doc;
}

void PrintTable(std::ostream& out, const ordered_json& figures) {
  char line[256];
  std::snprintf(line, sizeof line, "%8s %8s %9s %9s %6s %8s %8s %7s %7s %7s %7s %8s %9s\n",
                "appts", "patients", "run_s", "floor_s", "ratio", "cpu_s", "rss_mib", "sms",
                "whatsapp", "emails", "links", "db_stmts", "us/appt");
  out << line;
  for (const auto& s : figures["sizes"]) {
    std::snprintf(line, sizeof line,
                  "%8lld %8lld %9.3f %9.3f %6.2f %8.3f %8.1f %7lld %7lld %7lld %7lld %8lld %9.1f\n",
                  s["appointments"].get<long long>(), s["patients"].get<long long>(),
                  s["run_s"].get<double>(), s["floor_s"].get<double>(), s["ratio"].get<double>(),
                  s["cpu_s"].get<double>(), s["peak_rss_mib"].get<double>(),
                  s["sms_lines"].get<long long>(), s["whatsapp_recipients"].get<long long>(),
                  s["emails"].get<long long>(), s["link_requests"].get<long long>(), s["db_statements"].get<long long>(),
                  s["run_us_per_appointment"].get<double>());
    out << line;
  }
  if (figures.contains("growth_per_appointment")) {
    out << "time per appointment, last size / first size: "
        << figures["growth_per_appointment"].get<double>() << "\n";
  }
}

}  // namespace oxsms::bench
