#include "support/database_env.h"

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <stdexcept>

#include "fixture/create_database.h"

namespace oxsms::testing {
namespace {

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

}  // namespace

std::string BackendName(Backend backend) {
  return backend == Backend::kFirebird ? "Firebird" : "MariaDb";
}

std::optional<MySqlServer> MySqlFromEnvironment() {
  MySqlServer server;
  server.host = Env("OXSMS_MYSQL_HOST");
  if (server.host.empty()) return std::nullopt;
  const std::string port = Env("OXSMS_MYSQL_PORT");
  if (!port.empty()) {
    std::size_t used = 0;
    try {
      server.port = std::stoi(port, &used);
    } catch (const std::exception&) {
      used = 0;
    }
    if (used != port.size() || server.port <= 0 || server.port > 65535) {
      throw std::runtime_error("OXSMS_MYSQL_PORT is not a port number: " + port);
    }
  }
  server.user = Env("OXSMS_MYSQL_USER");
  if (server.user.empty())
    throw std::runtime_error("OXSMS_MYSQL_HOST is set, OXSMS_MYSQL_USER is not");
  server.password = Env("OXSMS_MYSQL_PASSWORD");
  return server;
}

ScratchSchema::ScratchSchema(const MySqlServer& server, const std::string& prefix)
    : server_(server) {
  static std::atomic<int> counter{0};
  name_ = prefix + "_" + std::to_string(::getpid()) + "_" + std::to_string(counter++);
  fixture::CreateMySqlSchema(server_.host, server_.port, server_.user, server_.password, name_);
}

ScratchSchema::~ScratchSchema() {
  try {
    fixture::DropMySqlSchema(server_.host, server_.port, server_.user, server_.password, name_);
  } catch (const std::exception&) {
    // A schema left behind is harmless: the next test uses another name.
  }
}

std::filesystem::path FreshFirebirdFile(const TempDir& dir, const std::string& name, int dialect) {
  const auto path = dir / name;
  fixture::CreateFirebirdDatabase(path, dialect);
  return path;
}

}  // namespace oxsms::testing
