// Counts what the process asks of the Firebird client library: statements
// executed, statements prepared, databases attached and transactions
// committed. The counting wraps the client library's entry points in this
// executable (they take precedence over the library's own symbols and pass
// each call on), so the service code is measured exactly as it ships.
//
// MySQL connections are not counted; the benchmark's practices are Firebird.
#pragma once

#include <cstdint>

namespace oxsms::bench {

struct StatementCounts {
  uint64_t executed = 0;   // isc_dsql_execute, _execute2, _execute_immediate
  uint64_t prepared = 0;   // isc_dsql_prepare
  uint64_t attached = 0;   // isc_attach_database
  uint64_t committed = 0;  // isc_commit_transaction
};

// The counts since the process started.
StatementCounts CurrentStatementCounts();

// b - a, member by member.
StatementCounts operator-(const StatementCounts& b, const StatementCounts& a);

}  // namespace oxsms::bench
