// Databases of the tests: the private MariaDB server named by the
// OXSMS_MYSQL_* variables (scripts/mariadb-test-server.sh prints them) and
// fresh Firebird files (embedded engine; scripts/firebird-env.sh prepares the
// mode in which several processes may share a file).
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "support/temp_dir.h"

namespace oxsms::testing {

struct MySqlServer {
  std::string host;
  int port = 3306;
  std::string user;
  std::string password;
};

// The server of OXSMS_MYSQL_HOST, _PORT, _USER and _PASSWORD; nullopt when
// OXSMS_MYSQL_HOST is unset or empty. Raises std::runtime_error when the host
// is set but the port is not a number or the user is missing: a half-set
// environment is a broken test setup, not a reason to skip.
std::optional<MySqlServer> MySqlFromEnvironment();

inline constexpr const char* kNoMySqlMessage =
    "OXSMS_MYSQL_HOST is not set: no MariaDB server for this test "
    "(eval \"$(scripts/mariadb-test-server.sh start DIR)\" to run one)";

// Skips the current test when no server is configured; otherwise declares
// `const MySqlServer& name` for the rest of the test body.
#define OXSMS_REQUIRE_MYSQL(name)                                            \
  const auto name##_configured = ::oxsms::testing::MySqlFromEnvironment();   \
  if (!name##_configured) GTEST_SKIP() << ::oxsms::testing::kNoMySqlMessage; \
  const ::oxsms::testing::MySqlServer& name = *name##_configured

// A schema of its own for one test, created empty (utf8mb4) and dropped at
// the end. The name is made unique per process and call, so tests may run in
// parallel against one server.
class ScratchSchema {
 public:
  ScratchSchema(const MySqlServer& server, const std::string& prefix);
  ~ScratchSchema();
  ScratchSchema(const ScratchSchema&) = delete;
  ScratchSchema& operator=(const ScratchSchema&) = delete;

  const std::string& name() const { return name_; }

 private:
  MySqlServer server_;
  std::string name_;
};

// The two database servers a practice database may live on. Suites over
// both are instantiated with OXSMS_INSTANTIATE_ON_BOTH_BACKENDS; their test
// names end in "/Firebird" or "/MariaDb", which the build uses to label them.
enum class Backend { kFirebird, kMariaDb };

std::string BackendName(Backend backend);

struct BackendParamName {
  std::string operator()(const ::testing::TestParamInfo<Backend>& info) const {
    return BackendName(info.param);
  }
};

#define OXSMS_INSTANTIATE_ON_BOTH_BACKENDS(suite)                                          \
  INSTANTIATE_TEST_SUITE_P(, suite,                                                       \
                           ::testing::Values(::oxsms::testing::Backend::kFirebird,        \
                                             ::oxsms::testing::Backend::kMariaDb),        \
                           ::oxsms::testing::BackendParamName())

// Skips the current test (or, in SetUp, the test it prepares) when it runs
// on MariaDB and no server is configured.
#define OXSMS_REQUIRE_BACKEND(backend)                                  \
  if ((backend) == ::oxsms::testing::Backend::kMariaDb &&               \
      !::oxsms::testing::MySqlFromEnvironment())                        \
  GTEST_SKIP() << ::oxsms::testing::kNoMySqlMessage

// A new, empty Firebird file `name` in `dir` (UTF8, dialect 3 or 1).
std::filesystem::path FreshFirebirdFile(const TempDir& dir, const std::string& name,
                                        int dialect = 3);

}  // namespace oxsms::testing
