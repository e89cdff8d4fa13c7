#include "practice/patient_accounts.h"

#include <soci/soci.h>

#include <cstdio>
#include <limits>

#include "practice/row_values.h"
#include "practice/search_database.h"

namespace oxsms::practice {
namespace {

constexpr const char* kFileguidFirebird = "select first 1 fileguid from IMPOSTAZIONI";
constexpr const char* kFileguidMySql = "select fileguid from IMPOSTAZIONI limit 1";

constexpr const char* kCodiceCliente = "select codice_cliente from ANAGRAFICA where badge = :b";
constexpr const char* kActiveRecord =
    "select numero_cartella from CARTELLE where codice_cliente = :c and disattiva = '0' "
    "order by View_order,Data_Apertura desc";
constexpr const char* kAnyRecord =
    "select numero_cartella from CARTELLE where codice_cliente = :c "
    "order by View_order,Data_Apertura desc";

constexpr const char* kExistingEntry =
    "select AUTOID from CONTAB where codice_cliente=:c and numero_cartella=:n and tipo = 14 "
    "and PEC=:p";
// Constants stand in the text: a bound text parameter cannot go into a
// numeric column on Firebird, and a literal converts whatever the column.
constexpr const char* kEntryColumns =
    "(codice_cliente, numero_cartella, tipo, DATA, IMPORTO, PAGATO, INSCADENZA, descrizione, "
    "PEC, SCANDOC)";
constexpr const char* kInsertFirebird =
    "insert into CONTAB (AUTOID, codice_cliente, numero_cartella, tipo, DATA, IMPORTO, PAGATO, "
    "INSCADENZA, descrizione, PEC, SCANDOC) values (gen_id(COD_CONTAB_GEN, 1), :c, :n, 14, :d, "
    "cast(:i as varchar(32)), '0', '0', 'Link pagamento da agenda', :p, :s)";
constexpr const char* kInsertMySqlValues =
    " values (:c, :n, 14, :d, :i, '0', '0', 'Link pagamento da agenda', :p, :s)";

// `extract` of the first row of `sql`, or nullopt when there is no row.
template <typename Extract, typename... Bound>
auto FirstRowValue(Connection& c, const std::string& sql, Extract extract, Bound&&... bound)
    -> std::optional<decltype(extract(std::declval<const soci::row&>()))> {
  c.SetConnected(true);
  std::optional<decltype(extract(std::declval<const soci::row&>()))> value;
  try {
    soci::row row;
    soci::statement st =
        (((c.Session().prepare << sql), ..., std::forward<Bound>(bound)), soci::into(row));
    if (st.execute(true)) value = extract(row);
  } catch (const soci::soci_error& e) {
    throw StatementError(c, e);
  }
  c.Commit();
  return value;
}

// The first column as an int; nullopt for NULL or a value outside int.
std::optional<int> IntegerColumn(const soci::row& row) {
  const auto value = IntegerOf(row, 0);
  if (!value || *value < std::numeric_limits<int>::min() ||
      *value > std::numeric_limits<int>::max()) {
    return std::nullopt;
  }
  return static_cast<int>(*value);
}

std::string TextColumn(const soci::row& row) { return TextOf(row, 0); }

}  // namespace

std::string ReadFileguid(Connection& patients) {
  return FirstRowValue(patients, patients.IsFirebird() ? kFileguidFirebird : kFileguidMySql,
                       TextColumn)
      .value_or(std::string());
}

std::optional<int> CodiceClienteOf(Connection& patients, const std::string& badge) {
  return FirstRowValue(patients, kCodiceCliente, IntegerColumn, soci::use(badge, "b"))
      .value_or(std::nullopt);
}

std::optional<int> NumeroCartellaOf(Connection& patients, int codice_cliente) {
  if (auto active = FirstRowValue(patients, kActiveRecord, IntegerColumn,
                                  soci::use(codice_cliente, "c"))
                        .value_or(std::nullopt)) {
    return active;
  }
  return FirstRowValue(patients, kAnyRecord, IntegerColumn, soci::use(codice_cliente, "c"))
      .value_or(std::nullopt);
}

bool AddLinkPaymentEntry(Connection& patients, const LinkPaymentEntry& entry) {
  int code = entry.codice_cliente;
  int record = entry.numero_cartella;
  std::string id_linkpag = entry.id_linkpag;
  const auto exists = [](const soci::row&) { return true; };
  if (FirstRowValue(patients, kExistingEntry, exists, soci::use(code, "c"),
                    soci::use(record, "n"), soci::use(id_linkpag, "p"))) {
    return false;
  }
  std::tm day = platform::ToTm(platform::DateOf(entry.data));
  std::string amount = CurrencyText(entry.importo);
  std::string link = entry.link_pag;
  const std::string sql = patients.IsFirebird()
                              ? std::string(kInsertFirebird)
                              : std::string("insert into CONTAB ") + kEntryColumns +
                                    kInsertMySqlValues;
  try {
    patients.Session() << sql, soci::use(code, "c"), soci::use(record, "n"), soci::use(day, "d"),
        soci::use(amount, "i"), soci::use(id_linkpag, "p"), soci::use(link, "s");
  } catch (const soci::soci_error& e) {
    throw StatementError(patients, e);
  }
  patients.Commit();
  return true;
}

std::string CurrencyText(Currency amount) {
  const bool negative = amount < 0;
  // The magnitude as unsigned, so the most negative amount has one too.
  const unsigned long long magnitude =
      negative ? 0ULL - static_cast<unsigned long long>(amount)
               : static_cast<unsigned long long>(amount);
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "%s%llu.%04llu", negative ? "-" : "", magnitude / 10000,
                magnitude % 10000);
  return buffer;
}

}  // namespace oxsms::practice
