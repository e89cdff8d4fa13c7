// The wire conventions of the maker's SMS gateway.
//
// Requests: POST to the gateway's base address followed by the endpoint path,
// headers Content-Type and Accept "application/json". The body is the
// "invalue" envelope - {"invalue": "<compact JSON text of the request>"} -
// with letters outside ASCII written as they are (no \u escapes) and the
// bytes in Windows-1252, the code page the gateway reads.
// Replies: a JSON object whose string member "outvalue" is either JSON text
// or a plain status text, depending on the endpoint.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "net/http_client.h"
#include "net/maker_rest.h"

namespace oxsms::channels {

using WireObject = nlohmann::ordered_json;

// The base address and the path joined with exactly one "/" between them.
std::string GatewayUrl(std::string_view base, std::string_view path);

// The request headers every gateway call carries.
void AddJsonHeaders(net::HttpRequest& request);

// The envelope bytes of a request object: Windows-1252, accented letters not
// escaped. A character outside the code page becomes '?'.
std::string InvalueBody(const WireObject& request);

// A POST of `request` in the envelope to `base` + `path`.
net::HttpRequest InvalueRequest(std::string_view base, std::string_view path,
                                const WireObject& request);
// The same, releasing the request's values as soon as they are written (a
// batch upload's text is megabytes).
net::HttpRequest InvalueRequest(std::string_view base, std::string_view path,
                                WireObject&& request);
// The same for `request` with a last member "fattach" that is the base64 of
// `attach`: the encoding is written straight into the envelope, so a large
// batch is held once as text and once as the request's bytes.
net::HttpRequest InvalueRequestWithBase64(std::string_view base, std::string_view path,
                                          const WireObject& request, std::string_view attach);

// The reply's "outvalue" as UTF-8. Raises GatewayReplyError naming `path`
// on an HTTP status outside 2xx and on a body that is not a JSON object with
// a string "outvalue".
std::string Outvalue(const net::HttpResponse& reply, std::string_view path);

// Parses a JSON object (UTF-8, or Windows-1252 as the gateway may send).
// Raises GatewayReplyError naming `path` when the text is no JSON object.
nlohmann::json ParseReplyObject(std::string_view text, std::string_view path);

// Raises GatewayReplyError naming `path` when the HTTP status is not 2xx.
void CheckStatus(const net::HttpResponse& reply, std::string_view path);

// The member readers of the maker's replies.
using net::IntegerMember;
using net::StringMember;

}  // namespace oxsms::channels
