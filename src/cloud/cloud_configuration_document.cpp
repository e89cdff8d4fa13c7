#include "cloud/cloud_configuration_document.h"

#include "practice/credential_protection.h"

namespace oxsms::cloud {
namespace {

// A member as text: strings as they are, numbers in their JSON form (a port
// is sometimes stored as a number), anything else empty.
std::string Member(const nlohmann::json& object, const char* name) {
  const auto it = object.find(name);
  if (it == object.end()) return {};
  if (it->is_string()) return it->get<std::string>();
  if (it->is_number()) return it->dump();
  return {};
}

}  // namespace

void ReadConfigurationDocument(const nlohmann::json& document, practice::TRecDatabase& record) {
  if (!document.is_object()) return;
  record.descrizione_db = Member(document, "descrizione");
  record.host = Member(document, "server_db");
  const std::string schema = Member(document, "schema_name_db");
  record.fgdb = record.descrizione_db.empty() ? schema : record.descrizione_db;
  record.user = Member(document, "user_db");
  record.pwd = Member(document, "pwd_db");
  record.role = Member(document, "port_db");
  record.filtro_db = Member(document, "filtro_db");
  record.schema_db = schema;
  record.login = false;
  record.local = record.host.empty();
  record.loginfile = true;
  record.inactive = false;
  record.server_ftp = Member(document, "server_ftp");
  record.user_ftp = Member(document, "user_ftp");
  record.pwd_ftp = Member(document, "pwd_ftp");
  record.port_ftp = Member(document, "port_ftp");
  record.bucket_ftp = Member(document, "bucket_ftp");
}

void LeggiConfigurazioneCloud(practice::CredentialCipher& cipher, const std::string& hex,
                              practice::TRecDatabase& record) {
  if (hex.empty()) return;
  ReadConfigurationDocument(nlohmann::json::parse(practice::DecriptaHex(cipher, hex), nullptr,
                                                  /*allow_exceptions=*/false),
                            record);
}

}  // namespace oxsms::cloud
