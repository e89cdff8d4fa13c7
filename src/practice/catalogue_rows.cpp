#include "practice/catalogue_rows.h"

#include <soci/soci.h>

#include "practice/database_error.h"
#include "practice/row_values.h"

namespace oxsms::practice {
namespace {

enum CatalogueColumn : std::size_t {
  kFiledb, kProtocollo, kCloud, kHost, kUid, kPwd, kRuolo, kLoginPrompt, kLoginFilePrompt,
  kPwdFile, kFinactive
};

}  // namespace

std::string CatalogueQuery(const Connection& c, const std::string& condition) {
  // CLOUD may be a BLOB, which the Firebird backend reads into a row only as text.
  return std::string("select FILEDB, PROTOCOLLO, ") +
         (c.IsFirebird() ? "cast(CLOUD as varchar(8191)) as CLOUD" : "CLOUD") +
         ", HOST, UID, PWD, RUOLO, LOGINPROMPT, LOGINFILEPROMPT, PWDFILE, FINACTIVE from DB"
         " where " + condition;
}

int CatalogueProtocol(const soci::row& row) {
  return static_cast<int>(IntegerOf(row, kProtocollo).value_or(0));
}

std::string CatalogueCloud(const soci::row& row) { return TextOf(row, kCloud); }

std::string CatalogueFinactive(const soci::row& row) { return TextOf(row, kFinactive); }

void FillFromCatalogueRow(const soci::row& row, TRecDatabase& record,
                          CloudConfigurationResolver* cloud) {
  record.protoc = static_cast<int16_t>(CatalogueProtocol(row));
  if (record.protoc == 4) {
    if (cloud == nullptr) {
      throw DatabaseError(
          "Configurazione cloud del catalogo non leggibile: servizio cloud non "
          "disponibile");
    }
    cloud->ReadDocument(CatalogueCloud(row), record);
  } else {
    record.host = TextOf(row, kHost);
    record.fgdb = TextOf(row, kFiledb);
    record.user = TextOf(row, kUid);
    record.pwd = TextOf(row, kPwd);
    record.role = TextOf(row, kRuolo);
  }
  record.loginfile = TextOf(row, kLoginFilePrompt) == "1";
  record.pwdfile = TextOf(row, kPwdFile);
  record.login = TextOf(row, kLoginPrompt) == "1";
  record.local = record.host.empty();
}

}  // namespace oxsms::practice
