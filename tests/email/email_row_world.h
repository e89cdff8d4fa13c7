// A configuration database holding the IMP_MODULE table, on embedded
// Firebird or on the private MariaDB server, for the tests of TVelkEmail.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/activity_log.h"
#include "practice/connection.h"
#include "support/database_env.h"
#include "support/manual_clock.h"
#include "support/temp_dir.h"

namespace oxsms::email::testing {

enum class Backend { kFirebird, kMariaDb };

class EmailRowWorld {
 public:
  // Skips nothing itself: check Available() first (MariaDB needs a server).
  explicit EmailRowWorld(Backend backend);
  ~EmailRowWorld();

  bool Available() const { return available_; }
  // A connection of its own to the configuration database.
  void Configure(practice::Connection& connection) const;
  // The connection TVelkEmail uses.
  practice::Connection& connection() { return connection_; }
  platform::ActivityLog& log() { return log_; }
  std::string LogText() const;

  // Runs statements on a connection of their own, committed at once.
  void Exec(const std::string& statement);
  // Inserts row 22 with the given documents (NULL for nullopt).
  void InsertRow(const std::optional<std::string>& struct1, const std::optional<std::string>& struct2);
  // Values of row 22 read through a connection of their own; "" for NULL.
  std::string Column(const std::string& column);
  int RowCount();

 private:
  Backend backend_;
  bool available_ = false;
  oxsms::testing::TempDir dir_;
  std::optional<oxsms::testing::MySqlServer> server_;
  std::unique_ptr<oxsms::testing::ScratchSchema> schema_;
  std::string firebird_file_;
  oxsms::testing::ManualClock clock_;
  platform::ActivityLog log_;
  practice::Connection connection_;
};

}  // namespace oxsms::email::testing
