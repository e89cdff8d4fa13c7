// Where the settings document lives in the configuration database: column
// GDB_SMS of the first row of IMP_CLINICA, holding the hex form of the
// encrypted document text, like every other encrypted document of the suite.
// On Firebird the column is a binary BLOB read and written as Windows-1252
// bytes; on MySQL it is read and written as text.
//
// These functions run statements on an open connection and raise
// soci::soci_error as the driver reports; the caller commits.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "dispatch/settings_document.h"
#include "practice/catalogue_context.h"
#include "practice/connection.h"

namespace oxsms::dispatch {

inline constexpr const char* kSqlSettingsQuery = "select id, gdb_sms from IMP_CLINICA";
inline constexpr const char* kSqlAddSettingsColumn =
    "ALTER TABLE IMP_CLINICA ADD GDB_SMS BLOB SUB_TYPE 0;";

// The first row of IMP_CLINICA as the settings query returns it.
struct SettingsRow {
  bool exists = false;            // the table has a row
  std::optional<long long> id;    // its ID (null when the column is null)
  std::optional<std::string> sealed;  // GDB_SMS as text; null = no document
};

SettingsRow ReadSettingsRow(practice::Connection& connection);

// Stores the encrypted document in `row` (as read before), or in a new row
// with ID 1 when the table has none.
void WriteSettingsRow(practice::Connection& connection, const SettingsRow& row,
                      const std::string& sealed);

// True when the suite's desktop programs stand in `folder`: the
// configuration database is then the suite's "config.fdb", else the
// catalogue entry "Database" of config.ini.
bool DesktopProgramsIn(const std::filesystem::path& folder);

// Configures `connection` for the configuration database as the service
// finds it (see DesktopProgramsIn); it opens on first use.
void PrepareSettingsDatabase(practice::Connection& connection,
                             const practice::CatalogueContext& catalogue, bool desktop_present);

// The settings document where the service keeps it, read and replaced from
// outside the service (the administration command) as the service reads and
// writes it. Each call connects, and disconnects before it returns.
class StoredSettings {
 public:
  // `catalogue` must outlive this object.
  explicit StoredSettings(const practice::CatalogueContext& catalogue);

  // The stored document; nullopt when none is stored yet. Raises
  // practice::DatabaseError when the configuration database cannot be read,
  // SettingsError when the document does not decrypt or is no JSON object.
  std::optional<SettingsDocument> Read();
  // Stores `document` in place of the stored one, committed. Raises
  // practice::DatabaseError.
  void Write(const SettingsDocument& document);
  // The configuration database, as the last call found it.
  std::string DatabaseName() const { return connection_.DatabaseName(); }

 private:
  // Runs `work` on the prepared connection and disconnects; a driver error
  // becomes the connection's DatabaseError.
  template <typename Work>
  auto OnConnection(Work work);

  const practice::CatalogueContext& catalogue_;
  practice::Connection connection_;
};

// The document of a stored (sealed) settings text. Raises SettingsError when
// it does not decrypt or is no JSON object.
SettingsDocument UnsealSettingsDocument(practice::CredentialCipher& cipher,
                                        const std::string& sealed);

// The payment-link module row (IMP_MODULE, ID 31): its NUM_AUTOMATICA as an
// integer, nullopt when there is no row or the value is null or not a number.
std::optional<long long> ReadPaymentModuleMode(practice::Connection& connection);

// True when LINKPAG, the table of payment accounts, has a row.
bool HasPaymentAccount(practice::Connection& connection);

}  // namespace oxsms::dispatch
