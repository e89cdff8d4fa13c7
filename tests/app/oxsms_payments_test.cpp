// oxsms payments on a generated practice against the simulated payment
// service: the accounts and predefined links kept in step (what the service
// holds and what LINKPAG and LINKPAG_DET hold), a bad value refused with
// nothing written, the status and refund of a paid link, and the one-line
// errors of a service that refuses or is down.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "app/process_runner.h"
#include "app/sim_query.h"
#include "fixture/practice_fixture.h"
#include "maker-sim/maker_simulator.h"
#include "support/temp_dir.h"

namespace oxsms::testing {
namespace {

using nlohmann::json;

class OxsmsPaymentsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sim_.Start();
    fixture::PracticeOptions options;
    options.home = home_.path();
    options.patients = 5;
    options.appointments = 2;
    options.days = 1;
    options.rest_host = sim_.base_url();
    options.maker_url = sim_.base_url();
    options.settings_json = R"({"user":"demo","pwd":"demo"})";
    fixture::CreatePractice(options);
  }

  ProgramOutput Oxsms(std::vector<std::string> args) {
    args.insert(args.begin(), {"--home", home_.path().string()});
    return RunProgram(OXSMS_PATH, args);
  }
  json JsonOf(std::vector<std::string> args) {
    args.insert(args.begin(), "--json");
    const ProgramOutput run = Oxsms(args);
    EXPECT_EQ(run.status, 0) << run.err;
    return json::parse(run.out, nullptr, false);
  }
  // The simulator's predefined link of that code, or null.
  json SimLink(const std::string& code) {
    const json state = sim_.State();
    for (const json& link : state["payments"]["links"]) {
      if (link["link_breve"] == code) return link;
    }
    return nullptr;
  }

  makersim::MakerSimulator sim_;
  TempDir home_;
};

TEST_F(OxsmsPaymentsTest, AccountsAndPredefinedLinksFollowTheServiceAndTheTables) {
  const json before = JsonOf({"payments", "accounts"});
  EXPECT_EQ(before.at("in_uso"), true);
  ASSERT_EQ(before.at("accounts").size(), 1u);
  EXPECT_EQ(before.at("accounts")[0].at("id_account_stripe"), "acct_1Demo1");

  SimPost(sim_.base_url(), "/_sim/payments/accounts",
          {{"user", "demo"},
           {"accounts",
            json::array({{{"id_account_stripe", "acct_1Demo1"},
                          {"descrizione", "Sede"},
                          {"data_attivazione_connect", "2024-01-10 09:00:00"}},
                         {{"id_account_stripe", "acct_Nuovo"}, {"descrizione", "Nuova sede"}}})}});
  const json refreshed = JsonOf({"payments", "accounts", "refresh"});
  ASSERT_EQ(refreshed.at("accounts").size(), 2u);
  EXPECT_EQ(refreshed.at("accounts")[1].at("id_account_stripe"), "acct_Nuovo");

  // The generated rows carry another host; the reload takes the service's.
  const json links = JsonOf({"payments", "links", "refresh", "acct_1Demo1"});
  ASSERT_EQ(links.size(), 2u);
  EXPECT_EQ(links[0].at("url_dashboard"), sim_.base_url() + "/s/PVISITA1");

  const json made =
      JsonOf({"payments", "links", "add", "Sbiancamento", "150,50", "--description", "Due sedute"});
  const std::string code = made.at("url");
  ASSERT_FALSE(SimLink(code).is_null());
  EXPECT_EQ(SimLink(code).at("importo"), 150.5);
  EXPECT_EQ(SimLink(code).at("descrizione"), "Due sedute");
  const std::string id = std::to_string(made.at("id").get<long long>());

  EXPECT_EQ(Oxsms({"payments", "links", "change", id, "--price", "12.345678"}).status, 2);
  EXPECT_EQ(Oxsms({"payments", "links", "add", "Niente", "0"}).status, 2);
  EXPECT_EQ(Oxsms({"payments", "links", "add", "Altrove", "10", "--account", "acct_Ignoto"}).status,
            2);
  EXPECT_EQ(SimLink(code).at("importo"), 150.5);

  EXPECT_EQ(JsonOf({"payments", "links", "change", id, "--price", "140"}).at("prezzo"), 140.0);
  EXPECT_EQ(SimLink(code).at("importo"), 140.0);
  EXPECT_EQ(JsonOf({"payments", "links", "remove", id}).at("rimosso"), made.at("id"));
  EXPECT_TRUE(SimLink(code).is_null());
  EXPECT_EQ(JsonOf({"payments", "links"}).size(), 2u);

  const std::string log = ActivityLogOf(home_.path());
  EXPECT_NE(log.find("Link di pagamento predefinito aggiunto con oxsms: Sbiancamento"),
            std::string::npos);
  EXPECT_EQ(log.find("\"pwd\":\"demo\""), std::string::npos);
}

TEST_F(OxsmsPaymentsTest, StatusAndRefundOfAPaidLink) {
  const ProgramOutput unpaid = Oxsms({"payments", "status", "PVISITA1"});
  EXPECT_EQ(unpaid.status, 0);
  EXPECT_EQ(unpaid.out, "Il pagamento non è stato effettuato.\n");

  SimPost(sim_.base_url(), "/_sim/payments/pay",
          {{"link_breve", "PVISITA1"}, {"pagato_il", "2026-12-01 10:15:00"}});
  const json paid = JsonOf({"payments", "status", "PVISITA1-1"});
  EXPECT_EQ(paid.at("pagato"), true);
  EXPECT_EQ(paid.at("testo"), "Il pagamento è stato effettuato il 01/12/2026 10:15:00");
  EXPECT_GT(paid.at("fee").get<double>(), 0.0);

  const ProgramOutput refund = Oxsms({"payments", "refund", "PVISITA1"});
  EXPECT_EQ(refund.status, 0) << refund.err;
  EXPECT_EQ(refund.out, "Rimborso eseguito: Rimborso di 60.00 euro eseguito\n");
  const ProgramOutput again = Oxsms({"payments", "refund", "PVISITA1"});
  EXPECT_EQ(again.status, 1);
  EXPECT_EQ(again.err,
            "oxsms: rimborso non eseguito: richiesta rifiutata dal servizio di pagamento; "
            "Pagamento già rimborsato\n");
  const std::string text = JsonOf({"payments", "status", "PVISITA1"}).at("testo");
  EXPECT_NE(text.find("\r\n\nIl pagamento è stato rimborsato il "), std::string::npos);
}

TEST_F(OxsmsPaymentsTest, CommandLineMistakesAndAServiceThatIsDown) {
  const ProgramOutput help = Oxsms({"payments", "--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("refund CODICE"), std::string::npos);
  EXPECT_EQ(Oxsms({"payments", "pagamenti"}).status, 2);
  EXPECT_EQ(Oxsms({"payments", "status"}).status, 2);
  EXPECT_EQ(Oxsms({"payments", "links", "remove", "abc"}).status, 2);

  sim_.Stop();
  const ProgramOutput down = Oxsms({"payments", "accounts", "refresh"});
  EXPECT_EQ(down.status, 1);
  EXPECT_EQ(down.err.rfind("oxsms: ", 0), 0u);
  EXPECT_EQ(down.err.find('\n'), down.err.size() - 1);                    // one line
  EXPECT_EQ(JsonOf({"payments", "accounts"}).at("accounts").size(), 1u);  // nothing changed
}

}  // namespace
}  // namespace oxsms::testing
