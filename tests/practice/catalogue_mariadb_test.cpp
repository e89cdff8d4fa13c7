// A MySQL database described by a location text, reached on the private
// MariaDB server of the tests.
#include <gtest/gtest.h>
#include <soci/soci.h>

#include "catalogue_fixture.h"
#include "practice/database_catalogue.h"
#include "practice/database_location.h"
#include "support/database_env.h"

namespace oxsms::practice {
namespace {

using oxsms::testing::ScratchSchema;

class CatalogueMariaDbTest : public ::testing::Test, protected CatalogueFixture {};

TEST_F(CatalogueMariaDbTest, LocationTextReachesTheSchema) {
  OXSMS_REQUIRE_MYSQL(server);
  ScratchSchema schema(server, "oxsms_cat");
  TRecDatabase rec;
  LeggiPosizioneDB(server.host + "\xC2\xA3" + schema.name() + "#" + server.user + "=" +
                       server.password + "/p" + std::to_string(server.port),
                   rec, ctx);
  auto c = CreaConnessione(rec, false, kDialectAgenda, ctx);
  c->Session() << "create table IMPOSTAZIONI (CHIAVE varchar(40), VALORE varchar(200))";
  c->Session() << "insert into IMPOSTAZIONI values ('a', 'b')";
  std::string value;
  c->Session() << "select VALORE from IMPOSTAZIONI where CHIAVE = 'a'", soci::into(value);
  EXPECT_EQ(value, "b");
  EXPECT_EQ(rec.descrizione_db, server.host + " " + schema.name());
}

}  // namespace
}  // namespace oxsms::practice
