#include "dispatch/settings_store.h"

#include <soci/soci.h>

#include "platform/code_page.h"
#include "practice/credential_protection.h"
#include "practice/database_catalogue.h"
#include "practice/local_config.h"
#include "practice/row_values.h"
#include "practice/search_database.h"

namespace oxsms::dispatch {
namespace {

constexpr const char* kSqlUpdateById = "update IMP_CLINICA set gdb_sms = :g where id = :id";
constexpr const char* kSqlUpdateNullId = "update IMP_CLINICA set gdb_sms = :g where id is null";
constexpr const char* kSqlInsert = "insert into IMP_CLINICA (id, gdb_sms) values (:id, :g)";
// A new configuration database has no practice row yet: the first one.
constexpr long long kFirstRowId = 1;

constexpr const char* kSqlPaymentModule = "select NUM_AUTOMATICA from IMP_MODULE where ID = 31";
constexpr const char* kSqlPaymentAccounts = "select ID from LINKPAG";

std::string ReadBlob(soci::blob& blob) {
  std::string bytes(blob.get_len(), '\0');
  if (!bytes.empty()) bytes.resize(blob.read(0, bytes.data(), bytes.size()));
  return bytes;
}

SettingsRow ReadFirebird(soci::session& session) {
  SettingsRow row;
  long long id = 0;
  soci::indicator id_ind = soci::i_ok;
  soci::indicator doc_ind = soci::i_ok;
  soci::blob blob(session);
  soci::statement st =
      (session.prepare << kSqlSettingsQuery, soci::into(id, id_ind), soci::into(blob, doc_ind));
  row.exists = st.execute(true);
  if (!row.exists) return row;
  if (id_ind != soci::i_null) row.id = id;
  if (doc_ind != soci::i_null) row.sealed = platform::Cp1252ToUtf8(ReadBlob(blob));
  return row;
}

SettingsRow ReadMySql(soci::session& session) {
  SettingsRow row;
  long long id = 0;
  std::string text;
  soci::indicator id_ind = soci::i_ok;
  soci::indicator doc_ind = soci::i_ok;
  soci::statement st =
      (session.prepare << kSqlSettingsQuery, soci::into(id, id_ind), soci::into(text, doc_ind));
  row.exists = st.execute(true);
  if (!row.exists) return row;
  if (id_ind != soci::i_null) row.id = id;
  if (doc_ind != soci::i_null) row.sealed = platform::ToUtf8Lenient(text);
  return row;
}

// Runs the update or insert that stores `value` (a blob or a string).
template <typename Value>
void Store(soci::session& session, const SettingsRow& row, Value& value) {
  if (!row.exists) {
    long long id = kFirstRowId;
    session << kSqlInsert, soci::use(id, "id"), soci::use(value, "g");
  } else if (row.id) {
    long long id = *row.id;
    session << kSqlUpdateById, soci::use(value, "g"), soci::use(id, "id");
  } else {
    session << kSqlUpdateNullId, soci::use(value, "g");
  }
}

}  // namespace

SettingsRow ReadSettingsRow(practice::Connection& connection) {
  soci::session& session = connection.Session();
  return connection.IsFirebird() ? ReadFirebird(session) : ReadMySql(session);
}

void WriteSettingsRow(practice::Connection& connection, const SettingsRow& row,
                      const std::string& sealed) {
  soci::session& session = connection.Session();
  if (connection.IsFirebird()) {
    const std::string bytes = platform::Utf8ToCp1252(sealed);
    soci::blob blob(session);
    if (!bytes.empty()) blob.write(0, bytes.data(), bytes.size());
    Store(session, row, blob);
  } else {
    std::string text = sealed;
    Store(session, row, text);
  }
}

std::optional<long long> ReadPaymentModuleMode(practice::Connection& connection) {
  soci::row row;
  connection.Session() << kSqlPaymentModule, soci::into(row);
  if (!connection.Session().got_data()) return std::nullopt;
  return practice::IntegerOf(row, 0);
}

bool HasPaymentAccount(practice::Connection& connection) {
  soci::row row;
  connection.Session() << kSqlPaymentAccounts, soci::into(row);
  return connection.Session().got_data();
}

bool DesktopProgramsIn(const std::filesystem::path& folder) {
  std::error_code ec;
  return std::filesystem::exists(folder / "MesaD.exe", ec) ||
         std::filesystem::exists(folder / "MesaFE.exe", ec);
}

void PrepareSettingsDatabase(practice::Connection& connection,
                             const practice::CatalogueContext& catalogue, bool desktop_present) {
  if (desktop_present) {
    practice::PreparaConnessioneFileLocale(connection, practice::kLayoutConfigFile, true,
                                           catalogue);
  } else {
    practice::PreparaConnessioneConfig(connection, practice::kSectionDatabase, catalogue);
  }
}

StoredSettings::StoredSettings(const practice::CatalogueContext& catalogue)
    : catalogue_(catalogue) {}

template <typename Work>
auto StoredSettings::OnConnection(Work work) {
  PrepareSettingsDatabase(connection_, catalogue_, DesktopProgramsIn(catalogue_.home.dir()));
  try {
    auto result = work();
    connection_.Close();  // commits what `work` wrote
    return result;
  } catch (const soci::soci_error& e) {
    const std::string message = e.what();
    practice::CloseQuietly(connection_);
    throw connection_.Error(message);
  } catch (const practice::DatabaseError&) {
    practice::CloseQuietly(connection_);
    throw;
  }
}

std::optional<SettingsDocument> StoredSettings::Read() {
  const SettingsRow row = OnConnection([this] { return ReadSettingsRow(connection_); });
  if (!row.sealed || row.sealed->empty()) return std::nullopt;
  return UnsealSettingsDocument(catalogue_.cipher, *row.sealed);
}

void StoredSettings::Write(const SettingsDocument& document) {
  const std::string sealed =
      practice::CriptaHex(catalogue_.cipher, SettingsDocumentText(document));
  OnConnection([this, &sealed] {
    WriteSettingsRow(connection_, ReadSettingsRow(connection_), sealed);
    connection_.Commit();
    return true;
  });
}

SettingsDocument UnsealSettingsDocument(practice::CredentialCipher& cipher,
                                        const std::string& sealed) {
  const std::string text = practice::DecriptaHex(cipher, sealed);
  if (text.empty()) throw SettingsError("Impossibile decifrare le impostazioni del servizio");
  return ParseSettingsDocument(text);
}

}  // namespace oxsms::dispatch
