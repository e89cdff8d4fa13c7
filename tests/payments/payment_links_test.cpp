// OttieniLinkPag over a scripted HTTP client, and the small value rules of
// codes and amounts it relies on.
#include <gtest/gtest.h>

#include "payment_harness.h"
#include "payments/payment_address.h"
#include "payments/payment_amount.h"
#include "payments/payment_error.h"
#include "practice/database_error.h"
#include "payments/payment_links.h"

namespace oxsms::payments::testing {
namespace {

using nlohmann::json;

struct LinkWorld {
  PaymentHarness h;
  ScriptedHttp http;
  int account_reads = 0;
  AccountCredentials credentials{"studio.rossi", "s3greta!"};
  std::vector<PaymentAccount> accounts{Account(1, "acct_1Demo1")};

  PaymentLinks Links(const std::string& base_url = kPaymentUrl) {
    return PaymentLinks(h.Service(http, nullptr, base_url), [this] { return credentials; },
                        [this] {
                          ++account_reads;
                          return accounts;
                        });
  }
};

practice::TLineRec Line() {
  practice::TLineRec rec;
  rec.Cognome = "Rossi";
  rec.Nome = "Mario";
  rec.Cellulare = "3331234567";
  return rec;
}

practice::TPazRec Fee(const std::string& code = "") {
  practice::TPazRec paz;
  paz.badge = "B7";
  paz.incasso = 600000;
  paz.id_linkpag = code;
  return paz;
}

bool SameRecord(const practice::TPazRec& a, const practice::TPazRec& b) {
  return a.badge == b.badge && a.incasso == b.incasso && a.id_linkpag == b.id_linkpag &&
         a.link_pag == b.link_pag && a.fileguid == b.fileguid && a.idxFilePaz == b.idxFilePaz;
}

TEST(OttieniLinkPagTest, StoredCodeGivesItsAddressWithoutMinusOneAndWithoutAnyRequest) {
  LinkWorld w;
  practice::TPazRec paz = Fee("AB12CD-1");
  EXPECT_EQ(w.Links().OttieniLinkPag(Line(), paz), "https://pagamenti.example.it/s/AB12CD");
  EXPECT_EQ(paz.link_pag, "https://pagamenti.example.it/s/AB12CD");
  EXPECT_EQ(paz.id_linkpag, "AB12CD-1");

  practice::TPazRec on_port = Fee("XY");
  EXPECT_EQ(w.Links("http://127.0.0.1:8443/").OttieniLinkPag(Line(), on_port), "https://127.0.0.1:8443/s/XY");
  EXPECT_TRUE(w.http.requests.empty());
  EXPECT_EQ(w.account_reads, 0);
}

TEST(OttieniLinkPagTest, NewLinkFillsTheRecordAndTheNextCallReusesIt) {
  LinkWorld w;
  w.http.ReplyJson({{"codice", 1},
                    {"dati", {{"Pagamenti", {{"link_breve", "K3M9"}, {"tiny_url", "https://pay.example.it/s/K3M9"}}}}}});
  PaymentLinks links = w.Links();
  practice::TPazRec paz = Fee();

  EXPECT_EQ(links.OttieniLinkPag(Line(), paz), "https://pay.example.it/s/K3M9");
  EXPECT_EQ(paz.id_linkpag, "K3M9");
  EXPECT_EQ(paz.link_pag, "https://pay.example.it/s/K3M9");
  EXPECT_EQ(w.http.Body(0)["importo"], 60.0);
  EXPECT_EQ(w.http.Body(0)["id_account_stripe"], "acct_1Demo1");
  EXPECT_EQ(w.http.Body(0)["user"], "studio.rossi");

  EXPECT_EQ(links.OttieniLinkPag(Line(), paz), "https://pagamenti.example.it/s/K3M9");
  EXPECT_EQ(w.http.requests.size(), 1u);
}

TEST(OttieniLinkPagTest, FailuresLeaveTheRecordUnchangedAndAreLoggedWithoutSecrets) {
  LinkWorld w;
  PaymentLinks links = w.Links();
  const practice::TPazRec before = Fee();

  w.http.Fail("Connessione rifiutata: https://pagamenti.example.it/rest/crea_url_pagamento.json");
  w.http.Reply("");
  w.http.ReplyJson({{"codice", 1}, {"dati", {{"Pagamenti", {{"link_breve", "K3M9"}}}}}});  // no address
  w.http.ReplyJson({{"codice", 2}, {"response_message", "Utente o password non validi"}});
  for (int i = 0; i < 4; ++i) {
    practice::TPazRec paz = before;
    EXPECT_EQ(links.OttieniLinkPag(Line(), paz), "") << i;
    EXPECT_TRUE(SameRecord(paz, before)) << i;
  }
  EXPECT_EQ(w.h.LogCount("Link di pagamento non ottenuto: Connessione rifiutata"), 1u);
  EXPECT_EQ(w.h.LogCount("Link di pagamento non ottenuto: Errore del server pagamenti.example.it"), 1u);
  EXPECT_EQ(w.h.LogCount("Link di pagamento non ottenuto: risposta senza"), 1u);
  EXPECT_EQ(w.h.LogCount("Messaggio all'operatore: Utente o password non validi"), 1u);
  EXPECT_EQ(w.h.LogText().find("s3greta!"), std::string::npos);
  EXPECT_EQ(w.h.LogText().find(kApiKey), std::string::npos);
}

TEST(OttieniLinkPagTest, UnreadableAccountsMeanNoRequest) {
  PaymentHarness h;
  ScriptedHttp http;
  PaymentLinks links(h.Service(http), [] { return AccountCredentials{"u", "p"}; },
                     []() -> std::vector<PaymentAccount> { throw practice::DatabaseError("LINKPAG illeggibile"); });
  practice::TPazRec paz = Fee();
  EXPECT_EQ(links.OttieniLinkPag(Line(), paz), "");
  EXPECT_TRUE(paz.id_linkpag.empty());
  EXPECT_TRUE(http.requests.empty());
  EXPECT_EQ(h.LogCount("Link di pagamento non ottenuto: LINKPAG illeggibile"), 1u);
}

TEST(PaymentValuesTest, MinusOneIsRemovedEverywhereInOnePass) {
  EXPECT_EQ(WithoutMinusOne("AB12-1"), "AB12");
  EXPECT_EQ(WithoutMinusOne("A-1B-1"), "AB");
  EXPECT_EQ(WithoutMinusOne("A--11"), "A-1");
  EXPECT_EQ(WithoutMinusOne("-"), "-");
  EXPECT_EQ(WithoutMinusOne(""), "");
}

TEST(PaymentValuesTest, AmountsTravelAsEurosWithFourDecimals) {
  EXPECT_EQ(json(EuroNumber(123456)).dump(), "12.3456");
  EXPECT_EQ(json(EuroNumber(1)).dump(), "0.0001");
  EXPECT_EQ(json(EuroNumber(99999999999)).dump(), "9999999.9999");
  EXPECT_EQ(CurrencyFromJson(json(12.3456)), 123456);
  EXPECT_EQ(CurrencyFromJson(json(12.34567)), 123457);
  EXPECT_EQ(CurrencyFromJson(json("12,5")), 125000);
  EXPECT_EQ(CurrencyFromJson(json(60)), 600000);
  EXPECT_THROW(CurrencyFromJson(json("12 euro")), PaymentError);
  EXPECT_THROW(CurrencyFromJson(json()), PaymentError);
  EXPECT_THROW(CurrencyFromJson(json(1e300)), PaymentError);
  EXPECT_EQ(FormatEuro(600000), "60.00");
  EXPECT_EQ(FormatEuro(123456), "12.3456");
  EXPECT_EQ(FormatEuro(-5), "-0.0005");
}

}  // namespace
}  // namespace oxsms::payments::testing
