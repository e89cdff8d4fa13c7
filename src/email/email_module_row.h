// The email row of the configuration database: IMP_MODULE with ID 22, whose
// text columns STRUCT_1 (settings document) and STRUCT_2 (typical-messages
// document) hold XML. Works on Firebird (text BLOBs) and MySQL (text
// columns); values travel as parameters. Each call is one unit of work,
// committed before it returns. Errors raise practice::DatabaseError naming
// the database.
#pragma once

#include <optional>
#include <string>

#include "practice/connection.h"

namespace oxsms::email {

inline constexpr int kEmailModuleId = 22;

struct EmailModuleRow {
  std::string STRUCT_1;  // UTF-8; empty for NULL
  std::string STRUCT_2;  // UTF-8; empty for NULL
};

// The row, or nullopt when the table has none with ID 22. Text that is not
// UTF-8 is taken as Windows-1252.
std::optional<EmailModuleRow> ReadEmailModuleRow(practice::Connection& connection);

// Appends the row with TIPO1 "EmailImp", TIPO2 "EmailMsg" and empty documents.
void InsertEmailModuleRow(practice::Connection& connection);

// Stores one document (UTF-8 text) into STRUCT_1 or STRUCT_2 of the row.
void WriteSettingsColumn(practice::Connection& connection, const std::string& document);
void WriteMessagesColumn(practice::Connection& connection, const std::string& document);

}  // namespace oxsms::email
