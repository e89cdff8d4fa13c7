#include "practice/commit_window.h"

namespace oxsms::practice {

void CommitWindow::Connect(Connection& connection) {
  Measures& measures = measures_[&connection];
  if (connection.Connected() && connection.auto_reconnect) {
    const auto now = clock_.Now();
    if (!measures.link_checked || now - *measures.link_checked >= kLinkCheckInterval) {
      measures.link_checked = now;
      connection.CheckLink();
    }
  }
  if (connection.Connected()) return;
  connection.SetConnected(true);
  measures.link_checked = clock_.Now();
}

void CommitWindow::EndUnit(Connection& connection) {
  if (!connection.Connected()) return;
  const auto now = clock_.Now();
  Measures& measures = measures_[&connection];
  // A commit or close elsewhere ended the transaction the window counted in.
  if (!measures.units_since || measures.transaction != connection.TransactionsEnded()) {
    measures.units_since = now;
    measures.transaction = connection.TransactionsEnded();
  } else if (now - *measures.units_since >= kUnitWindow) {
    connection.Commit();
    measures.units_since.reset();
  }
}

void CommitWindow::EndUnitQuietly(Connection& connection) noexcept {
  try {
    EndUnit(connection);
  } catch (const DatabaseError&) {
    // The unit failed before it wrote anything; ending it only frees its snapshot.
  }
}

void CommitWindow::Forget(const Connection& connection) noexcept { measures_.erase(&connection); }

}  // namespace oxsms::practice
