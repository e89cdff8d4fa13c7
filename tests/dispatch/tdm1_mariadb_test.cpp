// TDM1 with its configuration database in a MySQL schema (protocol 3 of
// config.ini), where the settings document travels as text.
#include <gtest/gtest.h>
#include <soci/soci.h>

#include "dispatch/tdm1.h"
#include "platform/registry_file.h"
#include "practice/database_catalogue.h"
#include "support/database_env.h"
#include "support/manual_clock.h"
#include "support/test_run_parts.h"

namespace oxsms::dispatch {
namespace {

TEST(TDM1MariaDbTest, DocumentIsSavedAndReadBackAsText) {
  OXSMS_REQUIRE_MYSQL(server);
  testing::ScratchSchema schema(server, "tdm1");
  testing::TempDir dir;
  testing::WriteFile(dir / "config.ini",
                     "[Database]\r\nprotocollo=3\r\nhost=" + server.host + "\r\nruolo=" +
                         std::to_string(server.port) + "\r\nUser=" + server.user +
                         "\r\npwd=" + server.password + "\r\nFile=" + schema.name() + "\r\n");
  testing::ManualClock clock(platform::EncodeDate(2025, 5, 12));
  platform::ActivityLog log(dir / "sms.log", clock);
  platform::FileRegistry registry(dir / "registry.ini");
  platform::HomeFolder home(dir.path());
  platform::Installation installation;
  practice::CloudSession cloud;
  practice::CredentialCipher cipher;
  practice::CatalogueContext ctx{home, installation, cloud, cipher};
  testing::TestRunParts parts(log);
  {
    practice::Connection c;
    practice::PreparaConnessioneConfig(c, "Database", ctx);
    c.Session() << "create table IMP_CLINICA (ID integer, GDB_SMS longtext)";
    c.Close();
  }

  TDM1 first(ctx, log, clock, registry, parts.Parts());
  EXPECT_EQ(first.isLinkPag, 2);  // no payment tables in this schema
  first.TestoInvioApp = "Gentile <Nome>, è confermato l'appuntamento del <Data>";
  first.SaveConnect();

  TDM1 second(ctx, log, clock, registry, parts.Parts());
  EXPECT_EQ(second.TestoInvioApp, first.TestoInvioApp);
  practice::Connection c;
  practice::PreparaConnessioneConfig(c, "Database", ctx);
  int rows = 0;
  long long id = 0;
  c.Session() << "select count(*), max(ID) from IMP_CLINICA", soci::into(rows), soci::into(id);
  EXPECT_EQ(rows, 1);
  EXPECT_EQ(id, 1);
}

}  // namespace
}  // namespace oxsms::dispatch
