// The pure rules of a WhatsApp template request: weekday names, the bare
// payment words of the free text, the payment-request rule.
#include <gtest/gtest.h>

#include "channels/channel_error.h"
#include "channels/whatsapp_request.h"

namespace oxsms::channels {
namespace {

TEST(GiornoDellaSettimana, NamesTheWeekdayOfTheLinesDate) {
  EXPECT_EQ(GiornoDellaSettimana("12/05/2025"), "Luned\xC3\xAC");
  EXPECT_EQ(GiornoDellaSettimana("17/05/2025"), "Sabato");
  EXPECT_EQ(GiornoDellaSettimana("18/05/2025"), "Domenica");
  EXPECT_EQ(GiornoDellaSettimana("1/1/2026"), "Gioved\xC3\xAC");
  // Two-digit years are of this century; '-' and '.' separate as well.
  EXPECT_EQ(GiornoDellaSettimana("13/05/25"), "Marted\xC3\xAC");
  EXPECT_EQ(GiornoDellaSettimana("14-05-2025"), "Mercoled\xC3\xAC");
  EXPECT_EQ(GiornoDellaSettimana("16.05.2025"), "Venerd\xC3\xAC");
  EXPECT_EQ(GiornoDellaSettimana("29/02/2024"), "Gioved\xC3\xAC");
}

TEST(GiornoDellaSettimana, RefusesWhatIsNoDate) {
  for (const char* text : {"31/02/2025", "29/02/2025", "12/05", "12/13/2025", "aa/05/2025",
                           "12/05/202", "09.30", "12/05/2025/1"}) {
    try {
      GiornoDellaSettimana(text);
      ADD_FAILURE() << text << " was taken as a date";
    } catch (const ChannelError& e) {
      EXPECT_EQ(std::string(e.what()), "'" + std::string(text) + "' non \xC3\xA8 una data valida");
    }
  }
}

TEST(SostituisciParolePagamento, ReplacesOnlyBareWholeWords) {
  const std::string link = "https://pay.test/s/p1";
  const std::string descr = "Visita";
  EXPECT_EQ(SostituisciParolePagamento("Paghi qui: link_pag (descrizione_pag).", link, descr),
            "Paghi qui: https://pay.test/s/p1 (Visita).");
  EXPECT_EQ(SostituisciParolePagamento("link_pagamento", link, descr), link);
  // Placeholders in angle brackets are the composer's; parts of longer words stay.
  EXPECT_EQ(SostituisciParolePagamento("<link_pag> <descrizione_pag>", link, descr),
            "<link_pag> <descrizione_pag>");
  EXPECT_EQ(SostituisciParolePagamento("xlink_pag link_pag2 link_pagam", link, descr),
            "xlink_pag link_pag2 link_pagam");
  // No payment chosen: the words simply go.
  EXPECT_EQ(SostituisciParolePagamento("link_pag", "", ""), "");
  EXPECT_EQ(SostituisciParolePagamento("Grazie", link, descr), "Grazie");
}

WhatsAppSettings PaymentRequest() {
  WhatsAppSettings settings;
  settings.variabiliInvioWhts = "nome,link_pagamento,descrizione_pag";
  settings.TestoLiberoInvioWhts = "Grazie";
  return settings;
}

practice::TPazRec Fee(practice::Currency amount, std::string id_linkpag = {}) {
  practice::TPazRec paz;
  paz.incasso = amount;
  paz.id_linkpag = std::move(id_linkpag);
  return paz;
}

TEST(EscludiPerPagamento, LeavesOutRecipientsWithNothingToCollectOrALinkAlready) {
  const WhatsAppSettings settings = PaymentRequest();
  EXPECT_TRUE(EscludiPerPagamento(settings, true, Fee(0)));
  EXPECT_TRUE(EscludiPerPagamento(settings, true, Fee(500000, "L1")));
  EXPECT_FALSE(EscludiPerPagamento(settings, true, Fee(500000)));
  // A negative amount is something to collect too (not 0).
  EXPECT_FALSE(EscludiPerPagamento(settings, true, Fee(-10000)));
}

TEST(EscludiPerPagamento, AppliesOnlyToADesktopPaymentRequestWithoutPredefinedLink) {
  const practice::TPazRec nothing = Fee(0);
  EXPECT_FALSE(EscludiPerPagamento(PaymentRequest(), false, nothing));

  WhatsAppSettings service = PaymentRequest();
  service.AsService = true;
  EXPECT_FALSE(EscludiPerPagamento(service, true, nothing));

  WhatsAppSettings no_link_variable = PaymentRequest();
  no_link_variable.variabiliInvioWhts = "nome,descrizione_pag";
  EXPECT_FALSE(EscludiPerPagamento(no_link_variable, true, nothing));

  WhatsAppSettings predefined = PaymentRequest();
  predefined.link_pag_predef = "https://pay.test/s/fisso";
  EXPECT_FALSE(EscludiPerPagamento(predefined, true, nothing));

  // The free text of the template asking for the payment link keeps everyone.
  WhatsAppSettings free_text_link = PaymentRequest();
  free_text_link.TestoLiberoInvioWhts = "Paghi qui: <link_pag>";
  EXPECT_FALSE(EscludiPerPagamento(free_text_link, true, nothing));
}

TEST(VariabiliGlobali, PutsHeadingAndAddressOnOneLineInBase64) {
  WhatsAppSettings settings;
  settings.IntestazioneWhts = "Studio\r\nBianchi";
  settings.IndirizzoWhts = "Via Citt\xC3\xA0 1";
  const TemplateObject globals = VariabiliGlobali(settings);
  EXPECT_EQ(globals.dump(), R"({"dati_studio":"U3R1ZGlvIEJpYW5jaGk=","indirizzo_studio":"VmlhIENpdHTDoCAx"})");
}

}  // namespace
}  // namespace oxsms::channels
