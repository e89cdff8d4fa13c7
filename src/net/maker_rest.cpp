#include "net/maker_rest.h"

#include <charconv>
#include <limits>

namespace oxsms::net {

std::string AsciiJson(const nlohmann::json& value) {
  // ensure_ascii writes every non-ASCII character as \uXXXX; invalid UTF-8 is
  // replaced rather than thrown on, so a damaged database value cannot stop a send.
  return value.dump(-1, ' ', true, nlohmann::json::error_handler_t::replace);
}

HttpRequest MakeMakerRequest(const MakerService& service, const std::string& path,
                             const nlohmann::json& body) {
  HttpRequest request;
  request.method = "POST";
  request.url = service.base_url + path;
  request.headers = {{"Authorization", service.api_key}, {"Content-Type", "application/json"}};
  request.body = AsciiJson(body);
  return request;
}

std::optional<int32_t> MakerReply::codice() const {
  if (!object || !object->is_object()) return std::nullopt;
  return Codice(*object);
}

std::optional<int32_t> IntegerMember(const nlohmann::json& object, const char* name) {
  const auto member = object.find(name);
  if (member == object.end()) return std::nullopt;
  long long value = 0;
  if (member->is_number_integer()) {
    value = member->get<long long>();
  } else if (member->is_string()) {
    const std::string& text = member->get_ref<const std::string&>();
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty()) {
      return std::nullopt;
    }
  } else {
    return std::nullopt;
  }
  if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max()) {
    return std::nullopt;
  }
  return static_cast<int32_t>(value);
}

std::string StringMember(const nlohmann::json& object, const char* name) {
  const auto member = object.find(name);
  if (member == object.end() || !member->is_string()) return {};
  return member->get<std::string>();
}

std::string MakerReply::response_message() const {
  if (!object || !object->is_object()) return {};
  const auto it = object->find("response_message");
  return it != object->end() && it->is_string() ? it->get<std::string>() : std::string();
}

MakerReply ReadMakerReply(const HttpResponse& response) {
  MakerReply reply;
  reply.text = response.body;
  if (reply.text.empty()) return reply;
  nlohmann::json parsed = nlohmann::json::parse(reply.text, nullptr, false);
  if (!parsed.is_discarded() && parsed.is_object()) reply.object = std::move(parsed);
  return reply;
}

MakerReply PostMaker(HttpClient& http, const MakerService& service, const std::string& path,
                     const nlohmann::json& body) {
  return ReadMakerReply(http.Send(MakeMakerRequest(service, path, body)));
}

std::string HostOf(const std::string& base_url) {
  std::string rest = base_url;
  const auto scheme = rest.find("://");
  if (scheme != std::string::npos) rest = rest.substr(scheme + 3);
  const auto at = rest.find('@');
  if (at != std::string::npos) rest = rest.substr(at + 1);
  return rest.substr(0, rest.find('/'));
}

}  // namespace oxsms::net
