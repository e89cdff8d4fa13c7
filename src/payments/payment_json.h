// Small JSON readers and writers of the payment client. Requests are built
// as ordered objects, so their members travel in the order they were set.
#pragma once

#include <optional>
#include <string>

#include <nlohmann/json.hpp>

namespace oxsms::payments {

// The compact text of a request with every character outside ASCII written
// as a \u escape (the maker's body convention); bytes that are not UTF-8
// are replaced rather than refused.
std::string AsciiJsonText(const nlohmann::ordered_json& value);

// `text` parsed as a JSON object; raises PaymentError(`error`) otherwise.
nlohmann::ordered_json ParseObject(const std::string& text, const std::string& error);

// A member that is a string; nullopt when absent or of another type.
std::optional<std::string> OptionalText(const nlohmann::ordered_json& object, const char* name);

// A member as text: a string as it is, an integer in decimal, a Boolean as
// "1" or "0"; "" when absent, null or of another type.
std::string MemberText(const nlohmann::json& object, const char* name);

// object[outer][inner] when both are objects, else nullptr.
const nlohmann::json* MemberObject(const nlohmann::json& object, const char* outer, const char* inner);

}  // namespace oxsms::payments
