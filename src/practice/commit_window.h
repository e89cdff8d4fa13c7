// The units of work of the link bookkeeping on the agenda and patient
// databases, and the check of those connections' links.
//
// The bookkeeping of a send runs a few lookups and updates per recipient. A
// commit costs a synchronous write of the database's pages, a millisecond or
// more, against some ten microseconds for a prepared lookup or update; so the
// units are committed together, once a connection's transaction has served
// units for kUnitWindow (and whenever the connection commits or closes for
// another reason). A lookup therefore sees a snapshot at most that old (its
// own connection's earlier writes included), and a row updated here stays
// locked for at most that long plus one unit. Likewise the link of an open
// connection is checked (a round trip) at most once every kLinkCheckInterval,
// since the bookkeeping connects before every statement.
//
// Owns only what it measured of each connection; the connections belong to
// the caller, who calls Forget before destroying one this object has seen.
// Only the service thread uses it; it takes no lock.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <unordered_map>

#include "platform/monotonic_clock.h"
#include "practice/connection.h"

namespace oxsms::practice {

class CommitWindow {
 public:
  static constexpr std::chrono::milliseconds kUnitWindow{1000};
  static constexpr std::chrono::milliseconds kLinkCheckInterval{1000};

  // `clock` must outlive this object.
  explicit CommitWindow(const platform::MonotonicClock& clock) : clock_(clock) {}

  // Sets the connection connected; an open one with auto_reconnect has its
  // link checked first when kLinkCheckInterval has passed since the last
  // check here (or it was never checked here), and is reopened when the link
  // was lost. Raises the connection's DatabaseError when it cannot be opened.
  void Connect(Connection& connection);

  // Ends one unit of work: commits once the transaction has served units for
  // kUnitWindow. Does nothing on a closed connection. Raises DatabaseError
  // when the commit fails.
  void EndUnit(Connection& connection);
  // As EndUnit, without raising: the unit failed before it wrote anything,
  // so ending it only frees its snapshot.
  void EndUnitQuietly(Connection& connection) noexcept;

  // Drops what is known of a connection that is about to be destroyed.
  void Forget(const Connection& connection) noexcept;

 private:
  struct Measures {
    std::optional<platform::MonotonicClock::TimePoint> link_checked;
    // The transaction the units are counted in, and when its first ended.
    std::uint64_t transaction = 0;
    std::optional<platform::MonotonicClock::TimePoint> units_since;
  };

  const platform::MonotonicClock& clock_;
  std::unordered_map<const Connection*, Measures> measures_;
};

}  // namespace oxsms::practice
