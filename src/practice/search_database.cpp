#include "practice/search_database.h"

#include <soci/soci.h>

namespace oxsms::practice {
namespace {

constexpr const char* kMask = "***";

void Blank(std::string& text, std::string_view secret) {
  if (secret.empty()) return;
  for (auto pos = text.find(secret); pos != std::string::npos;
       pos = text.find(secret, pos + std::char_traits<char>::length(kMask))) {
    text.replace(pos, secret.size(), kMask);
  }
}

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

template <typename Open>
void OpenOrRaise(Connection& connection, Open open) {
  try {
    open();
  } catch (const DatabaseError& e) {
    // The connection names the database as " (database <name>)"; the searches
    // report it as " File: <name>".
    std::string message = e.what();
    const std::string name = connection.DatabaseName();
    const std::string context = " (database " + name + ")";
    if (EndsWith(message, context)) message.resize(message.size() - context.size());
    throw DatabaseError(message + " File: " + name);
  }
}

}  // namespace

void ConnectOrRaise(Connection& connection) {
  OpenOrRaise(connection, [&] { connection.SetConnected(true); });
}

void ConnectOrRaise(Connection& connection, CommitWindow& units) {
  OpenOrRaise(connection, [&] { units.Connect(connection); });
}

DatabaseError StatementError(const Connection& connection, const soci::soci_error& error,
                             std::string_view secret) {
  std::string message = error.get_error_message();
  Blank(message, secret);
  return connection.Error(message);
}

std::optional<std::string> ReadSettingsDocument(Connection& connection) {
  std::optional<std::string> document;
  try {
    soci::session& sql = connection.Session();
    soci::indicator ind = soci::i_null;
    if (connection.IsFirebird()) {
      // The Firebird backend reads a BLOB only into soci::blob.
      soci::blob blob(sql);
      soci::statement st = (sql.prepare << "select IMPOSTAZIONI from IMPOSTAZIONI",
                            soci::into(blob, ind));
      st.execute();
      if (st.fetch()) {
        document.emplace();
        if (ind == soci::i_ok) {
          document->resize(blob.get_len());
          if (!document->empty()) blob.read(0, document->data(), document->size());
        }
      }
    } else {
      std::string text;
      soci::statement st = (sql.prepare << "select IMPOSTAZIONI from IMPOSTAZIONI",
                            soci::into(text, ind));
      st.execute();
      if (st.fetch()) document = ind == soci::i_ok ? text : std::string();
    }
  } catch (const soci::soci_error& e) {
    throw StatementError(connection, e);
  }
  connection.Commit();
  return document;
}

void CloseQuietly(Connection& connection) noexcept {
  try {
    connection.SetConnected(false);
  } catch (const DatabaseError&) {
    // Nothing was written in the unit of work being closed.
  }
}

}  // namespace oxsms::practice
