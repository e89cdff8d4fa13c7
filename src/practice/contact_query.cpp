#include "practice/contact_query.h"

#include <soci/soci.h>

#include <algorithm>
#include <limits>
#include <stdexcept>
#include <unordered_map>
#include <unordered_set>

#include "practice/agenda_lines.h"
#include "practice/patient_statements.h"
#include "practice/prepared_statement.h"
#include "practice/row_values.h"
#include "practice/search_database.h"

namespace oxsms::practice {
namespace {

// CODICE_CLIENTE closes the contact statement's list, after the second
// contacts when present; the chunk statement adds BADGE after it.
std::size_t CodeColumn(bool second_contacts) {
  return (second_contacts ? ContactColumns::kEmail2 : ContactColumns::kEmail) + 1;
}
std::size_t BadgeColumn(bool second_contacts) { return CodeColumn(second_contacts) + 1; }

// ":b0", ":b1"... as text parameters; the names live as long as the program.
const std::vector<StatementParameter>& ChunkParameters() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> n(ContactQuery::kChunk);
    for (std::size_t i = 0; i < n.size(); ++i) n[i].append(1, 'b').append(std::to_string(i));
    return n;
  }();
  static const std::vector<StatementParameter> parameters = [] {
    std::vector<StatementParameter> p;
    for (const std::string& name : names) p.push_back({name.c_str(), StatementParameter::Kind::kText});
    return p;
  }();
  return parameters;
}

bool EndsWithBlank(const std::string& text) { return !text.empty() && text.back() == ' '; }

}  // namespace

PatientContact ContactOf(const soci::row& row, bool second_contacts) {
  PatientContact contact;
  contact.cognome = TextOf(row, ContactColumns::kCognome);
  contact.nome = TextOf(row, ContactColumns::kNome);
  contact.telcell = TextOf(row, ContactColumns::kTelCell);
  contact.sms = static_cast<long>(IntegerOf(row, ContactColumns::kSms).value_or(0));
  contact.email = TextOf(row, ContactColumns::kEmail);
  if (second_contacts) {
    contact.telcell2 = TextOf(row, ContactColumns::kTelCell2);
    contact.email2 = TextOf(row, ContactColumns::kEmail2);
  }
  const auto code = IntegerOf(row, CodeColumn(second_contacts));
  if (code && *code >= std::numeric_limits<int>::min() && *code <= std::numeric_limits<int>::max()) {
    contact.codice_cliente = static_cast<int>(*code);
  }
  return contact;
}

ContactQuery::ContactQuery(Connection& connection, bool second_contacts,
                           const std::string& quoted_key, std::string secret)
    : connection_(connection),
      quoted_key_(quoted_key),
      secret_(secret),
      second_contacts_(second_contacts),
      lookup_(connection, ContactStatement(second_contacts, !connection.IsFirebird(), quoted_key),
              std::move(secret)) {}

std::optional<PatientContact> ContactQuery::Find(const std::string& badge) {
  if (!lookup_.Find(badge)) return std::nullopt;
  return ContactOf(lookup_.Row(), second_contacts_);
}

std::vector<std::optional<PatientContact>> ContactQuery::FindChunk(
    const std::vector<std::string>& badges) {
  std::vector<std::optional<PatientContact>> found(badges.size());
  if (badges.empty()) return found;
  if (badges.size() > kChunk) throw std::invalid_argument("ContactQuery: more badges than a chunk");

  std::unordered_map<std::string, PatientContact> rows;
  std::unordered_set<std::string> repeated;
  bool foreign_row = false;
  const std::unordered_set<std::string> asked(badges.begin(), badges.end());
  try {
    PreparedStatement& chunk = connection_.Prepared(
        ContactChunkStatement(second_contacts_, !connection_.IsFirebird(), quoted_key_, kChunk),
        ChunkParameters(), true);
    // Places left over repeat the last badge: one statement serves every chunk.
    for (std::size_t i = 0; i < kChunk; ++i) {
      chunk.SetText(i, badges[std::min(i, badges.size() - 1)]);
    }
    for (bool more = chunk.Execute(); more; more = chunk.Next()) {
      std::string badge = WithoutTrailingBlanks(TextOf(chunk.Row(), BadgeColumn(second_contacts_)));
      if (asked.count(badge) == 0) {
        foreign_row = true;
      } else if (!rows.emplace(badge, ContactOf(chunk.Row(), second_contacts_)).second) {
        repeated.insert(std::move(badge));
      }
    }
  } catch (const soci::soci_error& e) {
    throw StatementError(connection_, e, secret_);
  }

  for (std::size_t i = 0; i < badges.size(); ++i) {
    const std::string& badge = badges[i];
    if (foreign_row || EndsWithBlank(badge) || repeated.count(badge) != 0) {
      found[i] = Find(badge);
    } else if (const auto row = rows.find(badge); row != rows.end()) {
      found[i] = row->second;
    }
  }
  return found;
}

}  // namespace oxsms::practice
