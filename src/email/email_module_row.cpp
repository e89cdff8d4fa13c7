#include "email/email_module_row.h"

#include <soci/soci.h>

#include "platform/code_page.h"
#include "practice/search_database.h"

namespace oxsms::email {
namespace {

constexpr const char* kSqlRead = "select STRUCT_1, STRUCT_2 from IMP_MODULE where ID = :id";
constexpr const char* kSqlInsert =
    "insert into IMP_MODULE (ID, TIPO1, TIPO2) values (:id, :tipo1, :tipo2)";
constexpr const char* kSqlWriteSettings = "update IMP_MODULE set STRUCT_1 = :doc where ID = :id";
constexpr const char* kSqlWriteMessages = "update IMP_MODULE set STRUCT_2 = :doc where ID = :id";

std::string BlobText(soci::blob& blob, soci::indicator ind) {
  if (ind != soci::i_ok) return {};
  std::string bytes(blob.get_len(), '\0');
  if (!bytes.empty()) bytes.resize(blob.read(0, bytes.data(), bytes.size()));
  return platform::ToUtf8Lenient(bytes);
}

std::optional<EmailModuleRow> ReadFirebird(soci::session& sql) {
  int id = kEmailModuleId;
  soci::blob settings(sql), messages(sql);
  soci::indicator settings_ind = soci::i_null, messages_ind = soci::i_null;
  soci::statement st = (sql.prepare << kSqlRead, soci::use(id, "id"),
                        soci::into(settings, settings_ind), soci::into(messages, messages_ind));
  if (!st.execute(true)) return std::nullopt;
  return EmailModuleRow{BlobText(settings, settings_ind), BlobText(messages, messages_ind)};
}

std::optional<EmailModuleRow> ReadMySql(soci::session& sql) {
  int id = kEmailModuleId;
  std::string settings, messages;
  soci::indicator settings_ind = soci::i_null, messages_ind = soci::i_null;
  soci::statement st = (sql.prepare << kSqlRead, soci::use(id, "id"),
                        soci::into(settings, settings_ind), soci::into(messages, messages_ind));
  if (!st.execute(true)) return std::nullopt;
  EmailModuleRow row;
  if (settings_ind == soci::i_ok) row.STRUCT_1 = platform::ToUtf8Lenient(settings);
  if (messages_ind == soci::i_ok) row.STRUCT_2 = platform::ToUtf8Lenient(messages);
  return row;
}

void WriteColumn(practice::Connection& connection, const char* statement,
                 const std::string& document) {
  try {
    soci::session& sql = connection.Session();
    int id = kEmailModuleId;
    if (connection.IsFirebird()) {
      soci::blob blob(sql);
      if (!document.empty()) blob.write(0, document.data(), document.size());
      sql << statement, soci::use(blob, "doc"), soci::use(id, "id");
    } else {
      std::string text = document;
      sql << statement, soci::use(text, "doc"), soci::use(id, "id");
    }
  } catch (const soci::soci_error& e) {
    throw practice::StatementError(connection, e);
  }
  connection.Commit();
}

}  // namespace

std::optional<EmailModuleRow> ReadEmailModuleRow(practice::Connection& connection) {
  std::optional<EmailModuleRow> row;
  try {
    soci::session& sql = connection.Session();
    row = connection.IsFirebird() ? ReadFirebird(sql) : ReadMySql(sql);
  } catch (const soci::soci_error& e) {
    throw practice::StatementError(connection, e);
  }
  connection.Commit();
  return row;
}

void InsertEmailModuleRow(practice::Connection& connection) {
  try {
    int id = kEmailModuleId;
    std::string tipo1 = "EmailImp", tipo2 = "EmailMsg";
    connection.Session() << kSqlInsert, soci::use(id, "id"), soci::use(tipo1, "tipo1"),
        soci::use(tipo2, "tipo2");
  } catch (const soci::soci_error& e) {
    throw practice::StatementError(connection, e);
  }
  connection.Commit();
}

void WriteSettingsColumn(practice::Connection& connection, const std::string& document) {
  WriteColumn(connection, kSqlWriteSettings, document);
}

void WriteMessagesColumn(practice::Connection& connection, const std::string& document) {
  WriteColumn(connection, kSqlWriteMessages, document);
}

}  // namespace oxsms::email
