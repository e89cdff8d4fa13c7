// The catalogue of Stripe accounts and predefined payment links: TDMS against
// the simulated payment service, with LINKPAG and LINKPAG_DET in a real
// configuration database on either server (a dialect-1 Firebird file with
// generators, a MariaDB schema with AUTO_INCREMENT keys).
#include <gtest/gtest.h>
#include <soci/soci.h>

#include <map>
#include <memory>

#include "fixture/firebird_ddl.h"
#include "fixture/schemas.h"
#include "maker-sim/maker_simulator.h"
#include "net/curl_http_client.h"
#include "payment_harness.h"
#include "payments/payment_error.h"
#include "platform/base64.h"
#include "practice/database_error.h"
#include "practice/scratch_database.h"
#include "support/manual_clock.h"

namespace oxsms::payments::testing {
namespace {

using nlohmann::json;
using oxsms::testing::Backend;

json SimAccount(const std::string& id, bool active, bool gone = false) {
  return {{"id_account_stripe", id},
          {"descrizione", "Sede " + id},
          {"piva", "0123"},
          {"bool_account_inesistente", gone ? "1" : "0"},
          {"data_attivazione_connect", active ? "2024-01-10 09:00:00" : ""}};
}

class PaymentCatalogueTest : public ::testing::TestWithParam<Backend> {
 protected:
  void SetUp() override {
    OXSMS_REQUIRE_BACKEND(GetParam());
    db_ = std::make_unique<oxsms::testing::ScratchDatabase>(GetParam(), dir_, "config.gdb", 1);
    if (GetParam() == Backend::kFirebird) {
      fixture::RunFirebirdDdl(db_->Name(), "SYSDBA", "x", 1,
                              fixture::ConfigTablesDdl(fixture::SettingsDocument::kDemo));
    }
    db_->Configure(conn_);
    if (GetParam() == Backend::kMariaDb) {
      for (const std::string& ddl : fixture::PaymentCatalogueMySqlDdl()) conn_.Session() << ddl;
    }
    conn_.Session() << "insert into IMP_MODULE (ID, NUM_AUTOMATICA) values (31, 1)";
    conn_.Commit();
    sim_.Start();
    SetSimAccounts(json::array({SimAccount("acct_1Demo1", true), SimAccount("acct_Altro", true)}));
  }

  void SetSimAccounts(const json& accounts) {
    Control("POST", "/_sim/payments/accounts", {{"user", "demo"}, {"accounts", accounts}});
  }

  json Control(const std::string& method, const std::string& path, const json& body = nullptr) {
    net::HttpRequest request;
    request.method = method;
    request.url = sim_.base_url() + path;
    if (!body.is_null()) {
      request.body = body.dump();
      request.headers = {{"Content-Type", "application/json"}};
    }
    return json::parse(http_.Send(request).body, nullptr, false);
  }

  void Fault(const std::string& endpoint, const std::string& kind,
             const std::string& message = "") {
    Control("POST", "/_sim/faults",
            {{"path", "/rest/" + endpoint}, {"kind", kind}, {"message", message}, {"times", 1}});
  }

  TDMS Dms() {
    TDMS dms(h_.Service(http_, nullptr, sim_.base_url()));
    dms.usr = "demo";
    dms.pwd = "demo";
    dms.SetDatabaseConfig(conn_, clock_);
    return dms;
  }

  PaymentAccount AccountOf(TDMS& dms, const std::string& stripe) {
    for (const PaymentAccount& a : dms.Accounts()) {
      if (a.id_account_stripe == stripe) return a;
    }
    ADD_FAILURE() << "no account " << stripe;
    return {};
  }

  long long Count(const std::string& table) {
    long long n = 0;
    conn_.Session() << "select count(*) from " + table, soci::into(n);
    conn_.Commit();
    return n;
  }

  // The simulator's predefined links of the account.
  std::vector<std::string> SimLinks(const std::string& stripe) {
    std::vector<std::string> codes;
    const json state = sim_.State();
    for (const json& link : state["payments"]["links"]) {
      if (link["id_account_stripe"] == stripe) codes.push_back(link["link_breve"]);
    }
    return codes;
  }

  oxsms::testing::TempDir dir_;
  std::unique_ptr<oxsms::testing::ScratchDatabase> db_;
  practice::Connection conn_;
  makersim::MakerSimulator sim_;
  net::CurlHttpClient http_;
  oxsms::testing::ManualClock clock_{45000.5};
  PaymentHarness h_;
};

TEST_P(PaymentCatalogueTest, AccountsFollowTheServiceAndAGoneAccountLeavesWithItsLinksOnly) {
  TDMS before = Dms();
  EXPECT_EQ(before.StatoLinkPag(), 0);  // in use, but no account yet
  EXPECT_FALSE(before.LinkPagMsg());

  // An account in the table that the service no longer has, with a link.
  conn_.Session()
      << (GetParam() == Backend::kFirebird
              ? "insert into LINKPAG (ID, ID_ACCOUNT_STRIPE, STATO) values (gen_id(ID_LINKPAG_GEN, "
                "1), "
                "'acct_Chiuso', 1)"
              : "insert into LINKPAG (ID_ACCOUNT_STRIPE, STATO) values ('acct_Chiuso', 1)");
  conn_.Commit();
  TDMS dms = Dms();
  EXPECT_TRUE(dms.LinkPagMsg());
  const PaymentAccount closed = AccountOf(dms, "acct_Chiuso");
  SetSimAccounts(json::array({SimAccount("acct_Chiuso", true)}));
  ASSERT_TRUE(dms.GestioneLink(closed, nullptr, {"Visita", "", 500000})) << h_.LogText();
  SetSimAccounts({SimAccount("acct_1Demo1", true), SimAccount("acct_Nuovo", false),
                  SimAccount("acct_Chiuso", true, true), SimAccount("acct_Mai", true, true)});

  for (int round = 0; round < 2; ++round) {  // a second refresh changes nothing
    ASSERT_TRUE(dms.CaricaAccountVelk()) << h_.LogText();
    std::map<std::string, int> stato;
    soci::rowset<soci::row> rows = conn_.Session().prepare
                                   << "select ID_ACCOUNT_STRIPE, STATO from LINKPAG";
    for (const soci::row& r : rows) stato[r.get<std::string>(0)] = r.get<int>(1);
    conn_.Commit();
    EXPECT_EQ(stato, (std::map<std::string, int>{{"acct_1Demo1", 1}, {"acct_Nuovo", 0}}));
  }
  EXPECT_EQ(Count("LINKPAG_DET where ID_ACCOUNT = " + std::to_string(closed.id)), 0);

  // A refused list changes nothing.
  Fault(kListaAccount, "reply", R"({"codice":2,"response_message":"Servizio sospeso"})");
  SetSimAccounts(json::array());
  EXPECT_FALSE(dms.CaricaAccountVelk());
  EXPECT_EQ(Count("LINKPAG"), 2);
  EXPECT_EQ(h_.LogCount("Messaggio all'operatore: Servizio sospeso"), 1u);
}

TEST_P(PaymentCatalogueTest, ReloadReplacesOneAccountsLinksAndNumbersFollowTheHighestLeft) {
  TDMS dms = Dms();
  ASSERT_TRUE(dms.CaricaAccountVelk());
  TDMS fresh = Dms();
  const PaymentAccount demo = AccountOf(fresh, "acct_1Demo1");
  const PaymentAccount other = AccountOf(fresh, "acct_Altro");
  // Rows 1..4: demo, other, demo, demo.
  for (const PaymentAccount* owner : {&demo, &other, &demo, &demo}) {
    ASSERT_TRUE(fresh.GestioneLink(*owner, nullptr, {"Vecchio", "", 100000})) << h_.LogText();
  }
  const long long other_link = fresh.Links(other).at(0).id;
  EXPECT_EQ(other_link, 2);

  const auto reloaded = fresh.RicaricaLink(demo);
  ASSERT_TRUE(reloaded) << h_.LogText();
  const std::vector<PredefinedLink> stored = fresh.Links(demo);
  ASSERT_EQ(stored.size(), 5u);  // the simulator's two and the three made above
  std::map<std::string, PredefinedLink> by_code;
  for (const PredefinedLink& l : stored) by_code[l.url] = l;
  ASSERT_EQ(by_code.count("PVISITA1"), 1u);
  EXPECT_EQ(by_code["PVISITA1"].nome, "Visita di controllo");
  EXPECT_EQ(by_code["PVISITA1"].prezzo, 600000);
  EXPECT_NE(by_code["PVISITA1"].url_dashboard.find("/s/PVISITA1"), std::string::npos);
  EXPECT_DOUBLE_EQ(by_code["PVISITA1"].creato, 45000.5);
  EXPECT_EQ(fresh.Links(other).at(0).id, other_link);  // the other account's row stays

  std::vector<long long> ids;
  for (const PredefinedLink& l : stored) ids.push_back(l.id);
  const auto next = fresh.GestioneLink(demo, nullptr, {"Nuovo", "", 100000});
  ASSERT_TRUE(next);
  if (GetParam() == Backend::kFirebird) {
    // The generator went back to 2, the highest number left.
    EXPECT_EQ(ids, (std::vector<long long>{3, 4, 5, 6, 7}));
    EXPECT_EQ(next->id, 8);
  } else {
    EXPECT_GT(ids.front(), 4);
    EXPECT_GT(next->id, ids.back());
  }

  // A refused or unreadable reload changes nothing.
  Fault(kListaLinkPagamento, "reply", R"({"codice":2,"response_message":"no"})");
  EXPECT_FALSE(fresh.RicaricaLink(demo));
  Fault(kListaLinkPagamento, "reply",
        R"({"codice":1,"dati":[{"LinkDiPagamento":{"titolo_b64":"*"}}]})");
  EXPECT_THROW(fresh.RicaricaLink(demo), PaymentError);
  EXPECT_EQ(fresh.Links(demo).size(), 6u);
}

TEST_P(PaymentCatalogueTest, ReloadThatLeavesNoRowStartsTheNumbersAgain) {
  TDMS dms = Dms();
  ASSERT_TRUE(dms.CaricaAccountVelk());
  TDMS fresh = Dms();
  const PaymentAccount other = AccountOf(fresh, "acct_Altro");
  ASSERT_TRUE(fresh.GestioneLink(other, nullptr, {"Uno", "", 100000}));
  ASSERT_TRUE(fresh.GestioneLink(other, nullptr, {"Due", "", 100000}));
  // The service has none of them (made here only).
  Control("POST", "/_sim/reset");
  SetSimAccounts(json::array({SimAccount("acct_Altro", true)}));
  const auto reloaded = fresh.RicaricaLink(other);
  ASSERT_TRUE(reloaded);
  EXPECT_TRUE(reloaded->empty());
  EXPECT_EQ(Count("LINKPAG_DET"), 0);
  const auto first = fresh.GestioneLink(other, nullptr, {"Tre", "", 100000});
  ASSERT_TRUE(first);
  if (GetParam() == Backend::kFirebird) {
    EXPECT_EQ(first->id, 1);
  }
}

TEST_P(PaymentCatalogueTest, ReloadThatFailsHalfwayLeavesTheRowsAndHandsOutNoNumberTwice) {
  TDMS setup = Dms();
  ASSERT_TRUE(setup.CaricaAccountVelk());
  TDMS dms = Dms();
  const PaymentAccount demo = AccountOf(dms, "acct_1Demo1");
  const PaymentAccount other = AccountOf(dms, "acct_Altro");
  // Rows 1..5: other, then four of demo.
  for (const PaymentAccount* owner : {&other, &demo, &demo, &demo, &demo}) {
    ASSERT_TRUE(dms.GestioneLink(*owner, nullptr, {"Vecchio", "", 100000})) << h_.LogText();
  }
  // The second link's name does not fit NOME: the first is written (as 2,
  // after the highest number left), then the unit fails.
  const auto link = [](const std::string& name, const std::string& code) {
    return json{{"LinkDiPagamento",
                 {{"titolo_b64", platform::EncodeBase64Mime(name)},
                  {"descrizione_b64", ""},
                  {"importo", 10},
                  {"tiny_url", "http://x/s/" + code},
                  {"link_breve", code}}}};
  };
  Fault(kListaLinkPagamento, "reply",
        json{{"codice", 1},
             {"dati", json::array({link("Uno", "A1"), link(std::string(150, 'N'), "A2")})}}
            .dump());
  EXPECT_THROW(dms.RicaricaLink(demo), practice::DatabaseError);

  std::vector<long long> ids;
  for (const PredefinedLink& l : dms.Links(demo)) ids.push_back(l.id);
  EXPECT_EQ(ids, (std::vector<long long>{2, 3, 4, 5}));
  const auto next = dms.GestioneLink(demo, nullptr, {"Nuovo", "", 100000});
  ASSERT_TRUE(next) << h_.LogText();
  if (GetParam() == Backend::kFirebird) {
    EXPECT_EQ(next->id, 6);  // the generator came back to 5 with the rows
  } else {
    EXPECT_GT(next->id, 5);
  }
}

TEST_P(PaymentCatalogueTest, LinksAreMadeChangedAndDeletedAtTheServiceAndInTheTable) {
  TDMS setup = Dms();
  ASSERT_TRUE(setup.CaricaAccountVelk());
  TDMS dms = Dms();
  const PaymentAccount demo = AccountOf(dms, "acct_1Demo1");

  EXPECT_FALSE(dms.GestioneLink(demo, nullptr, {"", "x", 100000}));  // no name: no request
  EXPECT_EQ(h_.LogCount("Nome non definito"), 1u);
  EXPECT_EQ(SimLinks("acct_1Demo1").size(), 2u);

  auto made =
      dms.GestioneLink(demo, nullptr, {"Sbiancamento è", "Due sedute\r\ncon controllo", 1234567});
  ASSERT_TRUE(made) << h_.LogText();
  EXPECT_EQ(SimLinks("acct_1Demo1").size(), 3u);
  PredefinedLink row = dms.Links(demo).back();
  EXPECT_EQ(row.url, made->url);
  EXPECT_EQ(row.nome, "Sbiancamento è");
  EXPECT_EQ(row.descrizione, "Due sedute\r\ncon controllo");
  EXPECT_EQ(row.prezzo, 1234567);

  auto changed = dms.GestioneLink(demo, &row, {"Sbiancamento", "Una seduta", 990000});
  ASSERT_TRUE(changed);
  row = dms.Links(demo).back();
  EXPECT_EQ(row.id, made->id);
  EXPECT_EQ(row.url, made->url);
  EXPECT_EQ(row.prezzo, 990000);
  const json state = sim_.State();
  for (const json& link : state["payments"]["links"]) {
    if (link["link_breve"] == made->url) {
      EXPECT_EQ(link["titolo"], "Sbiancamento");
    }
  }
  const PaymentAccount other = AccountOf(dms, "acct_Altro");
  EXPECT_THROW(dms.GestioneLink(other, &row, {"X", "", 1}), PaymentError);

  // A transport error leaves the row; a refusal deletes it anyway.
  Fault(kCancellaLinkPagamento, "refuse");
  EXPECT_THROW(dms.EliminaLink(demo, row), net::HttpError);
  EXPECT_EQ(dms.Links(demo).size(), 1u);
  Fault(kCancellaLinkPagamento, "reply", R"({"codice":2,"response_message":"Link sconosciuto"})");
  EXPECT_FALSE(dms.EliminaLink(demo, row));
  EXPECT_TRUE(dms.Links(demo).empty());
  EXPECT_EQ(SimLinks("acct_1Demo1").size(), 3u);
}

class RecordingCompanion : public CompanionLibrary {
 public:
  std::vector<std::string> calls;
  void WhatsAppSendResult(const std::string& badge, const std::string& cognome,
                          const std::string& nome, const std::string& cell,
                          const std::string& json_text, int flags,
                          const std::string& kind) override {
    calls.push_back(badge + "|" + cognome + "|" + nome + "|" + cell + "|" + json_text + "|" +
                    std::to_string(flags) + "|" + kind);
  }
};

TEST_P(PaymentCatalogueTest, PredefinedLinkIsOfferedOnlyWhenInUseAndHandedToTheCompanion) {
  TDMS setup = Dms();
  ASSERT_TRUE(setup.CaricaAccountVelk());
  TDMS dms = Dms();
  ASSERT_TRUE(dms.LinkPagMsg());
  EXPECT_EQ(dms.GetLinkPagamentoStatico(1), "");
  EXPECT_EQ(h_.LogCount("Link di pagamento predefiniti non trovati"), 1u);

  const PaymentAccount demo = AccountOf(dms, "acct_1Demo1");
  ASSERT_TRUE(dms.RicaricaLink(demo));
  const PredefinedLink visit = dms.Links(demo).front();
  EXPECT_EQ(dms.GetLinkPagamentoStatico(visit.id), visit.url_dashboard);
  EXPECT_EQ(dms.GetLinkPagamentoStatico(std::nullopt), "");  // cancelled
  EXPECT_EQ(dms.GetLinkPagamentoStatico(9999), "");

  RecordingCompanion companion;
  EXPECT_EQ(dms.GeneraPagamentoStatico("B7", "Rossi", "Anna", "3331234567", visit.id, &companion),
            "");
  ASSERT_EQ(companion.calls.size(), 1u);
  EXPECT_EQ(companion.calls[0], "B7|Rossi|Anna|3331234567|{\"link_pag\":\"" + visit.url_dashboard +
                                    "\",\"descrizione\":\"" + visit.nome + "\"}|0|Pagamento");
  EXPECT_THROW(dms.GeneraPagamentoStatico("B7", "Rossi", "Anna", "333", visit.id, nullptr),
               PaymentError);

  conn_.Session() << "update IMP_MODULE set NUM_AUTOMATICA = 2 where ID = 31";
  conn_.Commit();
  TDMS off = Dms();
  EXPECT_EQ(off.GetLinkPagamentoStatico(visit.id), "");
  EXPECT_EQ(off.GeneraPagamentoStatico("B7", "Rossi", "Anna", "333", visit.id, nullptr), "");
}

OXSMS_INSTANTIATE_ON_BOTH_BACKENDS(PaymentCatalogueTest);

}  // namespace
}  // namespace oxsms::payments::testing
