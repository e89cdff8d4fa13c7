// TDMS against a scripted HTTP client: the request conventions, the sorting
// of replies, the confirmation and account rules of a new payment, and the
// payment status.
#include <gtest/gtest.h>

#include "payment_harness.h"
#include "payments/payment_error.h"
#include "payments/payment_links.h"
#include "platform/base64.h"

namespace oxsms::payments::testing {
namespace {

using nlohmann::json;
using nlohmann::ordered_json;

std::vector<std::string> Keys(const ordered_json& object) {
  std::vector<std::string> keys;
  for (const auto& item : object.items()) keys.push_back(item.key());
  return keys;
}

std::string NewPaymentJson(practice::Currency incasso = 123456) {
  practice::TLineRec rec;
  rec.Cognome = "D'Amico";
  rec.Nome = "Niccolò";
  rec.Cellulare = "3331234567";
  practice::TPazRec paz;
  paz.badge = "B0042";
  paz.fileguid = "{GUID-1}";
  paz.incasso = incasso;
  return RichiestaNuovoPagamento(rec, paz).dump();
}

json Created(const std::string& code) {
  return {{"codice", 1},
          {"dati", {{"Pagamenti", {{"link_breve", code}, {"tiny_url", "https://pay.example.it/s/" + code}}}}},
          {"response_message", ""}};
}

// --- RestPostVelk ---

TEST(RestPostVelkTest, AccountReplacesTheRequestsOwnAndTheBodyIsAscii) {
  PaymentHarness h;
  ScriptedHttp http;
  http.ReplyJson({{"codice", 1}, {"dati", json::array()}});
  http.ReplyJson({{"codice", 1}});
  TDMS dms = h.Dms(http);

  ASSERT_TRUE(dms.RestPostVelk(kListaAccount, ordered_json{{"user", "intruso"}, {"nota", "Niccolò"}}, false));
  ASSERT_TRUE(dms.RestPostVelk(kListaAccount, nullptr, false));

  const net::HttpRequest& r = http.requests.at(0);
  EXPECT_EQ(r.url, std::string(kPaymentUrl) + "/rest/lista_account.json");
  EXPECT_EQ(r.method, "POST");
  EXPECT_EQ(r.body, R"({"user":"studio.rossi","nota":"Niccol\u00f2","pwd":"s3greta!"})");
  bool key_sent = false;
  for (const auto& [name, value] : r.headers) key_sent |= name == "Authorization" && value == kApiKey;
  EXPECT_TRUE(key_sent);
  EXPECT_EQ(http.Body(1), (ordered_json{{"user", "studio.rossi"}, {"pwd", "s3greta!"}}));
}

TEST(RestPostVelkTest, RepliesAreSortedIntoDoneRefusedAndUnreadable) {
  PaymentHarness h;
  ScriptedHttp http;
  TDMS dms = h.Dms(http);

  http.ReplyJson({{"codice", 1}, {"dati", {{"x", 1}}}});
  const auto done = dms.RestPostVelk(kListaAccount, nullptr, true);
  ASSERT_TRUE(done);
  EXPECT_EQ((*done)["dati"]["x"], 1);
  EXPECT_TRUE(h.LogTexts().empty());

  // An error page: nothing returned, nothing shown, its status logged.
  http.Reply("<html><body>502 Bad Gateway</body></html>", 502);
  EXPECT_FALSE(dms.RestPostVelk(kListaAccount, nullptr, true));
  EXPECT_EQ(h.LogTexts(), std::vector<std::string>{
                              "Risposta non leggibile del servizio di pagamento "
                              "(lista_account.json): HTTP 502"});

  // codice 0: the reply is logged (the desktop's clipboard), never shown.
  http.ReplyJson({{"codice", 0}, {"response_message", "Sessione scaduta"}});
  EXPECT_FALSE(dms.RestPostVelk(kListaAccount, nullptr, true));
  EXPECT_EQ(h.LogCount("Sessione scaduta"), 1u);
  EXPECT_EQ(h.LogCount("Messaggio all'operatore"), 0u);

  // Any other codice is shown when asked.
  http.ReplyJson({{"codice", 2}, {"response_message", "Account sospeso"}});
  EXPECT_FALSE(dms.RestPostVelk(kListaAccount, nullptr, false));
  EXPECT_EQ(h.LogCount("Messaggio all'operatore"), 0u);
  http.ReplyJson({{"codice", 2}, {"response_message", "Account sospeso"}});
  EXPECT_FALSE(dms.RestPostVelk(kListaAccount, nullptr, true));
  EXPECT_EQ(h.LogCount("Messaggio all'operatore: Account sospeso"), 1u);
}

TEST(RestPostVelkTest, EmptyReplyRaisesServerErrorAndTransportErrorsPassUnchanged) {
  PaymentHarness h;
  ScriptedHttp http;
  TDMS dms = h.Dms(http);
  http.Reply("");
  try {
    dms.RestPostVelk(kCreaUrlPagamento, nullptr, true);
    FAIL() << "no error for an empty reply";
  } catch (const PaymentError& e) {
    EXPECT_STREQ(e.what(), "Errore del server pagamenti.example.it");
  }
  http.Fail("Connessione rifiutata");
  EXPECT_THROW(dms.RestPostVelk(kCreaUrlPagamento, nullptr, true), net::HttpError);
  EXPECT_THROW(dms.RestPostVelk(kCreaUrlPagamento, ordered_json::array(), true), PaymentError);
}

TEST(RestPostVelkTest, PasswordAndApiKeyEchoedByAReplyAreMaskedInTheLog) {
  PaymentHarness h;
  ScriptedHttp http;
  TDMS dms = h.Dms(http);
  http.ReplyJson({{"codice", 3},
                  {"response_message", std::string("Chiave ") + kApiKey + " e password s3greta! errate"},
                  {"pwd", "s3greta!"}});
  EXPECT_FALSE(dms.RestPostVelk(kListaAccount, nullptr, true));
  const std::string log = h.LogText();
  EXPECT_EQ(log.find("s3greta!"), std::string::npos) << log;
  EXPECT_EQ(log.find(kApiKey), std::string::npos) << log;
  EXPECT_EQ(h.LogCount("Messaggio all'operatore: Chiave *** e password *** errate"), 1u);
}

// --- GeneraPagamentoDaJson ---

TEST(GeneraPagamentoTest, SingleAccountIsCreditedAndTheRequestKeepsItsOrderAndAmount) {
  PaymentHarness h;
  ScriptedHttp http;
  http.ReplyJson(Created("Q7RT2KX9"));
  TDMS dms = h.Dms(http);

  const std::string created = dms.GeneraPagamentoDaJson({Account(4, "acct_1Solo")}, NewPaymentJson(123456));

  ASSERT_EQ(http.requests.size(), 1u);
  EXPECT_EQ(http.requests[0].url, std::string(kPaymentUrl) + "/rest/crea_url_pagamento.json");
  const ordered_json body = http.Body();
  EXPECT_EQ(Keys(body), (std::vector<std::string>{"nominativo", "badge", "guid", "recapito_telefonico", "nome",
                                                  "descrizione", "importo", "id_account_stripe", "titolo_b64",
                                                  "descrizione_b64", "user", "pwd"}));
  EXPECT_EQ(body["nominativo"], "D'Amico Niccolò");
  EXPECT_EQ(body["badge"], "B0042");
  EXPECT_EQ(body["guid"], "{GUID-1}");
  EXPECT_EQ(body["recapito_telefonico"], "3331234567");
  EXPECT_NE(http.requests[0].body.find("\"importo\":12.3456,"), std::string::npos) << http.requests[0].body;
  EXPECT_EQ(body["id_account_stripe"], "acct_1Solo");
  EXPECT_EQ(body["titolo_b64"], platform::EncodeBase64Mime("Pagamento"));
  EXPECT_EQ(body["descrizione_b64"], platform::EncodeBase64Mime("Prestazione professionale"));

  const json payment = json::parse(created);
  EXPECT_EQ(payment["link_breve"], "Q7RT2KX9");
  EXPECT_EQ(payment["nome"], "Pagamento");
  EXPECT_EQ(payment["descrizione"], "Prestazione professionale");
  EXPECT_EQ(payment["prezzo"].dump(), "12.3456");

  // The unattended confirmation says what it confirmed, without secrets.
  EXPECT_EQ(h.LogCount("Conferma dati di pagamento senza operatore: D'Amico Niccolò, Pagamento, 12.3456 euro, "
                       "account Stripe acct_1Solo"),
            1u);
  EXPECT_EQ(h.LogText().find("s3greta!"), std::string::npos);
}

TEST(GeneraPagamentoTest, IntestazioneNamesTheAccountEvenAgainstTheOperatorsChoice) {
  PaymentHarness h;
  ScriptedHttp http;
  ScriptedConfirmer confirmer;
  const std::vector<PaymentAccount> accounts = {Account(1, "acct_A", "Studio A"), Account(2, "acct_B", "Studio B")};
  TDMS dms = h.Dms(http, &confirmer);
  ordered_json request = ordered_json::parse(NewPaymentJson());

  // Without "intestazione" the operator's choice stands.
  confirmer.choose = 1;
  http.ReplyJson(Created("C1"));
  ASSERT_FALSE(dms.GeneraPagamentoDaJson(accounts, request.dump()).empty());
  EXPECT_EQ(confirmer.presets.back(), 0u);
  EXPECT_EQ(http.Body(0)["id_account_stripe"], "acct_B");

  // With it, its row is preset and wins after the confirmation.
  request["intestazione"] = "Studio B";
  confirmer.choose = 0;
  http.ReplyJson(Created("C2"));
  ASSERT_FALSE(dms.GeneraPagamentoDaJson(accounts, request.dump()).empty());
  EXPECT_EQ(confirmer.presets.back(), 1u);
  EXPECT_EQ(http.Body(1)["id_account_stripe"], "acct_B");
}

TEST(GeneraPagamentoTest, NoRequestWithoutAStripeAccountOrAConfirmation) {
  PaymentHarness h;
  ScriptedHttp http;
  TDMS dms = h.Dms(http);
  EXPECT_EQ(dms.GeneraPagamentoDaJson({Account(1, "")}, NewPaymentJson()), "");
  EXPECT_EQ(dms.GeneraPagamentoDaJson({}, NewPaymentJson()), "");
  EXPECT_EQ(h.LogCount("Messaggio all'operatore: Account stripe non trovato in configurazione"), 2u);

  ScriptedConfirmer cancelling;
  cancelling.cancel = true;
  TDMS cancelled = h.Dms(http, &cancelling);
  EXPECT_EQ(cancelled.GeneraPagamentoDaJson({Account(1, "acct_1")}, NewPaymentJson()), "");

  // A payment without a name cannot be confirmed unattended.
  ordered_json unnamed = ordered_json::parse(NewPaymentJson());
  unnamed["nome"] = "";
  EXPECT_EQ(dms.GeneraPagamentoDaJson({Account(1, "acct_1")}, unnamed.dump()), "");
  EXPECT_EQ(h.LogCount("Nome non definito"), 1u);
  EXPECT_TRUE(http.requests.empty());
}

TEST(GeneraPagamentoTest, ConfirmedAmountIsRoundedToFourDecimalsAndLockedAmountsShowAsSuch) {
  PaymentHarness h;
  ScriptedHttp http;
  ScriptedConfirmer confirmer;
  http.ReplyJson(Created("R1"));
  TDMS dms = h.Dms(http, &confirmer);
  ordered_json request = ordered_json::parse(NewPaymentJson());
  request["importo"] = 12.34567;
  request["blocca_pag"] = true;
  ASSERT_FALSE(dms.GeneraPagamentoDaJson({Account(1, "acct_1")}, request.dump()).empty());
  EXPECT_EQ(confirmer.drafts.at(0).importo, 123457);
  EXPECT_TRUE(confirmer.drafts.at(0).blocca_pag);
  EXPECT_NE(http.requests[0].body.find("\"importo\":12.3457,"), std::string::npos);
}

TEST(GeneraPagamentoTest, RefusedOrIncompleteCreationGivesNothing) {
  PaymentHarness h;
  ScriptedHttp http;
  TDMS dms = h.Dms(http);
  http.ReplyJson({{"codice", 2}, {"response_message", "Account Stripe non ancora attivo"}});
  EXPECT_EQ(dms.GeneraPagamentoDaJson({Account(1, "acct_1")}, NewPaymentJson()), "");
  EXPECT_EQ(h.LogCount("Messaggio all'operatore: Account Stripe non ancora attivo"), 1u);

  http.ReplyJson({{"codice", 1}, {"dati", json::array()}});
  EXPECT_EQ(dms.GeneraPagamentoDaJson({Account(1, "acct_1")}, NewPaymentJson()), "");
  EXPECT_THROW(dms.GeneraPagamentoDaJson({Account(1, "acct_1")}, "non json"), PaymentError);
}

// --- payment status ---

json Status(const std::string& paid, const std::string& on, const std::string& refunded) {
  return {{"codice", 1},
          {"dati", json::array({{{"Pagamenti",
                                  {{"bool_pagato", paid}, {"pagato_il", on}, {"rimborsato_il", refunded},
                                   {"fee", 0.45}}}}})}};
}

TEST(StatoPagamentoTest, CodeLosesMinusOneAndTheTextTellsPaymentAndRefund) {
  PaymentHarness h;
  ScriptedHttp http;
  TDMS dms = h.Dms(http);
  std::string text;
  practice::Currency fee = -1;

  http.ReplyJson(Status("1", "2025-05-12 09:30:00", ""));
  EXPECT_TRUE(dms.StatoPagamento("AB12CD-1", text, fee));
  EXPECT_EQ(http.requests[0].url, std::string(kPaymentUrl) + "/rest/lista_pagamenti.json");
  EXPECT_EQ(http.Body(0)["link_breve"], "AB12CD");
  EXPECT_EQ(text, "Il pagamento è stato effettuato il 12/05/2025 09:30:00");
  EXPECT_EQ(fee, 4500);

  h.log().SetTimeSeparator('.');
  http.ReplyJson(Status("1", "2025-05-12 09:30:00", "2025-05-14 18:05:10"));
  EXPECT_TRUE(dms.StatoPagamento("AB12CD", text, fee));
  EXPECT_EQ(text,
            "Il pagamento è stato effettuato il 12/05/2025 09.30.00\r\n\n"
            "Il pagamento è stato rimborsato il 14/05/2025 18.05.10");

  for (const json& reply : {Status("0", "", ""), Status("1", "", ""), Status("1", "ieri", ""),
                            json{{"codice", 1}, {"dati", json::array()}}}) {
    http.ReplyJson(reply);
    EXPECT_FALSE(dms.StatoPagamento("AB12CD", text, fee)) << reply;
    EXPECT_EQ(text, "Il pagamento non è stato effettuato.");
    EXPECT_EQ(fee, 0);
  }
}

TEST(StatoPagamentoTest, ListaPagamentiAlsoSendsTheCodeWithoutMinusOne) {
  PaymentHarness h;
  ScriptedHttp http;
  TDMS dms = h.Dms(http);
  http.ReplyJson({{"codice", 1}, {"dati", json::array()}});
  EXPECT_TRUE(dms.ListaPagamenti(R"({"link_breve":"X-1Y-1"})"));
  EXPECT_EQ(http.Body(0)["link_breve"], "XY");
  EXPECT_THROW(dms.ListaPagamenti("[1]"), PaymentError);
}

}  // namespace
}  // namespace oxsms::payments::testing
