// Database steps shared by the searches of TAgImp: connecting with the error
// text the searches report, turning driver errors into DatabaseError without
// secrets, and reading an agenda database's settings document.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "practice/commit_window.h"
#include "practice/connection.h"
#include "practice/database_error.h"

namespace soci {
class soci_error;
}

namespace oxsms::practice {

// Sets the connection connected; on failure raises DatabaseError
// "<driver message> File: <database name>".
void ConnectOrRaise(Connection& connection);
// As ConnectOrRaise, for the units of the link bookkeeping: connected through
// `units` (see CommitWindow::Connect).
void ConnectOrRaise(Connection& connection, CommitWindow& units);

// The DatabaseError of a failed statement: the driver's message (without the
// statement text) naming the database, with the connection's password and
// `secret` (when not empty) blanked out.
DatabaseError StatementError(const Connection& connection, const soci::soci_error& error,
                             std::string_view secret = {});

// The binary field `Impostazioni` of the first row of `IMPOSTAZIONI`, or
// nullopt when the table has no row (a NULL field reads as empty). Commits
// the read. Raises DatabaseError.
std::optional<std::string> ReadSettingsDocument(Connection& connection);

// Closes a connection without raising (a failed commit of a read-only unit
// of work loses nothing).
void CloseQuietly(Connection& connection) noexcept;

}  // namespace oxsms::practice
