#include "maker-sim/sim_json.h"

#include <chrono>
#include <cstdio>
#include <ctime>

#include "platform/code_page.h"

namespace oxsms::makersim {

using nlohmann::json;

void ReplyJson(httplib::Response& response, const json& value, int status) {
  response.status = status;
  response.set_content(value.dump(-1, ' ', true), "application/json; charset=utf-8");
}

json ParseJsonObjectBody(const std::string& body) {
  json value = json::parse(platform::ToUtf8Lenient(body), nullptr, false);
  if (value.is_discarded() || !value.is_object()) {
    throw BadRequest("il corpo della richiesta non è un oggetto JSON");
  }
  return value;
}

std::string RequiredString(const json& object, const char* name) {
  auto it = object.find(name);
  if (it == object.end() || !it->is_string()) {
    throw BadRequest(std::string("membro \"") + name + "\" mancante o non testo");
  }
  return it->get<std::string>();
}

long long RequiredInteger(const json& object, const char* name) {
  auto it = object.find(name);
  if (it == object.end() || !it->is_number_integer()) {
    throw BadRequest(std::string("membro \"") + name + "\" mancante o non intero");
  }
  return it->get<long long>();
}

std::string OptionalString(const json& object, const char* name, const std::string& fallback) {
  return object.contains(name) ? RequiredString(object, name) : fallback;
}

long long OptionalInteger(const json& object, const char* name, long long fallback) {
  return object.contains(name) ? RequiredInteger(object, name) : fallback;
}

std::string UtcTimestamp() {
  using namespace std::chrono;
  auto now = system_clock::now();
  std::time_t seconds = system_clock::to_time_t(now);
  auto millis = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm parts{};
  gmtime_r(&seconds, &parts);
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", parts.tm_year + 1900,
                parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec,
                static_cast<int>(millis));
  return text;
}

}  // namespace oxsms::makersim
