#include "practice/lock_wait.h"

#include <ibase.h>
#include <soci/firebird/soci-firebird.h>
#include <soci/soci.h>

#include <algorithm>
#include <string>

namespace oxsms::practice {
namespace {

// The Firebird backend keeps its transaction handle private and starts each
// transaction with the default parameters, which wait for a lock without
// end. The handle is reached through an explicit instantiation, which the
// language lets name a private member; the transaction started here is then
// the backend's own, committed and ended by it as before.
struct TransactionHandle {
  using type = isc_tr_handle soci::firebird_session_backend::*;
  friend type MemberOf(TransactionHandle);
};

template <typename Tag, typename Tag::type member>
struct Expose {
  friend typename Tag::type MemberOf(Tag) { return member; }
};

template struct Expose<TransactionHandle, &soci::firebird_session_backend::trhp_>;

std::string StatusText(const ISC_STATUS* status) {
  std::string text;
  char buffer[512];
  const ISC_STATUS* vector = status;
  while (fb_interpret(buffer, sizeof buffer, &vector) != 0) {
    if (!text.empty()) text += ' ';
    text += buffer;
  }
  return text;
}

}  // namespace

void StartFirebirdTransaction(soci::session& session, std::chrono::seconds lock_timeout) {
  auto* backend = static_cast<soci::firebird_session_backend*>(session.get_backend());
  isc_tr_handle& transaction = backend->*MemberOf(TransactionHandle{});
  if (transaction != 0) return;
  const auto seconds = static_cast<unsigned>(std::clamp<long long>(lock_timeout.count(), 1, 32767));
  // The time-out is a little-endian integer after its length byte.
  const char tpb[] = {isc_tpb_version3,
                      isc_tpb_write,
                      isc_tpb_concurrency,
                      isc_tpb_wait,
                      isc_tpb_lock_timeout,
                      4,
                      static_cast<char>(seconds & 0xff),
                      static_cast<char>((seconds >> 8) & 0xff),
                      0,
                      0};
  ISC_STATUS_ARRAY status{};
  if (isc_start_transaction(status, &transaction, 1, &backend->dbhp_,
                            static_cast<unsigned short>(sizeof tpb), tpb) != 0) {
    transaction = 0;
    throw soci::soci_error(StatusText(status));
  }
}

void SetMySqlLockTimeout(soci::session& session, std::chrono::seconds lock_timeout) {
  const std::string seconds = std::to_string(std::max<long long>(lock_timeout.count(), 1));
  session << "set session innodb_lock_wait_timeout = " + seconds;
  session << "set session lock_wait_timeout = " + seconds;
}

}  // namespace oxsms::practice
