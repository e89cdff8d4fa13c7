#include "net/header_rules.h"

#include <cctype>
#include <string>

#include "net/http_client.h"

namespace oxsms::net {
namespace {

bool IsTokenChar(unsigned char c) {
  if (std::isalnum(c)) return true;
  return std::string_view("!#$%&'*+-.^_`|~").find(static_cast<char>(c)) !=
         std::string_view::npos;
}

}  // namespace

std::string CleanHeaderValue(std::string_view name, std::string_view value) {
  auto begin = value.find_first_not_of(" \t");
  if (begin == std::string_view::npos) return {};
  auto end = value.find_last_not_of(" \t\r\n");
  std::string_view kept = value.substr(begin, end - begin + 1);
  if (kept.find_first_of("\r\n") != std::string_view::npos) {
    throw HttpError("Valore dell'intestazione HTTP \"" + std::string(name) +
                    "\" non valido: contiene un ritorno a capo");
  }
  return std::string(kept);
}

void CheckHeaderName(std::string_view name) {
  bool valid = !name.empty();
  for (unsigned char c : name) valid = valid && IsTokenChar(c);
  if (!valid) {
    std::string shown;
    for (unsigned char c : name) shown += std::isprint(c) ? static_cast<char>(c) : '?';
    throw HttpError("Nome di intestazione HTTP non valido: \"" + shown + "\"");
  }
}

std::string RedactUrl(std::string_view url) {
  auto query = url.find_first_of("?#");
  std::string_view kept = url.substr(0, query);
  auto scheme_end = kept.find("://");
  auto authority_begin = scheme_end == std::string_view::npos ? 0 : scheme_end + 3;
  auto authority_end = kept.find('/', authority_begin);
  std::string_view authority = kept.substr(authority_begin, authority_end == std::string_view::npos
                                                                ? std::string_view::npos
                                                                : authority_end - authority_begin);
  auto at = authority.rfind('@');
  if (at == std::string_view::npos) return std::string(kept);
  std::string result(kept.substr(0, authority_begin));
  result += kept.substr(authority_begin + at + 1);
  return result;
}

}  // namespace oxsms::net
