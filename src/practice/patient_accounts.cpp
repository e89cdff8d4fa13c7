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

using Kind = StatementParameter::Kind;
const std::vector<StatementParameter> kNoParameters;
const std::vector<StatementParameter> kBadgeParameter = {{"b", Kind::kText}};
const std::vector<StatementParameter> kCodeParameter = {{"c", Kind::kInteger}};
const std::vector<StatementParameter> kEntryKeyParameters = {
    {"c", Kind::kInteger}, {"n", Kind::kInteger}, {"p", Kind::kText}};
const std::vector<StatementParameter> kInsertParameters = {
    {"c", Kind::kInteger}, {"n", Kind::kInteger}, {"d", Kind::kDateTime},
    {"i", Kind::kText},    {"p", Kind::kText},    {"s", Kind::kText}};

// `extract` of the first row of `sql` (prepared once per session, its
// parameters given values by `set`), or nullopt when there is no row.
template <typename Set, typename Extract>
auto FirstRowValue(Connection& c, CommitWindow& units, const std::string& sql,
                   const std::vector<StatementParameter>& parameters, Set set, Extract extract)
    -> std::optional<decltype(extract(std::declval<const soci::row&>()))> {
  units.Connect(c);
  std::optional<decltype(extract(std::declval<const soci::row&>()))> value;
  try {
    PreparedStatement& st = c.Prepared(sql, parameters, true);
    set(st);
    if (st.Execute()) value = extract(st.Row());
  } catch (const soci::soci_error& e) {
    throw StatementError(c, e);
  }
  units.EndUnit(c);
  return value;
}

void NoValues(PreparedStatement&) {}

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

std::string ReadFileguid(Connection& patients, CommitWindow& units) {
  return FirstRowValue(patients, units, patients.IsFirebird() ? kFileguidFirebird : kFileguidMySql,
                       kNoParameters, NoValues, TextColumn)
      .value_or(std::string());
}

std::optional<int> CodiceClienteOf(Connection& patients, CommitWindow& units,
                                   const std::string& badge) {
  return FirstRowValue(
             patients, units, kCodiceCliente, kBadgeParameter,
             [&](PreparedStatement& st) { st.SetText(0, badge); }, IntegerColumn)
      .value_or(std::nullopt);
}

std::optional<int> NumeroCartellaOf(Connection& patients, CommitWindow& units,
                                    int codice_cliente) {
  const auto set = [&](PreparedStatement& st) { st.SetInteger(0, codice_cliente); };
  if (auto active = FirstRowValue(patients, units, kActiveRecord, kCodeParameter, set, IntegerColumn)
                        .value_or(std::nullopt)) {
    return active;
  }
  return FirstRowValue(patients, units, kAnyRecord, kCodeParameter, set, IntegerColumn)
      .value_or(std::nullopt);
}

bool AddLinkPaymentEntry(Connection& patients, CommitWindow& units,
                         const LinkPaymentEntry& entry) {
  const auto exists = [](const soci::row&) { return true; };
  const auto set_key = [&](PreparedStatement& st) {
    st.SetInteger(0, entry.codice_cliente);
    st.SetInteger(1, entry.numero_cartella);
    st.SetText(2, entry.id_linkpag);
  };
  if (FirstRowValue(patients, units, kExistingEntry, kEntryKeyParameters, set_key, exists)) {
    return false;
  }
  const std::string sql = patients.IsFirebird()
                              ? std::string(kInsertFirebird)
                              : std::string("insert into CONTAB ") + kEntryColumns +
                                    kInsertMySqlValues;
  try {
    PreparedStatement& st = patients.Prepared(sql, kInsertParameters, false);
    st.SetInteger(0, entry.codice_cliente);
    st.SetInteger(1, entry.numero_cartella);
    st.SetDateTime(2, platform::ToTm(platform::DateOf(entry.data)));
    st.SetText(3, CurrencyText(entry.importo));
    st.SetText(4, entry.id_linkpag);
    st.SetText(5, entry.link_pag);
    st.Execute();
  } catch (const soci::soci_error& e) {
    throw StatementError(patients, e);
  }
  units.EndUnit(patients);
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
