// The conventions shared by the maker's JSON REST services (payments,
// WhatsApp templates, confirmation links, email, cloud): POST with the API
// key in "Authorization", a compact JSON body in plain ASCII (every other
// character written as a \u escape), a UTF-8 JSON reply with the envelope
// "codice" (1 = done), "dati" (the result) and "response_message".
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "net/http_client.h"

namespace oxsms::net {

// One of the maker's services: where it is and the key it wants.
struct MakerService {
  std::string base_url;  // scheme, host and optional port, without a final "/"
  std::string api_key;   // a secret: never logged
};

// The request of `body` to base_url + path ("/rest/crea_url_pagamento.json").
// The key travels alone in the header: a line end after it would end the
// headers early on the wire.
HttpRequest MakeMakerRequest(const MakerService& service, const std::string& path,
                             const nlohmann::json& body);

// The compact JSON text with every character outside ASCII as a \u escape.
std::string AsciiJson(const nlohmann::json& value);

// An integer member (a JSON integer, or a string of decimal digits with an
// optional sign) that fits in 32 bits; nullopt when it is absent or is
// anything else. Every service's "codice" is read this way.
std::optional<int32_t> IntegerMember(const nlohmann::json& object, const char* name);

// The envelope's "codice" (see IntegerMember).
inline std::optional<int32_t> Codice(const nlohmann::json& object) {
  return IntegerMember(object, "codice");
}

// A string member; empty when absent or not a string.
std::string StringMember(const nlohmann::json& object, const char* name);

// A reply as the services give it: the parsed object when the body is a JSON
// object, nothing for an empty body or any other text (an HTML error page).
struct MakerReply {
  std::string text;  // the body as received (UTF-8)
  std::optional<nlohmann::json> object;

  bool empty() const { return text.empty(); }
  // "codice" read by Codice; nullopt for a reply that is no object.
  std::optional<int32_t> codice() const;
  bool done() const { return codice() == 1; }
  std::string response_message() const;
};

MakerReply ReadMakerReply(const HttpResponse& response);

// Posts and reads the reply. Transport errors (HttpError) propagate.
MakerReply PostMaker(HttpClient& http, const MakerService& service, const std::string& path,
                     const nlohmann::json& body);

// "host[:port]" of a base address ("https://pay.example.it:8443" gives
// "pay.example.it:8443"): the host part of the addresses given to patients.
std::string HostOf(const std::string& base_url);

}  // namespace oxsms::net
