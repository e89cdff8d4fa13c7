// The cloud configuration document: the JSON of the input, sealed as the
// catalogue stores it (hex form), then read into a database record.
#include <cstddef>
#include <cstdint>
#include <nlohmann/json.hpp>

#include "cloud/cloud_configuration_document.h"
#include "fuzz_check.h"
#include "platform/code_page.h"
#include "practice/credential_protection.h"

using oxsms::fuzz::Check;
namespace practice = oxsms::practice;

namespace {

// What the record should hold for `name`: a string as it is, a number in
// its JSON form, anything else empty.
std::string Expected(const nlohmann::json& document, const char* name) {
  const auto it = document.find(name);
  if (it == document.end()) return {};
  if (it->is_string()) return it->get<std::string>();
  if (it->is_number()) return it->dump();
  return {};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // One cipher for the process: its sealing key is derived once.
  static practice::CredentialCipher cipher;
  const std::string text = oxsms::fuzz::Text(data, size);
  practice::TRecDatabase record;
  record.host = "untouched";
  oxsms::cloud::LeggiConfigurazioneCloud(cipher, practice::CriptaHex(cipher, text), record);

  namespace cp = oxsms::platform;
  const auto document =
      nlohmann::json::parse(cp::Cp1252ToUtf8(cp::Utf8ToCp1252(text)), nullptr, false);
  if (!document.is_object()) {
    Check(record.host == "untouched", "a document that is no object changed the record");
    return 0;
  }
  Check(record.host == Expected(document, "server_db"), "server_db");
  Check(record.role == Expected(document, "port_db"), "port_db");
  Check(record.schema_db == Expected(document, "schema_name_db"), "schema_name_db");
  Check(record.local == record.host.empty(), "local flag");
  return 0;
}
