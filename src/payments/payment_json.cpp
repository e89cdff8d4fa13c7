#include "payments/payment_json.h"

#include "payments/payment_error.h"

namespace oxsms::payments {

std::string AsciiJsonText(const nlohmann::ordered_json& value) {
  return value.dump(-1, ' ', true, nlohmann::ordered_json::error_handler_t::replace);
}

nlohmann::ordered_json ParseObject(const std::string& text, const std::string& error) {
  nlohmann::ordered_json parsed = nlohmann::ordered_json::parse(text, nullptr, false);
  if (parsed.is_discarded() || !parsed.is_object()) throw PaymentError(error);
  return parsed;
}

std::optional<std::string> OptionalText(const nlohmann::ordered_json& object, const char* name) {
  const auto it = object.find(name);
  if (it == object.end() || !it->is_string()) return std::nullopt;
  return it->get<std::string>();
}

std::string MemberText(const nlohmann::json& object, const char* name) {
  if (!object.is_object()) return "";
  const auto it = object.find(name);
  if (it == object.end()) return "";
  if (it->is_string()) return it->get<std::string>();
  if (it->is_number_integer()) return std::to_string(it->get<long long>());
  if (it->is_boolean()) return it->get<bool>() ? "1" : "0";
  return "";
}

const nlohmann::json* MemberObject(const nlohmann::json& object, const char* outer, const char* inner) {
  if (!object.is_object()) return nullptr;
  const auto first = object.find(outer);
  if (first == object.end() || !first->is_object()) return nullptr;
  const auto second = first->find(inner);
  if (second == first->end() || !second->is_object()) return nullptr;
  return &*second;
}

}  // namespace oxsms::payments
