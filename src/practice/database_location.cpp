#include "practice/database_location.h"

#include "practice/credential_protection.h"
#include "practice/database_error.h"
#include "practice/local_config.h"

namespace oxsms::practice {
namespace {

constexpr std::string_view kPound = "\xC2\xA3";  // U+00A3 in UTF-8
constexpr std::string_view kUncPrefix = "\\\\";

bool Contains(std::string_view text, std::string_view what) {
  return text.find(what) != std::string_view::npos;
}

// Host and file around a separator at `pos`; a separator that is absent
// leaves the host empty and the file whole. "host/port" gives the port as role.
void SplitAt(std::string_view text, std::size_t pos, std::size_t separator_size,
             LocationParts& parts) {
  if (pos == std::string_view::npos) {
    parts.file = std::string(text);
  } else {
    parts.host = std::string(text.substr(0, pos));
    parts.file = std::string(text.substr(pos + separator_size));
  }
  const auto slash = parts.host.find('/');
  if (slash != std::string::npos) {
    parts.role = parts.host.substr(slash + 1);
    parts.host.erase(slash);
  }
}

// Splits `text` at the first `separator`: the part before stays in `text`;
// returns whether the separator was found, with the rest in `rest`.
bool CutAtFirst(std::string& text, std::string_view separator, std::string& rest) {
  const auto pos = text.find(separator);
  if (pos == std::string::npos) return false;
  rest = text.substr(pos + separator.size());
  text.erase(pos);
  return true;
}

void EraseAll(std::string& text, std::string_view what) {
  for (auto pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos)) {
    text.erase(pos, what.size());
  }
}

// "schema#user=password/pport/m" of a MySQL location.
void ReadMySqlAccount(TRecDatabase& record) {
  std::string account;
  if (CutAtFirst(record.fgdb, "#", account)) {
    std::string password;
    if (CutAtFirst(account, "=", password)) {
      std::string port;
      if (CutAtFirst(password, "/p", port)) record.role = port;
      record.pwd = password;
    }
    record.user = account;
  }
  if (Contains(record.role, "/m")) {
    EraseAll(record.role, "/m");
    record.NO_DATEMAPRULES = "1";
  }
  record.schema_db = record.fgdb;
}

void ReadCloudLocation(const std::string& text, TRecDatabase& record, const CatalogueContext& ctx) {
  const auto param = text.rfind("param=");
  if (param != std::string::npos) {
    record.protoc = 3;
    LeggiPosizioneDB(DecriptaHex(ctx.cipher, text.substr(param + 6)), record, ctx);
    if (record.descrizione_db.empty()) {
      const auto id = text.rfind("id=");
      record.descrizione_db = text.substr(0, id > 0 ? id - 1 : 0);
    }
    return;
  }
  record.protoc = 4;
  const std::string number = text.substr(text.rfind('=') + 1);
  if (ctx.resolver == nullptr) {
    throw DatabaseError("Configurazione cloud " + number +
                        " non leggibile: servizio cloud non disponibile");
  }
  ctx.resolver->Resolve(text, number, record);
}

}  // namespace

LocationParts ScomponiNomeDB(std::string_view text) {
  LocationParts parts;
  if (Contains(text, kUncPrefix)) {
    parts.kind = kLocationUnc;
    const std::string_view rest = text.substr(std::min<std::size_t>(2, text.size()));
    const auto slash = rest.find('\\');
    if (slash != std::string_view::npos) {
      parts.host = std::string(rest.substr(0, slash));
      parts.file = std::string(rest.substr(slash + 1));
    }
    return parts;
  }
  const auto colon = text.find(':');
  const auto at = text.find('@');
  const auto pound = text.find(kPound);
  const bool no_at_or_pound = at == std::string_view::npos && pound == std::string_view::npos;
  if (no_at_or_pound && (colon == std::string_view::npos || colon == 1)) {
    parts.kind = kLocationLocal;
    parts.file = std::string(text);
  } else if (no_at_or_pound) {
    parts.kind = kLocationColon;
    SplitAt(text, colon, 1, parts);
  } else if (pound != std::string_view::npos && pound > 0) {
    parts.kind = kLocationPound;
    SplitAt(text, pound, kPound.size(), parts);
  } else {
    parts.kind = kLocationAt;
    SplitAt(text, at, 1, parts);
  }
  return parts;
}

std::string ComponiNomeDB(const platform::HomeFolder& home, const std::string& host,
                          const std::string& path, int protoc) {
  std::string result;
  if (!host.empty()) {
    if (protoc == 3) return host + "-" + path;
    if (protoc == 1) result = kUncPrefix;
    result += host;
    if (protoc == 1) result += "\\";
    if (protoc == 0) result += ":";
    if (protoc == 2) result += "@";
  }
  if (path.find_first_of("\\/") != std::string::npos) return result + path;
  return result + home.TextWithSeparator() + "database\\" + path;
}

void LeggiPosizioneDB(const std::string& text, TRecDatabase& record, const CatalogueContext& ctx) {
  if (Contains(text, "id=")) {
    ReadCloudLocation(text, record, ctx);
    return;
  }
  LocationParts parts = ScomponiNomeDB(text);
  record.host = std::move(parts.host);
  record.role = std::move(parts.role);
  record.fgdb = std::move(parts.file);
  switch (parts.kind) {
    case kLocationUnc:
      record.protoc = 1;
      break;
    case kLocationAt:
      record.protoc = 2;
      break;
    case kLocationPound:
      record.protoc = 3;
      break;
    default:
      record.protoc = 0;
      break;
  }
  record.local = record.host.empty();
  if (record.protoc == 3) {
    ReadMySqlAccount(record);
  } else {
    record.user = kDefaultUser;
    record.pwd = ctx.installation.default_db_password;
  }
}

}  // namespace oxsms::practice
