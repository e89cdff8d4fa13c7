// The practice's Stripe accounts: the rows of LINKPAG in the configuration
// database. The account credited by a new payment link is the current row:
// the first row, or the first whose "intestazione" a request names.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace oxsms::practice {
class Connection;
}

namespace oxsms::payments {

struct PaymentAccount {
  long long id = 0;               // "ID"
  std::string id_account_stripe;  // "ID_ACCOUNT_STRIPE"; empty = unusable
  std::string descrizione;        // "DESCRIZIONE"
  std::string intestazione;       // "INTESTAZIONE"; empty where the column is missing
};

// The rows of "select * from LINKPAG", in the order the database gives them.
// Columns are found by name without regard to case; a missing INTESTAZIONE or
// DESCRIZIONE column reads as empty. A closed connection is opened for the
// read and closed again; an open one stays open, with the read prepared for
// its session (the table is in use until the session ends). Raises
// practice::DatabaseError when the table cannot be read.
std::vector<PaymentAccount> ReadPaymentAccounts(practice::Connection& connection);

// The index of the first account whose `intestazione` equals `intestazione`
// (exact comparison), or nullopt.
std::optional<std::size_t> FindIntestazione(const std::vector<PaymentAccount>& accounts,
                                            const std::string& intestazione);

}  // namespace oxsms::payments
