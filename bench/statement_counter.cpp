#include "statement_counter.h"

#include <dlfcn.h>
#include <ibase.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

namespace oxsms::bench {
namespace {

std::atomic<uint64_t> executed{0};
std::atomic<uint64_t> prepared{0};
std::atomic<uint64_t> attached{0};
std::atomic<uint64_t> committed{0};

// With OXSMS_BENCH_TRACE set, the time spent in each entry point and in
// each statement text prepared or database attached is tallied, and the
// tally printed to standard error when the process ends: where the
// database time of a run goes.
class Tally {
 public:
  static Tally* Get() {
    static Tally* const tally = std::getenv("OXSMS_BENCH_TRACE") ? new Tally : nullptr;
    return tally;
  }

  // The statement text of each prepared statement handle, so executions can
  // be told apart.
  void Prepared(isc_stmt_handle handle, std::string text) {
    std::lock_guard lock(mutex_);
    texts_[handle] = std::move(text);
  }
  std::string TextOf(isc_stmt_handle handle) {
    std::lock_guard lock(mutex_);
    const auto found = texts_.find(handle);
    return found == texts_.end() ? std::string("?") : found->second;
  }

  void Add(const std::string& what, std::chrono::steady_clock::duration spent) {
    std::lock_guard lock(mutex_);
    Entry& entry = entries_[what];
    ++entry.calls;
    entry.spent += spent;
  }

 private:
  struct Entry {
    uint64_t calls = 0;
    std::chrono::steady_clock::duration spent{};
  };

  Tally() { std::atexit(&Tally::Print); }

  static void Print() {
    Tally* tally = Get();
    std::lock_guard lock(tally->mutex_);
    std::multimap<double, std::string, std::greater<>> by_time;
    for (const auto& [what, entry] : tally->entries_) {
      const double ms = std::chrono::duration<double, std::milli>(entry.spent).count();
      char line[64];
      std::snprintf(line, sizeof line, "%10.1f ms %8llu  ", ms,
                    static_cast<unsigned long long>(entry.calls));
      by_time.emplace(ms, line + what);
    }
    for (const auto& [ms, line] : by_time) std::fprintf(stderr, "%s\n", line.c_str());
  }

  std::mutex mutex_;
  std::map<std::string, Entry> entries_;
  std::map<isc_stmt_handle, std::string> texts_;
};

// Runs `call`, counting it in `counter`; when tracing, its time goes to the
// entry point's total and, with a text, to that text's.
// The client library implements some entry points with others (execute with
// execute2): only the outermost call of a thread is counted.
thread_local int depth = 0;

template <typename Call>
ISC_STATUS Counted(std::atomic<uint64_t>& counter, const char* entry_point, const char* text,
                   std::size_t length, Call call) {
  if (depth > 0) return call();
  struct Nesting {
    Nesting() { ++depth; }
    ~Nesting() { --depth; }
  } nesting;
  ++counter;
  Tally* tally = Tally::Get();
  if (tally == nullptr) return call();
  const auto start = std::chrono::steady_clock::now();
  const ISC_STATUS status = call();
  const auto spent = std::chrono::steady_clock::now() - start;
  tally->Add(entry_point, spent);
  if (text != nullptr) {
    tally->Add(std::string(entry_point) + " " +
                   std::string(text, length != 0 ? length : std::strlen(text)),
               spent);
  }
  return status;
}

// The client library's own entry point of `name`, found once.
template <typename Function>
Function Next(const char* name) {
  void* symbol = dlsym(RTLD_NEXT, name);
  if (symbol == nullptr) {
    std::fprintf(stderr, "daily_run: %s not found in the Firebird client library\n", name);
    std::abort();
  }
  return reinterpret_cast<Function>(symbol);
}

}  // namespace

StatementCounts CurrentStatementCounts() {
  return {executed.load(), prepared.load(), attached.load(), committed.load()};
}

StatementCounts operator-(const StatementCounts& b, const StatementCounts& a) {
  return {b.executed - a.executed, b.prepared - a.prepared, b.attached - a.attached,
          b.committed - a.committed};
}

}  // namespace oxsms::bench

namespace bench = oxsms::bench;

extern "C" {

ISC_STATUS ISC_EXPORT isc_dsql_execute(ISC_STATUS* status, isc_tr_handle* tr,
                                       isc_stmt_handle* stmt, unsigned short dialect,
                                       const XSQLDA* in) {
  static const auto next = bench::Next<decltype(&isc_dsql_execute)>("isc_dsql_execute");
  bench::Tally* tally = bench::Tally::Get();
  const std::string text = tally != nullptr ? tally->TextOf(*stmt) : std::string();
  return bench::Counted(bench::executed, "execute", tally != nullptr ? text.c_str() : nullptr,
                        text.size(), [&] { return next(status, tr, stmt, dialect, in); });
}

ISC_STATUS ISC_EXPORT isc_dsql_execute2(ISC_STATUS* status, isc_tr_handle* tr,
                                        isc_stmt_handle* stmt, unsigned short dialect,
                                        const XSQLDA* in, const XSQLDA* out) {
  static const auto next = bench::Next<decltype(&isc_dsql_execute2)>("isc_dsql_execute2");
  return bench::Counted(bench::executed, "execute", nullptr, 0,
                        [&] { return next(status, tr, stmt, dialect, in, out); });
}

ISC_STATUS ISC_EXPORT isc_dsql_execute_immediate(ISC_STATUS* status, isc_db_handle* db,
                                                 isc_tr_handle* tr, unsigned short length,
                                                 const ISC_SCHAR* sql, unsigned short dialect,
                                                 const XSQLDA* in) {
  static const auto next =
      bench::Next<decltype(&isc_dsql_execute_immediate)>("isc_dsql_execute_immediate");
  return bench::Counted(bench::executed, "execute_immediate", sql, length,
                        [&] { return next(status, db, tr, length, sql, dialect, in); });
}

ISC_STATUS ISC_EXPORT isc_dsql_prepare(ISC_STATUS* status, isc_tr_handle* tr,
                                       isc_stmt_handle* stmt, unsigned short length,
                                       const ISC_SCHAR* sql, unsigned short dialect,
                                       XSQLDA* out) {
  static const auto next = bench::Next<decltype(&isc_dsql_prepare)>("isc_dsql_prepare");
  const ISC_STATUS result = bench::Counted(
      bench::prepared, "prepare", sql, length,
      [&] { return next(status, tr, stmt, length, sql, dialect, out); });
  if (bench::Tally* tally = bench::Tally::Get()) {
    tally->Prepared(*stmt, std::string(sql, length != 0 ? length : std::strlen(sql)));
  }
  return result;
}

ISC_STATUS ISC_EXPORT isc_attach_database(ISC_STATUS* status, short length, const ISC_SCHAR* name,
                                          isc_db_handle* db, short dpb_length,
                                          const ISC_SCHAR* dpb) {
  static const auto next = bench::Next<decltype(&isc_attach_database)>("isc_attach_database");
  return bench::Counted(bench::attached, "attach", name, static_cast<std::size_t>(length),
                        [&] { return next(status, length, name, db, dpb_length, dpb); });
}

ISC_STATUS ISC_EXPORT isc_commit_transaction(ISC_STATUS* status, isc_tr_handle* tr) {
  static const auto next =
      bench::Next<decltype(&isc_commit_transaction)>("isc_commit_transaction");
  return bench::Counted(bench::committed, "commit", nullptr, 0, [&] { return next(status, tr); });
}

}  // extern "C"
