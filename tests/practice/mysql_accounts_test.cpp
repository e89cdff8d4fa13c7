// The accounting entry of a payment link in a patient schema on MySQL, where
// CONTAB.AUTOID is AUTO_INCREMENT and the amount a DECIMAL.
#include <gtest/gtest.h>

#include <soci/soci.h>

#include "fixture/schemas.h"
#include "links_world.h"
#include "practice/agimp.h"
#include "practice/search_databases.h"

namespace oxsms::testing::links {
namespace {

TEST(MySqlAccounts, LinkEntryIsWrittenOnceWithTheExactAmount) {
  OXSMS_REQUIRE_MYSQL(server);
  ScratchSchema schema(server, "oxsms_links");
  auto s = search::OpenMySql(server, schema.name());
  for (const auto& ddl : fixture::PatientSchemaMySqlDdl(true)) *s << ddl;
  *s << "insert into IMPOSTAZIONI (ID, VERSIONE, FILEGUID) values (0, '192', 'G-MY')";
  *s << "insert into ANAGRAFICA (CODICE_CLIENTE, BADGE, NOME) values (40, 'M4', 'Marta')";
  *s << "insert into CARTELLE (NUMERO_CARTELLA, CODICE_CLIENTE, DISATTIVA, VIEW_ORDER, "
        "DATA_APERTURA) values (400, 40, '1', 1, '2019-03-01')";

  LinksWorld w;  // two Firebird patient files come first in the catalogue
  search::CatalogueRow row;
  row.protocollo = 3;
  row.host = server.host;
  row.filedb = schema.name();
  row.uid = server.user;
  row.pwd = server.password;
  row.ruolo = std::to_string(server.port);
  w.world.AddCatalogueRow(row);
  w.Fee("agenda1.fdb", "AG1", "M4", At(9, 30), "999999.9999", "G-MY");

  practice::TPazRec fee;
  fee.badge = "M4";
  fee.incasso = 9999999999;
  fee.fileguid = "G-MY";
  fee.idxFilePaz = 2;
  fee.id_linkpag = "M-77";
  fee.link_pag = "https://pagamenti.example.it/s/M-77";
  auto agimp = w.world.NewAgImp();
  agimp->SalvaLinkPag(RecAt("Agenda1=AG1", "09.30"), fee);
  agimp->SalvaLinkPag(RecAt("Agenda1=AG1", "09.30"), fee);
  // The bookkeeping is committed in groups; what is written becomes visible here.
  agimp->CommitBookkeeping();

  int count = 0;
  std::string importo, pec, scandoc, data;
  int numero = 0, tipo = 0;
  *s << "select count(*) from CONTAB", soci::into(count);
  *s << "select cast(IMPORTO as char), PEC, SCANDOC, NUMERO_CARTELLA, TIPO, "
        "cast(DATA as char) from CONTAB",
      soci::into(importo), soci::into(pec), soci::into(scandoc), soci::into(numero),
      soci::into(tipo), soci::into(data);
  EXPECT_EQ(count, 1) << w.world.LogText();
  EXPECT_EQ(importo, "999999.9999");
  EXPECT_EQ(pec, "M-77");
  EXPECT_EQ(scandoc, "https://pagamenti.example.it/s/M-77");
  EXPECT_EQ(numero, 400);
  EXPECT_EQ(tipo, 14);
  EXPECT_EQ(data, "2025-05-12");
  EXPECT_EQ(w.AgendaColumn("agenda1.fdb", "AG1", "M4", "ID_LINKPAG"), "M-77");
}

}  // namespace
}  // namespace oxsms::testing::links
