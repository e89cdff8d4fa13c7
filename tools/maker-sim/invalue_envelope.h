// The SMS gateway's envelope: the request body is {"invalue": "<compact JSON
// of the request object>"} in Windows-1252 bytes; the reply is
// {"outvalue": "<text>"}.
#pragma once

#include <string>

#include <httplib.h>
#include <nlohmann/json.hpp>

namespace oxsms::makersim {

// The request object inside the envelope, its texts in UTF-8. The body is
// read as Windows-1252, as the gateway's clients send it. Raises BadRequest
// when the body, "invalue" or the object inside is malformed.
nlohmann::json DecodeInvalue(const std::string& body);

// Writes {"outvalue": text} (HTTP 200 unless told otherwise).
void ReplyOutvalue(httplib::Response& response, const std::string& text, int status = 200);

}  // namespace oxsms::makersim
