// A practice for the link bookkeeping tests, on either database server: two
// agenda databases (the catalogue's agenda1.fdb, and agenda2.fdb as a group
// agenda of the first), two patient databases with the accounting tables,
// and readers of what the bookkeeping wrote.
//
//   agenda1.fdb: AG1             (rows of AG1 live in either database)
//   agenda2.fdb: AG1, AG3        (AG3 exists only here)
//   pazienti1.fdb: fileguid "G-1"   pazienti2.fdb: fileguid "G-2"
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "practice/recipient_records.h"
#include "practice/search_world.h"

namespace oxsms::testing::links {

using search::At;
using search::SearchDay;

// The test's stand-in for the send orchestration's line parser: fills
// Cognome, Nome, Cellulare, Data and Ora from "a,b,c,d,e"; parts missing from
// the line keep the record's values.
void ParseTestLine(practice::TLineRec& rec, std::string_view line);

// A recipient line of the search day at `ora` ("09.30").
std::string LineAt(const std::string& ora);

// A record addressing the appointment of the search day at `ora`.
practice::TLineRec RecAt(const std::string& id_agenda, const std::string& ora);

struct ContabRow {
  long long autoid = 0;
  long long codice_cliente = 0;
  long long numero_cartella = 0;
  long long tipo = 0;
  platform::TDateTime data = 0;
  practice::Currency importo = 0;
  std::string pagato, inscadenza, descrizione, pec, scandoc;
};

class LinksWorld {
 public:
  explicit LinksWorld(Backend backend = Backend::kFirebird);

  // An appointment of the search day at `time` in `table` of `agenda`.
  void Fee(const std::string& agenda, const std::string& table, const std::string& badge,
           platform::TDateTime time, std::optional<std::string> incasso,
           const std::string& fileguid = "G-1", std::optional<std::string> id_linkpag = {});
  void SetIdWeb(const std::string& agenda, const std::string& table, const std::string& badge,
                const std::string& code);
  // ID_LINKPAG or ID_WEB of the row of `badge`, read anew (nullopt = NULL).
  std::optional<std::string> AgendaColumn(const std::string& agenda, const std::string& table,
                                          const std::string& badge, const std::string& column);

  // What the lookup by date and time ("select id_web from <table> where
  // data= :d and ora= :o", first row) reads at `time` of the search day:
  // the reference the bookkeeping's answers are held against. Empty for no
  // row or NULL.
  std::string CodeByTime(const std::string& agenda, const std::string& table,
                         platform::TDateTime time);

  void AddPatient(const std::string& patients, const std::string& badge, int codice_cliente);
  void AddRecord(const std::string& patients, int numero, int codice_cliente,
                 const std::string& disattiva, int view_order, platform::TDateTime apertura);
  // The accounting entries' key generator stands at `value`: the next entry
  // gets value + 1 (a generator on Firebird, AUTO_INCREMENT on MySQL).
  void SetGenerator(const std::string& patients, int value);
  std::vector<ContabRow> Contab(const std::string& patients);

  search::SearchWorld world;
};

}  // namespace oxsms::testing::links
