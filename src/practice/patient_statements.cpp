#include "practice/patient_statements.h"

#include <initializer_list>
#include <string_view>

namespace oxsms::practice {
namespace {

// "AES_DECRYPT(UNHEX(C),key) as C" on MySQL, else the column name alone.
std::string Column(const char* name, bool encrypted, bool mysql, const std::string& quoted_key) {
  if (!encrypted || !mysql) return name;
  return std::string("AES_DECRYPT(UNHEX(") + name + ")," + quoted_key + ") as " + name;
}

struct ColumnSpec {
  const char* name;
  bool encrypted;
};

std::string SelectList(std::initializer_list<ColumnSpec> columns, bool mysql,
                       const std::string& quoted_key) {
  std::string list;
  for (const auto& c : columns) {
    if (!list.empty()) list += ",";
    list += Column(c.name, c.encrypted, mysql, quoted_key);
  }
  return list;
}

}  // namespace

std::string ContactStatement(bool second_contacts, bool mysql, const std::string& quoted_key) {
  const std::string list =
      second_contacts
          ? SelectList({{"COGNOME", true},
                        {"NOME", false},
                        {"TELCELL", false},
                        {"SMS", false},
                        {"EMAIL", true},
                        {"TELCELL2", false},
                        {"EMAIL2", true},
                        {"CODICE_CLIENTE", false}},
                       mysql, quoted_key)
          : SelectList({{"COGNOME", true},
                        {"NOME", false},
                        {"TELCELL", false},
                        {"SMS", false},
                        {"EMAIL", true},
                        {"CODICE_CLIENTE", false}},
                       mysql, quoted_key);
  return "select " + list + " from ANAGRAFICA where badge = :badge";
}

std::string ContactChunkStatement(bool second_contacts, bool mysql, const std::string& quoted_key,
                                  std::size_t count) {
  constexpr std::string_view kOneBadge = " from ANAGRAFICA where badge = :badge";
  std::string sql = ContactStatement(second_contacts, mysql, quoted_key);
  sql.resize(sql.size() - kOneBadge.size());
  sql.append(",BADGE from ANAGRAFICA where badge in (");
  for (std::size_t i = 0; i < count; ++i) {
    if (i != 0) sql.append(",");
    sql.append(":b").append(std::to_string(i));
  }
  return sql.append(")");
}

std::string BirthdayStatement(bool mysql, const std::string& quoted_key, bool one_month) {
  std::string sql = "select " +
                    SelectList({{"COGNOME", true},
                                {"NOME", false},
                                {"TELCELL", false},
                                {"SMS", false},
                                {"EMAIL", true},
                                {"data_di_nascita", false}},
                               mysql, quoted_key) +
                    " from ANAGRAFICA where data_di_nascita is not null";
  if (one_month) {
    sql += mysql ? "\nand month(data_di_nascita) = :mese"
                 : "\nand extract(month from data_di_nascita) = :mese";
  }
  return sql;
}

}  // namespace oxsms::practice
