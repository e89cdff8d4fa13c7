#include "payments/payment_accounts.h"

#include <soci/soci.h>

#include <cctype>

#include "practice/connection.h"
#include "practice/row_values.h"

namespace oxsms::payments {
namespace {

constexpr const char* kSqlAccounts = "select * from LINKPAG";

bool SameName(const std::string& a, const char* b) {
  std::size_t i = 0;
  for (; i < a.size() && b[i] != '\0'; ++i) {
    if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return i == a.size() && b[i] == '\0';
}

std::optional<std::size_t> ColumnOf(const soci::row& row, const char* name) {
  for (std::size_t i = 0; i < row.size(); ++i) {
    if (SameName(row.get_properties(i).get_name(), name)) return i;
  }
  return std::nullopt;
}

PaymentAccount AccountOf(const soci::row& row) {
  PaymentAccount account;
  if (auto c = ColumnOf(row, "ID")) account.id = practice::IntegerOf(row, *c).value_or(0);
  if (auto c = ColumnOf(row, "ID_ACCOUNT_STRIPE")) account.id_account_stripe = practice::TextOf(row, *c);
  if (auto c = ColumnOf(row, "DESCRIZIONE")) account.descrizione = practice::TextOf(row, *c);
  if (auto c = ColumnOf(row, "INTESTAZIONE")) account.intestazione = practice::TextOf(row, *c);
  return account;
}

std::vector<PaymentAccount> ReadOpen(practice::Connection& connection) {
  std::vector<PaymentAccount> accounts;
  try {
    // Read for every payment link a send creates: prepared once per session.
    practice::PreparedStatement& query = connection.Prepared(kSqlAccounts, {}, true);
    for (bool more = query.Execute(); more; more = query.Next()) {
      accounts.push_back(AccountOf(query.Row()));
    }
  } catch (const soci::soci_error& e) {
    throw connection.Error(e.what());
  }
  return accounts;
}

}  // namespace

std::vector<PaymentAccount> ReadPaymentAccounts(practice::Connection& connection) {
  if (connection.Connected()) return ReadOpen(connection);
  connection.SetConnected(true);
  try {
    std::vector<PaymentAccount> accounts = ReadOpen(connection);
    connection.SetConnected(false);
    return accounts;
  } catch (...) {
    try {
      connection.SetConnected(false);
    } catch (const practice::DatabaseError&) {
      // The read's own error is the one to report.
    }
    throw;
  }
}

std::optional<std::size_t> FindIntestazione(const std::vector<PaymentAccount>& accounts,
                                            const std::string& intestazione) {
  for (std::size_t i = 0; i < accounts.size(); ++i) {
    if (accounts[i].intestazione == intestazione) return i;
  }
  return std::nullopt;
}

}  // namespace oxsms::payments
