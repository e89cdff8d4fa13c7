#include "app/agenda_records.h"

#include <soci/soci.h>

#include "practice_probe.h"

namespace oxsms::testing {
namespace {

std::multiset<std::string> Codes(const std::filesystem::path& file, const std::string& select) {
  auto sql = fixture::probe::OpenFirebirdFile(file);
  std::multiset<std::string> codes;
  soci::rowset<std::string> rows = (sql->prepare << select);
  for (const std::string& code : rows) codes.insert(code);
  return codes;
}

std::multiset<std::string> AgendaColumn(const std::filesystem::path& agenda,
                                        const std::string& column) {
  std::multiset<std::string> codes;
  for (const char* table : {"AGENDA_1", "AGENDA_2"}) {
    codes.merge(Codes(agenda, "select " + column + " from " + table + " where " + column +
                                  " is not null"));
  }
  return codes;
}

}  // namespace

std::filesystem::path DatabaseOf(const fixture::PracticeReport& report, const std::string& role) {
  for (const auto& db : report.databases) {
    if (db.role == role) return db.location;
  }
  return {};
}

std::multiset<std::string> RecordedLinks(const std::filesystem::path& agenda) {
  return AgendaColumn(agenda, "ID_LINKPAG");
}

std::multiset<std::string> AccountedLinks(const std::filesystem::path& patients) {
  return Codes(patients, "select PEC from CONTAB where tipo = 14");
}

std::multiset<std::string> ConfirmationCodes(const std::filesystem::path& agenda) {
  return AgendaColumn(agenda, "ID_WEB");
}

}  // namespace oxsms::testing
