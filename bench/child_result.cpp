#include "child_result.h"

#include <fstream>
#include <iterator>
#include <stdexcept>

#include <nlohmann/json.hpp>

namespace oxsms::bench {

ChildResult MeasuredResult(const Stopwatch& watch, const StatementCounts& before) {
  ChildResult result;
  result.wall_s = watch.wall_s();
  result.cpu_s = watch.cpu_s();
  result.db = CurrentStatementCounts() - before;
  result.peak_rss_mib = PeakResidentMiB();
  return result;
}

void WriteChildResult(const std::filesystem::path& file, const ChildResult& r) {
  const nlohmann::json doc = {{"wall_s", r.wall_s},
                              {"cpu_s", r.cpu_s},
                              {"peak_rss_mib", r.peak_rss_mib},
                              {"db_executed", r.db.executed},
                              {"db_prepared", r.db.prepared},
                              {"db_attached", r.db.attached},
                              {"db_committed", r.db.committed}};
  std::ofstream out(file, std::ios::trunc);
  out << doc.dump() << '\n';
  if (!out.flush()) throw std::runtime_error("cannot write " + file.string());
}

ChildResult ReadChildResult(const std::filesystem::path& file) {
  std::ifstream in(file);
  if (!in) throw std::runtime_error("no result in " + file.string());
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  try {
    const auto doc = nlohmann::json::parse(text);
    ChildResult r;
    r.wall_s = doc.at("wall_s").get<double>();
    r.cpu_s = doc.at("cpu_s").get<double>();
    r.peak_rss_mib = doc.at("peak_rss_mib").get<double>();
    r.db.executed = doc.at("db_executed").get<uint64_t>();
    r.db.prepared = doc.at("db_prepared").get<uint64_t>();
    r.db.attached = doc.at("db_attached").get<uint64_t>();
    r.db.committed = doc.at("db_committed").get<uint64_t>();
    return r;
  } catch (const nlohmann::json::exception& e) {
    throw std::runtime_error("malformed result in " + file.string() + ": " + e.what());
  }
}

}  // namespace oxsms::bench
