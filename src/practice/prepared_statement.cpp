#include "practice/prepared_statement.h"

#include <soci/soci.h>

namespace oxsms::practice {

PreparedStatement::PreparedStatement(soci::session& session, const std::string& sql,
                                     const std::vector<StatementParameter>& parameters,
                                     bool returns_rows)
    : slots_(parameters.size()) {
  if (returns_rows) row_ = std::make_unique<soci::row>();
  soci::details::prepare_temp_type prepared = session.prepare << sql;
  for (std::size_t i = 0; i < parameters.size(); ++i) {
    Slot& slot = slots_[i];
    const std::string name = parameters[i].name;
    switch (parameters[i].kind) {
      case StatementParameter::Kind::kText:
        prepared, soci::use(slot.text, name);
        break;
      case StatementParameter::Kind::kInteger:
        prepared, soci::use(slot.integer, name);
        break;
      case StatementParameter::Kind::kDateTime:
        prepared, soci::use(slot.time, name);
        break;
    }
  }
  if (row_) prepared, soci::into(*row_);
  statement_ = std::make_unique<soci::statement>(prepared);
}

PreparedStatement::~PreparedStatement() = default;

bool PreparedStatement::Execute() {
  const bool fetched = statement_->execute(row_ != nullptr);
  return row_ ? fetched : true;
}

bool PreparedStatement::Next() { return row_ != nullptr && statement_->fetch(); }

StatementCache::StatementCache() = default;
StatementCache::~StatementCache() = default;

PreparedStatement& StatementCache::Get(soci::session& session, const std::string& sql,
                                       const std::vector<StatementParameter>& parameters,
                                       bool returns_rows) {
  if (const auto found = statements_.find(sql); found != statements_.end()) return *found->second;
  if (const auto failed = failures_.find(sql); failed != failures_.end()) {
    throw soci::soci_error(failed->second);
  }
  try {
    auto statement = std::make_unique<PreparedStatement>(session, sql, parameters, returns_rows);
    return *statements_.emplace(sql, std::move(statement)).first->second;
  } catch (const soci::soci_error& e) {
    // Only while the link holds: a lost connection is no lasting verdict.
    if (session.is_connected()) failures_.emplace(sql, e.get_error_message());
    throw;
  }
}

PreparedStatement* StatementCache::TryGet(soci::session& session, const std::string& sql,
                                          const std::vector<StatementParameter>& parameters,
                                          bool returns_rows, std::string& error) {
  if (const auto failed = failures_.find(sql); failed != failures_.end()) {
    error = failed->second;
    return nullptr;
  }
  try {
    return &Get(session, sql, parameters, returns_rows);
  } catch (const soci::soci_error& e) {
    error = e.get_error_message();
    return nullptr;
  }
}

void StatementCache::Abandon() {
  for (auto& entry : statements_) static_cast<void>(entry.second.release());
  Clear();
}

void StatementCache::Clear() {
  statements_.clear();
  failures_.clear();
}

}  // namespace oxsms::practice
