// The payment client against the simulated payment service over HTTP: a
// link created, opened, paid and refunded; the service's refusals; the
// catalogue endpoints; faults and a service that is down.
#include <gtest/gtest.h>

#include "tools/maker-sim/sim_fixture.h"
#include "payment_harness.h"
#include "payments/payment_links.h"
#include "platform/base64.h"

namespace oxsms::payments::testing {
namespace {

using nlohmann::json;
using nlohmann::ordered_json;

class PaymentSimTest : public oxsms::testing::SimFixture {
 protected:
  PaymentService Service() { return h_.Service(client_, nullptr, sim_.base_url()); }

  PaymentLinks Links(const std::string& base_url = "") {
    return PaymentLinks(h_.Service(client_, nullptr, base_url.empty() ? sim_.base_url() : base_url),
                        [] { return AccountCredentials{"demo", "demo"}; },
                        [] { return std::vector<PaymentAccount>{Account(1, "acct_1Demo1")}; });
  }

  TDMS Dms(const std::string& pwd = "demo") {
    TDMS dms(Service());
    dms.usr = "demo";
    dms.pwd = pwd;
    return dms;
  }

  std::size_t Requests(const std::string& path) { return Control("GET", "/_sim/requests?path=" + path).size(); }

  net::HttpResponse Get(const std::string& url) {
    net::HttpRequest request;
    request.method = "GET";
    request.url = url;
    return client_.Send(request);
  }

  PaymentHarness h_;
};

practice::TLineRec Line() {
  practice::TLineRec rec;
  rec.Cognome = "Bianchi";
  rec.Nome = "Lucia";
  rec.Cellulare = "3471234567";
  return rec;
}

practice::TPazRec Fee(practice::Currency incasso) {
  practice::TPazRec paz;
  paz.badge = "B12";
  paz.fileguid = "{F1}";
  paz.incasso = incasso;
  return paz;
}

TEST_F(PaymentSimTest, LinkIsCreatedOnceOpenedPaidAndRefunded) {
  PaymentLinks links = Links();
  practice::TPazRec paz = Fee(123456);
  const std::string link = links.OttieniLinkPag(Line(), paz);
  ASSERT_FALSE(link.empty()) << h_.LogText();
  EXPECT_EQ(link, Url("/s/" + paz.id_linkpag));
  EXPECT_EQ(paz.link_pag, link);

  const json payments = Control("GET", "/_sim/payments");
  ASSERT_EQ(payments.size(), 1u);
  EXPECT_EQ(payments[0]["importo"].dump(), "12.3456");
  EXPECT_EQ(payments[0]["nome"], "Pagamento");  // from "titolo_b64"
  EXPECT_EQ(payments[0]["descrizione"], "Prestazione professionale");
  EXPECT_EQ(payments[0]["nominativo"], "Bianchi Lucia");
  EXPECT_EQ(payments[0]["id_account_stripe"], "acct_1Demo1");

  // The same record again: its address is rebuilt, nothing is created.
  EXPECT_EQ(links.OttieniLinkPag(Line(), paz), "https://" + net::HostOf(sim_.base_url()) + "/s/" + paz.id_linkpag);
  EXPECT_EQ(Requests("/rest/crea_url_pagamento.json"), 1u);

  const net::HttpResponse page = Get(link);
  EXPECT_EQ(page.status, 200);
  EXPECT_NE(page.body.find("Da pagare"), std::string::npos) << page.body;

  TDMS dms = Dms();
  std::string status;
  practice::Currency fee = -1;
  EXPECT_FALSE(dms.StatoPagamento(paz.id_linkpag + "-1", status, fee));
  Control("POST", "/_sim/payments/pay", {{"link_breve", paz.id_linkpag}, {"pagato_il", "2026-03-02 10:15:00"},
                                         {"fee", 0.5}});
  EXPECT_TRUE(dms.StatoPagamento(paz.id_linkpag + "-1", status, fee));
  EXPECT_EQ(status, "Il pagamento è stato effettuato il 02/03/2026 10:15:00");
  EXPECT_EQ(fee, 5000);

  dms.StornaPagamento(paz.id_linkpag, true);
  EXPECT_EQ(h_.LogCount("Messaggio all'operatore: Rimborso di 12.35 euro eseguito"), 1u);
  EXPECT_TRUE(dms.StatoPagamento(paz.id_linkpag, status, fee));
  EXPECT_NE(status.find("\r\n\nIl pagamento è stato rimborsato il "), std::string::npos) << status;
  EXPECT_NE(Get(link).body.find("Rimborsato il"), std::string::npos);

  // A second refund is refused and shown.
  dms.StornaPagamento(paz.id_linkpag, true);
  EXPECT_EQ(h_.LogCount("Messaggio all'operatore: Pagamento già rimborsato"), 1u);
}

TEST_F(PaymentSimTest, ServiceWantsTheKeyAndAKnownAccount) {
  const json request = {{"user", "demo"}, {"pwd", "demo"}};
  const net::HttpResponse keyless = Post("/rest/lista_account.json", request.dump());
  EXPECT_EQ(keyless.status, 401);
  EXPECT_EQ(json::parse(keyless.body)["codice"], 0);
  const net::HttpResponse wrong_key = Post("/rest/lista_account.json", request.dump(),
                                           {{"Authorization", "ALTRA-CHIAVE"}, {"Content-Type", "application/json"}});
  EXPECT_EQ(wrong_key.status, 401);

  TDMS dms = Dms("sbagliata");
  EXPECT_FALSE(dms.RestPostVelk(kListaAccount, nullptr, true));
  EXPECT_EQ(h_.LogCount("Messaggio all'operatore: Password errata"), 1u);
  EXPECT_EQ(h_.LogText().find("sbagliata"), std::string::npos);
}

TEST_F(PaymentSimTest, CatalogueOfAccountsLinksAndTransfers) {
  TDMS dms = Dms();
  const auto accounts = dms.RestPostVelk(kListaAccount, nullptr, false);
  ASSERT_TRUE(accounts);
  ASSERT_EQ((*accounts)["dati"].size(), 1u);
  const json& account = (*accounts)["dati"][0]["ConnectAccount"];
  EXPECT_EQ(account["id_account_stripe"], "acct_1Demo1");
  EXPECT_EQ(account["bool_account_inesistente"], "0");
  EXPECT_FALSE(account["data_attivazione_connect"].get<std::string>().empty());

  const ordered_json of_account = {{"id_account_stripe", "acct_1Demo1"}};
  auto links = dms.RestPostVelk(kListaLinkPagamento, of_account, false);
  ASSERT_TRUE(links);
  ASSERT_EQ((*links)["dati"].size(), 2u);
  const json& visit = (*links)["dati"][0]["LinkDiPagamento"];
  EXPECT_EQ(visit["link_breve"], "PVISITA1");
  EXPECT_EQ(platform::DecodeBase64(visit["titolo_b64"].get<std::string>()), "Visita di controllo");
  EXPECT_EQ(visit["importo"], 60.0);

  ordered_json new_link = {{"id_account_stripe", "acct_1Demo1"},
                           {"titolo_b64", platform::EncodeBase64Mime("Sbiancamento")},
                           {"descrizione_b64", platform::EncodeBase64Mime("Seduta di sbiancamento")},
                           {"importo", 150.5},
                           {"data_scadenza", ""}};
  const auto created = dms.RestPostVelk(kCreaLinkPagamento, new_link, true);
  ASSERT_TRUE(created);
  const std::string code = (*created)["dati"]["LinkDiPagamento"]["link_breve"];
  EXPECT_EQ((*created)["dati"]["LinkDiPagamento"]["tiny_url"], Url("/s/" + code));

  new_link["importo"] = 160;
  new_link["link_breve"] = code;
  EXPECT_TRUE(dms.RestPostVelk(kModificaLinkPagamento, new_link, true));
  links = dms.RestPostVelk(kListaLinkPagamento, of_account, false);
  ASSERT_EQ((*links)["dati"].size(), 3u);
  EXPECT_EQ((*links)["dati"][2]["LinkDiPagamento"]["importo"], 160.0);

  EXPECT_TRUE(dms.RestPostVelk(kCancellaLinkPagamento, {{"id_account_stripe", "acct_1Demo1"}, {"link_breve", code}},
                               true));
  EXPECT_EQ(dms.RestPostVelk(kListaLinkPagamento, of_account, false).value()["dati"].size(), 2u);
  EXPECT_FALSE(dms.RestPostVelk(kCancellaLinkPagamento, {{"id_account_stripe", "acct_1Demo1"}, {"link_breve", code}},
                                true));

  // A predefined link paid twice: two payments, two transfers net of fees.
  Control("POST", "/_sim/payments/pay", {{"link_breve", "PVISITA1"}, {"fee", 1.09}});
  Control("POST", "/_sim/payments/pay", {{"link_breve", "PVISITA1"}, {"fee", 1.09}});
  const auto paid = dms.ListaPagamenti(R"({"link_breve":"PVISITA1-1"})");
  ASSERT_TRUE(paid);
  EXPECT_EQ((*paid)["dati"].size(), 2u);
  const auto transfers = dms.ListaAccrediti("{}");
  ASSERT_TRUE(transfers);
  ASSERT_EQ((*transfers)["dati"].size(), 2u);
  EXPECT_EQ((*transfers)["dati"][0]["Trasferimenti"]["netto"], 58.91);

  EXPECT_FALSE(dms.RestPostVelk(kListaLinkPagamento, {{"id_account_stripe", "acct_altrui"}}, true));
  EXPECT_EQ(h_.LogCount("Account Stripe non trovato: acct_altrui"), 2u);  // reply and message
}

TEST_F(PaymentSimTest, FaultsAndAServiceThatIsDownGiveNoLink) {
  Control("POST", "/_sim/faults", {{"path", "/rest/crea_url_pagamento.json"}, {"kind", "empty"}, {"times", 1}});
  Control("POST", "/_sim/faults", {{"path", "/rest/crea_url_pagamento.json"}, {"kind", "nonjson"}, {"times", 1}});
  PaymentLinks links = Links();
  const practice::TPazRec before = Fee(600000);

  practice::TPazRec paz = before;
  EXPECT_EQ(links.OttieniLinkPag(Line(), paz), "");
  EXPECT_EQ(h_.LogCount("Link di pagamento non ottenuto: Errore del server " + net::HostOf(sim_.base_url())), 1u);
  EXPECT_EQ(links.OttieniLinkPag(Line(), paz), "");
  EXPECT_TRUE(paz.id_linkpag.empty() && paz.link_pag.empty());
  EXPECT_EQ(h_.LogCount("Messaggio all'operatore"), 0u);  // an error page shows nothing

  // Nothing listens on the port of a stopped service.
  makersim::MakerSimulator stopped;
  stopped.Start();
  const std::string down = stopped.base_url();
  stopped.Stop();
  EXPECT_EQ(Links(down).OttieniLinkPag(Line(), paz), "");
  EXPECT_TRUE(paz.id_linkpag.empty() && paz.link_pag.empty());
  EXPECT_EQ(h_.LogCount("Link di pagamento non ottenuto: "), 2u);
}

}  // namespace
}  // namespace oxsms::payments::testing
