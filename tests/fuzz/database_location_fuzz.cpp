// Database location texts: the split into host, port and file, and the
// record a location text gives when it names no cloud configuration.
#include <cstddef>
#include <cstdint>

#include "fuzz_check.h"
#include "platform/installation.h"
#include "practice/catalogue_context.h"
#include "practice/database_error.h"
#include "practice/database_location.h"

using oxsms::fuzz::Check;
namespace practice = oxsms::practice;

namespace {

void CheckParts(const std::string& text) {
  const practice::LocationParts parts = practice::ScomponiNomeDB(text);
  Check(parts.kind >= practice::kLocationColon && parts.kind <= practice::kLocationPound, "kind");
  Check(parts.host.size() + parts.role.size() + parts.file.size() <= text.size(),
        "parts longer than the text");
  if (parts.kind != practice::kLocationUnc) {
    Check(parts.host.find('/') == std::string::npos, "host keeps its port");
  }
  if (parts.kind == practice::kLocationLocal) Check(parts.file == text, "local path changed");
}

// The record of a location text; one with "id=" would need the cloud
// service or the cipher's key derivation, which a fuzz run cannot afford.
void CheckRecord(const std::string& text) {
  if (text.find("id=") != std::string::npos) return;
  static const oxsms::platform::HomeFolder home("/srv/oxsms");
  oxsms::platform::Installation installation;
  installation.default_db_password = "masterkey";
  static practice::CredentialCipher cipher;
  const practice::CatalogueContext ctx{home, installation, cipher};
  practice::TRecDatabase record;
  try {
    practice::LeggiPosizioneDB(text, record, ctx);
  } catch (const practice::DatabaseError&) {
  }
  Check(record.protoc >= 0 && record.protoc <= 3, "protocol");
  Check(record.local == record.host.empty(), "local flag");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text = oxsms::fuzz::Text(data, size);
  CheckParts(text);
  CheckRecord(text);
  return 0;
}
