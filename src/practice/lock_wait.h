// A bounded wait for locked rows. A row that another program holds locked
// (an appointment open at the desk, an update not yet committed) makes a
// statement that writes it wait; by default both drivers wait as long as the
// lock is held (Firebird) or for minutes (MySQL). Every session of the
// service waits at most the installation's lock time-out, then the statement
// fails with the driver's lock time-out error and the caller skips that step.
#pragma once

#include <chrono>

namespace soci {
class session;
}

namespace oxsms::practice {

// Firebird: starts the session's transaction, when none is running, with a
// lock time-out (concurrency isolation, read-write, waiting: the driver's
// own defaults otherwise). Called before each statement: after a commit the
// driver would start its next transaction without the time-out. Raises
// soci::soci_error when the transaction cannot be started.
void StartFirebirdTransaction(soci::session& session, std::chrono::seconds lock_timeout);

// MySQL: sets the session's InnoDB row-lock and metadata-lock waits. Raises
// soci::soci_error.
void SetMySqlLockTimeout(soci::session& session, std::chrono::seconds lock_timeout);

}  // namespace oxsms::practice
