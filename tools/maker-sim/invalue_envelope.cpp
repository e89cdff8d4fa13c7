#include "maker-sim/invalue_envelope.h"

#include "maker-sim/sim_json.h"
#include "platform/code_page.h"

namespace oxsms::makersim {

using nlohmann::json;

json DecodeInvalue(const std::string& body) {
  json outer = json::parse(platform::Cp1252ToUtf8(body), nullptr, false);
  if (outer.is_discarded() || !outer.is_object()) {
    throw BadRequest("il corpo non è un oggetto JSON");
  }
  auto it = outer.find("invalue");
  if (it == outer.end() || !it->is_string()) {
    throw BadRequest("membro \"invalue\" mancante o non testo");
  }
  json inner = json::parse(it->get<std::string>(), nullptr, false);
  if (inner.is_discarded() || !inner.is_object()) {
    throw BadRequest("\"invalue\" non contiene un oggetto JSON");
  }
  return inner;
}

void ReplyOutvalue(httplib::Response& response, const std::string& text, int status) {
  ReplyJson(response, json{{"outvalue", text}}, status);
}

}  // namespace oxsms::makersim
