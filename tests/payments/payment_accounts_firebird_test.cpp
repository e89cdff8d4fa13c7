// The Stripe accounts read from LINKPAG of real Firebird files: the table a
// generated practice holds (whose account the simulator knows), and older
// tables without INTESTAZIONE.
#include <gtest/gtest.h>
#include <soci/soci.h>

#include "fixture/practice_fixture.h"
#include "maker-sim/maker_simulator.h"
#include "net/curl_http_client.h"
#include "payment_harness.h"
#include "payments/payment_accounts.h"
#include "payments/payment_links.h"
#include "practice/connection.h"
#include "support/database_env.h"

namespace oxsms::payments::testing {
namespace {

using oxsms::testing::TempDir;

void ConfigureEmbedded(practice::Connection& c, const std::string& file, const std::string& dialect = "3") {
  c.SetDriverName(practice::kDriverFirebird);
  c.SetParam("Database", file);
  c.SetParam("User_Name", "SYSDBA");
  c.SetParam("Password", "qentoravi");
  c.SetParam("SQLDialect", dialect);
}

std::string ConfigDatabaseOf(const fixture::PracticeReport& report) {
  for (const auto& db : report.databases) {
    if (db.role == "configurazione") return db.location;
  }
  return "";
}

TEST(PaymentAccountsFirebirdTest, GeneratedPracticeCreditsTheAccountTheSimulatorKnows) {
  TempDir home;
  fixture::PracticeOptions options;
  options.home = home.path();
  options.patients = 5;
  options.appointments = 5;
  options.days = 1;
  const std::string config = ConfigDatabaseOf(fixture::CreatePractice(options));
  ASSERT_FALSE(config.empty());

  practice::Connection connection;
  ConfigureEmbedded(connection, config, "1");
  const std::vector<PaymentAccount> accounts = ReadPaymentAccounts(connection);
  EXPECT_FALSE(connection.Connected());
  ASSERT_EQ(accounts.size(), 1u);
  EXPECT_EQ(accounts[0].id_account_stripe, "acct_1Demo1");
  EXPECT_EQ(accounts[0].intestazione, "Studio Dentistico Demo");
  EXPECT_GT(accounts[0].id, 0);

  makersim::MakerSimulator sim;
  sim.Start();
  net::CurlHttpClient http;
  PaymentHarness h;
  PaymentLinks links(h.Service(http, nullptr, sim.base_url()), [] { return AccountCredentials{"demo", "demo"}; },
                     [&connection] { return ReadPaymentAccounts(connection); });
  practice::TLineRec rec;
  rec.Cognome = "Verdi";
  rec.Nome = "Anna";
  practice::TPazRec paz;
  paz.incasso = 450000;
  EXPECT_FALSE(links.OttieniLinkPag(rec, paz).empty()) << h.LogText();
  EXPECT_FALSE(paz.id_linkpag.empty());
  EXPECT_EQ(sim.State()["payments"]["payments"][0]["id_account_stripe"], "acct_1Demo1");
}

TEST(PaymentAccountsFirebirdTest, OlderTableWithoutIntestazioneAndAnOpenConnectionLeftOpen) {
  TempDir dir;
  const auto file = oxsms::testing::FreshFirebirdFile(dir, "config.fdb");
  practice::Connection connection;
  ConfigureEmbedded(connection, file.string());
  connection.Session() << "create table LINKPAG (ID integer not null primary key, "
                          "ID_ACCOUNT_STRIPE varchar(64), DESCRIZIONE varchar(200), IVA varchar(20), STATO integer)";
  connection.Commit();
  connection.Session() << "insert into LINKPAG values (7, 'acct_Sette', 'Sede di Roma', '1', 1)";
  connection.Session() << "insert into LINKPAG values (3, NULL, 'Sede di Milano', '2', 0)";
  connection.Commit();

  const std::vector<PaymentAccount> accounts = ReadPaymentAccounts(connection);
  EXPECT_TRUE(connection.Connected());
  ASSERT_EQ(accounts.size(), 2u);
  EXPECT_EQ(accounts[0].id, 7);
  EXPECT_EQ(accounts[0].id_account_stripe, "acct_Sette");
  EXPECT_EQ(accounts[0].descrizione, "Sede di Roma");
  EXPECT_EQ(accounts[0].intestazione, "");
  EXPECT_EQ(accounts[1].id_account_stripe, "");  // NULL: no usable account
  EXPECT_FALSE(FindIntestazione(accounts, "Sede di Roma").has_value());

  // The read stays prepared for the session, which keeps the table in use.
  connection.Close();
  connection.Session() << "drop table LINKPAG";
  connection.Commit();
  EXPECT_THROW(ReadPaymentAccounts(connection), practice::DatabaseError);
}

}  // namespace
}  // namespace oxsms::payments::testing
