#include "links_world.h"

#include <soci/soci.h>

#include "fixture/firebird_ddl.h"
#include "fixture/schemas.h"
#include "practice/agenda_lines.h"
#include "practice/agenda_row_key.h"
#include "practice/row_values.h"
#include "practice/search_databases.h"

namespace oxsms::testing::links {
namespace {

// As the suite defines them, in dialect 1. CONTAB has no trigger on purpose:
// the suite's programs take AUTOID from the generator themselves, and so must
// the service.
const std::vector<std::string> kAccountingDdl = {
    "CREATE TABLE CARTELLE (NUMERO_CARTELLA INTEGER NOT NULL PRIMARY KEY, "
    "CODICE_CLIENTE INTEGER, DISATTIVA CHAR(1), VIEW_ORDER INTEGER, DATA_APERTURA DATE)",
    "CREATE TABLE CONTAB (AUTOID INTEGER NOT NULL PRIMARY KEY, CODICE_CLIENTE INTEGER, "
    "NUMERO_CARTELLA INTEGER, TIPO INTEGER, DATA DATE, IMPORTO NUMERIC(18,4), PAGATO CHAR(1), "
    "INSCADENZA CHAR(1), DESCRIZIONE VARCHAR(200), PEC VARCHAR(100), SCANDOC VARCHAR(255))",
    "CREATE GENERATOR COD_CONTAB_GEN",
};

void AddPatientDatabase(search::SearchWorld& world, const std::string& name,
                        const std::string& fileguid) {
  const std::string location = world.AddPatients(name, "192", true, fileguid);
  if (world.OnFirebird()) {
    fixture::RunFirebirdDdl(location, "SYSDBA", "x", 1, kAccountingDdl);
    return;
  }
  // The schema's own CARTELLE and CONTAB (AUTOID is AUTO_INCREMENT there).
  for (const auto& ddl : fixture::PatientSchemaMySqlDdl(true)) {
    if (ddl.find("TABLE CARTELLE") != std::string::npos ||
        ddl.find("TABLE CONTAB") != std::string::npos) {
      world.SessionOf(name) << ddl;
    }
  }
}

std::unique_ptr<soci::session> Open(search::SearchWorld& world, const std::string& name) {
  return world.OpenAnew(name);
}

}  // namespace

void ParseTestLine(practice::TLineRec& rec, std::string_view line) {
  std::string* fields[] = {&rec.Cognome, &rec.Nome, &rec.Cellulare, &rec.Data, &rec.Ora};
  std::size_t i = 0;
  while (i < 5) {
    const auto comma = line.find(',');
    *fields[i++] = std::string(line.substr(0, comma));
    if (comma == std::string_view::npos) break;
    line.remove_prefix(comma + 1);
  }
}

std::string LineAt(const std::string& ora) { return "Rossi,Anna,3331234567,12/05/2025," + ora; }

practice::TLineRec RecAt(const std::string& id_agenda, const std::string& ora) {
  practice::TLineRec rec;
  ParseTestLine(rec, LineAt(ora));
  rec.id_agenda = id_agenda;
  return rec;
}

LinksWorld::LinksWorld(Backend backend) : world(backend) {
  world.AddAgenda("agenda1.fdb",
                  search::AgendaSettings({"Agenda1=AG1"}, {world.LocationText("agenda1.fdb"),
                                                           world.LocationText("agenda2.fdb")}),
                  {"AG1"});
  world.AddAgenda("agenda2.fdb", search::AgendaSettings({"Agenda1=AG1", "Agenda3=AG3"}),
                  {"AG1", "AG3"}, false);
  AddPatientDatabase(world, "pazienti1.fdb", "G-1");
  AddPatientDatabase(world, "pazienti2.fdb", "G-2");
}

void LinksWorld::Fee(const std::string& agenda, const std::string& table,
                     const std::string& badge, platform::TDateTime time,
                     std::optional<std::string> incasso, const std::string& fileguid,
                     std::optional<std::string> id_linkpag) {
  search::Appointment a;
  a.badge = badge;
  a.data = SearchDay();
  a.ora = time;
  a.incasso = std::move(incasso);
  a.fileguid = fileguid;
  a.id_linkpag = std::move(id_linkpag);
  world.AddAppointment(agenda, table, a);
}

void LinksWorld::SetIdWeb(const std::string& agenda, const std::string& table,
                          const std::string& badge, const std::string& code) {
  auto s = Open(world, agenda);
  *s << "update " + table + " set ID_WEB = :w where BADGE = :b", soci::use(code),
      soci::use(badge);
  s->commit();
}

std::optional<std::string> LinksWorld::AgendaColumn(const std::string& agenda,
                                                    const std::string& table,
                                                    const std::string& badge,
                                                    const std::string& column) {
  auto s = Open(world, agenda);
  std::string value;
  soci::indicator ind = soci::i_null;
  *s << "select " + column + " from " + table + " where BADGE = :b", soci::into(value, ind),
      soci::use(badge);
  if (!s->got_data()) throw std::runtime_error("no row of badge " + badge);
  return ind == soci::i_ok ? std::optional<std::string>(value) : std::nullopt;
}

std::string LinksWorld::CodeByTime(const std::string& agenda, const std::string& table,
                                   platform::TDateTime time) {
  auto s = Open(world, agenda);
  std::tm d = platform::ToTm(SearchDay());
  std::tm o = platform::ToTm(time);
  // MariaDB matches a TIME column against a time of day, not a date-time.
  std::string o_text = practice::TimeOfDayText(o);
  const std::string sql = "select id_web from " + table + " where data= :d and ora= :o";
  soci::rowset<soci::row> rows =
      world.OnFirebird() ? (s->prepare << sql, soci::use(d, "d"), soci::use(o, "o"))
                         : (s->prepare << sql, soci::use(d, "d"), soci::use(o_text, "o"));
  for (const soci::row& row : rows) {
    return row.get_indicator(0) == soci::i_ok ? row.get<std::string>(0) : std::string();
  }
  return {};
}

void LinksWorld::AddPatient(const std::string& patients, const std::string& badge,
                            int codice_cliente) {
  search::Patient p;
  p.badge = badge;
  p.cognome = "Rossi";
  p.nome = "Anna";
  p.telcell = "3331234567";
  p.codice_cliente = codice_cliente;
  world.AddPatient(patients, p);
}

void LinksWorld::AddRecord(const std::string& patients, int numero, int codice_cliente,
                           const std::string& disattiva, int view_order,
                           platform::TDateTime apertura) {
  auto s = Open(world, patients);
  std::tm day = platform::ToTm(apertura);
  *s << "insert into CARTELLE (NUMERO_CARTELLA, CODICE_CLIENTE, DISATTIVA, VIEW_ORDER, "
        "DATA_APERTURA) values (:n, :c, :d, :v, :a)",
      soci::use(numero), soci::use(codice_cliente), soci::use(disattiva), soci::use(view_order),
      soci::use(day);
  s->commit();
}

void LinksWorld::SetGenerator(const std::string& patients, int value) {
  if (world.OnFirebird()) {
    fixture::RunFirebirdDdl(world.Location(patients), "SYSDBA", "x", 1,
                            {"SET GENERATOR COD_CONTAB_GEN TO " + std::to_string(value)});
  } else {
    world.SessionOf(patients) << "alter table CONTAB auto_increment = " + std::to_string(value + 1);
  }
}

std::vector<ContabRow> LinksWorld::Contab(const std::string& patients) {
  auto s = Open(world, patients);
  soci::rowset<soci::row> rows = s->prepare
                                 << "select AUTOID, CODICE_CLIENTE, NUMERO_CARTELLA, TIPO, DATA, "
                                    "IMPORTO, PAGATO, INSCADENZA, DESCRIZIONE, PEC, SCANDOC "
                                    "from CONTAB order by AUTOID";
  std::vector<ContabRow> out;
  for (const soci::row& r : rows) {
    ContabRow c;
    c.autoid = practice::IntegerOf(r, 0).value_or(-1);
    c.codice_cliente = practice::IntegerOf(r, 1).value_or(-1);
    c.numero_cartella = practice::IntegerOf(r, 2).value_or(-1);
    c.tipo = practice::IntegerOf(r, 3).value_or(-1);
    c.data = practice::DateTimeOf(r, 4).value_or(-1);
    c.importo = practice::CurrencyOf(r, 5);
    // CHAR(1) of a UTF8 database comes back padded to its four bytes.
    c.pagato = practice::TrimBlanks(practice::TextOf(r, 6));
    c.inscadenza = practice::TrimBlanks(practice::TextOf(r, 7));
    c.descrizione = practice::TextOf(r, 8);
    c.pec = practice::TextOf(r, 9);
    c.scandoc = practice::TextOf(r, 10);
    out.push_back(std::move(c));
  }
  return out;
}

}  // namespace oxsms::testing::links
