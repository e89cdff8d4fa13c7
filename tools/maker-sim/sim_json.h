// JSON helpers shared by the simulated services and the control API.
#pragma once

#include <string>

#include <httplib.h>
#include <nlohmann/json.hpp>

#include "platform/error.h"

namespace oxsms::makersim {

// A request the simulator cannot take (malformed JSON, missing member, a
// state or fault document it cannot load); answered with HTTP 400.
class BadRequest : public platform::DataError {
 public:
  using platform::DataError::DataError;
};

// Writes the value as compact JSON with every non-ASCII character escaped, so
// the reply reads the same whether the client takes it as UTF-8 or as an
// 8-bit code page.
void ReplyJson(httplib::Response& response, const nlohmann::json& value, int status = 200);

// The body parsed as a JSON object: UTF-8, or Windows-1252 when it is not
// valid UTF-8. Raises BadRequest otherwise.
nlohmann::json ParseJsonObjectBody(const std::string& body);

// Member readers that raise BadRequest naming the member on a wrong type.
std::string RequiredString(const nlohmann::json& object, const char* name);
long long RequiredInteger(const nlohmann::json& object, const char* name);
std::string OptionalString(const nlohmann::json& object, const char* name, const std::string& fallback);
long long OptionalInteger(const nlohmann::json& object, const char* name, long long fallback);

// Current time as "yyyy-mm-ddThh:mm:ss.mmmZ".
std::string UtcTimestamp();

}  // namespace oxsms::makersim
