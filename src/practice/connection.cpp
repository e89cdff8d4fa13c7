#include "practice/connection.h"

#include <soci/soci.h>

#include <algorithm>
#include <cctype>

#include "practice/database_error.h"

namespace oxsms::practice {
namespace {

bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
           return std::tolower(x) == std::tolower(y);
         });
}

std::string NameOf(const std::string& param) { return param.substr(0, param.find('=')); }

}  // namespace

Connection::Connection() = default;
Connection::~Connection() = default;

void Connection::ClearParams() { params_.clear(); }

void Connection::SetParam(const std::string& name, const std::string& value) {
  for (auto& p : params_) {
    if (SameName(NameOf(p), name)) {
      p = name + "=" + value;
      return;
    }
  }
  params_.push_back(name + "=" + value);
}

void Connection::AddParam(const std::string& name_equals_value) {
  const auto eq = name_equals_value.find('=');
  if (eq == std::string::npos) {
    SetParam(name_equals_value, "");
  } else {
    SetParam(name_equals_value.substr(0, eq), name_equals_value.substr(eq + 1));
  }
}

std::string Connection::Param(const std::string& name) const {
  for (const auto& p : params_) {
    if (SameName(NameOf(p), name)) {
      const auto eq = p.find('=');
      return eq == std::string::npos ? std::string() : p.substr(eq + 1);
    }
  }
  return {};
}

bool Connection::IsFirebird() const { return SameName(DriverName(), kDriverFirebird); }
bool Connection::IsMySQL() const { return SameName(DriverName(), kDriverMySQL); }

}  // namespace oxsms::practice
