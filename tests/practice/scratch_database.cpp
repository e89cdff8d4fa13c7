#include "scratch_database.h"

#include <stdexcept>

namespace oxsms::testing {
std::string SchemaPrefix(const std::string& name) {
  std::string prefix = "oxsms_";
  for (char ch : name) {
    const bool plain = (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9');
    prefix += plain ? ch : '_';
  }
  return prefix;
}

ScratchDatabase::ScratchDatabase(Backend backend, const TempDir& dir, const std::string& name,
                                 int dialect)
    : backend_(backend) {
  if (backend == Backend::kFirebird) {
    name_ = FreshFirebirdFile(dir, name, dialect).string();
    return;
  }
  server_ = MySqlFromEnvironment();
  if (!server_) throw std::runtime_error(kNoMySqlMessage);
  schema_ = std::make_unique<ScratchSchema>(*server_, SchemaPrefix(name));
  name_ = schema_->name();
}

std::string ScratchDatabase::IniKeys() const {
  if (backend_ == Backend::kFirebird) return "File=" + name_ + "\r\nprotocollo=0\r\n";
  return "File=" + name_ + "\r\nprotocollo=3\r\nhost=" + server_->host +
         "\r\nruolo=" + std::to_string(server_->port) + "\r\nUser=" + server_->user +
         "\r\npwd=" + server_->password + "\r\n";
}

std::string ScratchDatabase::LocationText() const {
  if (backend_ == Backend::kFirebird) return name_;
  return server_->host + "\xC2\xA3" + name_ + "#" + server_->user + "=" + server_->password +
         "/p" + std::to_string(server_->port);
}

void ScratchDatabase::Configure(practice::Connection& c) const {
  ConfigureWithPassword(c, backend_ == Backend::kFirebird ? "qentoravi" : server_->password);
}

void ScratchDatabase::ConfigureWithPassword(practice::Connection& c,
                                            const std::string& password) const {
  c.ClearParams();
  c.SetParam("Database", name_);
  c.SetParam("Password", password);
  if (backend_ == Backend::kFirebird) {
    c.SetDriverName(practice::kDriverFirebird);
    c.SetParam("User_Name", "SYSDBA");
    return;
  }
  c.SetDriverName(practice::kDriverMySQL);
  c.SetParam("Server", server_->host);
  c.SetParam("Port", std::to_string(server_->port));
  c.SetParam("User_Name", server_->user);
}

}  // namespace oxsms::testing
