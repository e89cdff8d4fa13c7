#include "payments/catalogue_tables.h"

#include <soci/soci.h>

#include "payments/payment_amount.h"
#include "practice/connection.h"
#include "practice/row_values.h"

namespace oxsms::payments {
namespace {

constexpr const char* kLinkColumns =
    "select ID, ID_ACCOUNT, CREATO, NOME, DESCRIZIONE, PREZZO, URL_DASHBOARD, URL from "
    "LINKPAG_DET ";

PredefinedLink LinkOf(const soci::row& row) {
  PredefinedLink link;
  link.id = practice::IntegerOf(row, 0).value_or(0);
  link.id_account = practice::IntegerOf(row, 1).value_or(0);
  link.creato = practice::DateTimeOf(row, 2).value_or(0);
  link.nome = practice::TextOf(row, 3);
  link.descrizione = practice::TextOf(row, 4);
  link.prezzo = practice::CurrencyOf(row, 5);
  link.url_dashboard = practice::TextOf(row, 6);
  link.url = practice::TextOf(row, 7);
  return link;
}

// Runs `body` and turns a driver error into the connection's DatabaseError.
template <typename Body>
auto Guarded(practice::Connection& connection, Body body) -> decltype(body()) {
  try {
    return body();
  } catch (const soci::soci_error& e) {
    throw connection.Error(e.what());
  }
}

}  // namespace

int CatalogueTables::ModuleState() {
  return Guarded(connection_, [&] {
    soci::rowset<soci::row> rows = connection_.Session().prepare
                                   << "select NUM_AUTOMATICA from IMP_MODULE where ID = 31";
    for (const soci::row& row : rows) {
      return static_cast<int>(practice::IntegerOf(row, 0).value_or(0));
    }
    return 0;
  });
}

std::vector<PaymentAccount> CatalogueTables::Accounts() { return ReadPaymentAccounts(connection_); }

std::optional<long long> CatalogueTables::AccountId(const std::string& id_account_stripe) {
  return Guarded(connection_, [&]() -> std::optional<long long> {
    soci::rowset<soci::row> rows =
        (connection_.Session().prepare << "select ID from LINKPAG where ID_ACCOUNT_STRIPE = :s",
         soci::use(id_account_stripe, "s"));
    for (const soci::row& row : rows) return practice::IntegerOf(row, 0);
    return std::nullopt;
  });
}

void CatalogueTables::DeleteAccount(long long id) {
  Guarded(connection_, [&] {
    soci::session& sql = connection_.Session();
    sql << "delete from LINKPAG_DET where ID_ACCOUNT = :a", soci::use(id, "a");
    sql << "delete from LINKPAG where ID = :i", soci::use(id, "i");
  });
}

void CatalogueTables::UpdateAccount(long long id, const ServiceAccount& account) {
  int stato = account.attivo ? 1 : 0;
  Guarded(connection_, [&] {
    connection_.Session()
        << "update LINKPAG set DESCRIZIONE = :d, IVA = :p, STATO = :s where ID = :i",
        soci::use(account.descrizione, "d"), soci::use(account.piva, "p"), soci::use(stato, "s"),
        soci::use(id, "i");
  });
}

void CatalogueTables::InsertAccount(const ServiceAccount& account) {
  int stato = account.attivo ? 1 : 0;
  const std::string key = connection_.IsFirebird() ? "gen_id(ID_LINKPAG_GEN, 1), " : "";
  const std::string key_column = connection_.IsFirebird() ? "ID, " : "";
  Guarded(connection_, [&] {
    connection_.Session() << "insert into LINKPAG (" + key_column +
                                 "ID_ACCOUNT_STRIPE, DESCRIZIONE, IVA, STATO) values (" + key +
                                 ":a, :d, :p, :s)",
        soci::use(account.id_account_stripe, "a"), soci::use(account.descrizione, "d"),
        soci::use(account.piva, "p"), soci::use(stato, "s");
  });
}

std::vector<PredefinedLink> CatalogueTables::Links(long long id_account) {
  return Guarded(connection_, [&] {
    std::vector<PredefinedLink> links;
    soci::rowset<soci::row> rows =
        (connection_.Session().prepare
             << std::string(kLinkColumns) + "where ID_ACCOUNT = :a order by ID",
         soci::use(id_account, "a"));
    for (const soci::row& row : rows) links.push_back(LinkOf(row));
    return links;
  });
}

std::optional<PredefinedLink> CatalogueTables::Link(long long id) {
  return Guarded(connection_, [&]() -> std::optional<PredefinedLink> {
    soci::rowset<soci::row> rows =
        (connection_.Session().prepare << std::string(kLinkColumns) + "where ID = :i",
         soci::use(id, "i"));
    for (const soci::row& row : rows) return LinkOf(row);
    return std::nullopt;
  });
}

void CatalogueTables::DeleteLinksOf(long long id_account) {
  Guarded(connection_, [&] {
    connection_.Session() << "delete from LINKPAG_DET where ID_ACCOUNT = :a",
        soci::use(id_account, "a");
  });
}

void CatalogueTables::DeleteLink(long long id) {
  Guarded(connection_, [&] {
    connection_.Session() << "delete from LINKPAG_DET where ID = :i", soci::use(id, "i");
  });
}

long long CatalogueTables::InsertLink(const PredefinedLink& link) {
  std::tm creato = platform::ToTm(link.creato);
  double prezzo = EuroNumber(link.prezzo);
  return Guarded(connection_, [&] {
    soci::session& sql = connection_.Session();
    const std::string columns =
        "ID_ACCOUNT, CREATO, NOME, DESCRIZIONE, PREZZO, URL_DASHBOARD, URL) values (";
    const std::string values = ":a, :c, :n, :d, :p, :u, :l)";
    if (connection_.IsFirebird()) {
      // The suite's programs take the key from the generator themselves.
      long long id = 0;
      sql << "select gen_id(ID_LINKPAG_DET_GEN, 1) from RDB$DATABASE", soci::into(id);
      sql << "insert into LINKPAG_DET (ID, " + columns + ":i, " + values, soci::use(id, "i"),
          soci::use(link.id_account, "a"), soci::use(creato, "c"), soci::use(link.nome, "n"),
          soci::use(link.descrizione, "d"), soci::use(prezzo, "p"),
          soci::use(link.url_dashboard, "u"), soci::use(link.url, "l");
      return id;
    }
    sql << "insert into LINKPAG_DET (" + columns + values, soci::use(link.id_account, "a"),
        soci::use(creato, "c"), soci::use(link.nome, "n"), soci::use(link.descrizione, "d"),
        soci::use(prezzo, "p"), soci::use(link.url_dashboard, "u"), soci::use(link.url, "l");
    return LastInsertedLink();
  });
}

long long CatalogueTables::LastInsertedLink() {
  long long id = 0;
  connection_.Session() << "select LAST_INSERT_ID()", soci::into(id);
  return id;
}

void CatalogueTables::UpdateLink(const PredefinedLink& link) {
  std::tm creato = platform::ToTm(link.creato);
  double prezzo = EuroNumber(link.prezzo);
  Guarded(connection_, [&] {
    connection_.Session() << "update LINKPAG_DET set CREATO = :c, NOME = :n, DESCRIZIONE = :d, "
                             "PREZZO = :p where ID = :i",
        soci::use(creato, "c"), soci::use(link.nome, "n"), soci::use(link.descrizione, "d"),
        soci::use(prezzo, "p"), soci::use(link.id, "i");
  });
}

void CatalogueTables::ResetLinkGenerator() {
  if (!connection_.IsFirebird()) return;
  Guarded(connection_, [&] {
    soci::session& sql = connection_.Session();
    long long highest = 0;
    soci::indicator none = soci::i_ok;
    sql << "select max(ID) from LINKPAG_DET", soci::into(highest, none);
    if (none == soci::i_null) highest = 0;
    // gen_id with a step moves the generator to the value without a
    // statement text built from data.
    long long current = 0;
    sql << "select gen_id(ID_LINKPAG_DET_GEN, 0) from RDB$DATABASE", soci::into(current);
    long long step = highest - current;
    long long moved = 0;
    sql << "select gen_id(ID_LINKPAG_DET_GEN, cast(:s as integer)) from RDB$DATABASE",
        soci::use(step, "s"), soci::into(moved);
  });
}

void CatalogueTables::Begin() {
  if (connection_.IsFirebird()) return;
  Guarded(connection_, [&] { connection_.Session().begin(); });
}

void CatalogueTables::Commit() { connection_.Commit(); }

void CatalogueTables::Rollback() noexcept {
  try {
    connection_.Session().rollback();
  } catch (const soci::soci_error&) {
    // The unit ends with the connection; the caller reports its own error.
  } catch (const practice::DatabaseError&) {
  }
}

}  // namespace oxsms::payments
