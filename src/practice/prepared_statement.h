// Statements of a connection prepared once and executed again and again with
// new parameter values. The link bookkeeping of a send runs the same few
// statements for every recipient: preparing a Firebird statement costs about
// twenty times what executing a prepared one costs.
//
// Only the service thread uses them; they are not thread-safe.
#pragma once

#include <ctime>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace soci {
class row;
class session;
class statement;
}  // namespace soci

namespace oxsms::practice {

// The parameters of a statement, bound by name in this order.
struct StatementParameter {
  enum class Kind { kText, kInteger, kDateTime };
  const char* name;
  Kind kind;
};

class PreparedStatement {
 public:
  // Prepares `sql` on `session`; `returns_rows` for a query. Raises
  // soci::soci_error when the statement cannot be prepared.
  PreparedStatement(soci::session& session, const std::string& sql,
                    const std::vector<StatementParameter>& parameters, bool returns_rows);
  ~PreparedStatement();
  PreparedStatement(const PreparedStatement&) = delete;
  PreparedStatement& operator=(const PreparedStatement&) = delete;

  // The value of parameter `i` for the next execution; the kind must match.
  void SetText(std::size_t i, const std::string& value) { slots_.at(i).text = value; }
  void SetInteger(std::size_t i, int value) { slots_.at(i).integer = value; }
  void SetDateTime(std::size_t i, const std::tm& value) { slots_.at(i).time = value; }

  // Executes with the values set. A query fetches its first row and returns
  // whether there was one; any other statement returns true. Raises
  // soci::soci_error.
  bool Execute();
  // Fetches the next row of a query after Execute; false when there is none.
  bool Next();
  // The row fetched by the last Execute or Next of a query.
  const soci::row& Row() const { return *row_; }

 private:
  struct Slot {
    std::string text;
    int integer = 0;
    std::tm time{};
  };
  // Bound by address: never resized after construction.
  std::vector<Slot> slots_;
  std::unique_ptr<soci::row> row_;
  std::unique_ptr<soci::statement> statement_;
};

// The prepared statements of one session, by statement text. A statement
// that could not be prepared (a table missing from this database) is
// remembered as such, and asking for it again raises the same error without
// a round trip. The owner clears the cache before its session ends.
class StatementCache {
 public:
  StatementCache();
  ~StatementCache();

  // The statement `sql`, prepared at the first request. Raises
  // soci::soci_error when it cannot be prepared, now or at an earlier
  // request of the same session.
  PreparedStatement& Get(soci::session& session, const std::string& sql,
                         const std::vector<StatementParameter>& parameters, bool returns_rows);
  // As Get, but a statement that cannot be prepared gives nullptr and the
  // driver's message in `error`: a caller that skips such a database pays
  // for no exception (the bookkeeping asks every agenda database for a table
  // that only one of them has).
  PreparedStatement* TryGet(soci::session& session, const std::string& sql,
                            const std::vector<StatementParameter>& parameters, bool returns_rows,
                            std::string& error);
  void Clear();
  // Forgets the statements without destroying them, for a session whose link
  // is gone: their destructors would raise.
  void Abandon();

 private:
  std::map<std::string, std::unique_ptr<PreparedStatement>> statements_;
  std::map<std::string, std::string> failures_;  // statement text -> driver message
};

}  // namespace oxsms::practice
