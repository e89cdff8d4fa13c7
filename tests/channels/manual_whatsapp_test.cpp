// The manual WhatsApp hand-off: the number and query rules, what an operator's
// desktop is handed for each recipient, and the refusal without an operator.
#include "channels/manual_whatsapp.h"

#include <gtest/gtest.h>

#include "sms_test_doubles.h"
#include "support/manual_clock.h"
#include "support/temp_dir.h"

namespace oxsms::channels::testing {
namespace {

// A desktop that records what it was handed; `operator_present` decides
// whether anybody sits at it.
class RecordingDesktop : public platform::DesktopHandoff {
 public:
  bool operator_present = true;
  std::vector<std::string> events;  // "open <address>" and "box <title>|<text>", in order

  bool HasOperator() const override { return operator_present; }
  void OpenAddress(const std::string& address) override { events.push_back("open " + address); }
  void ShowSystemModalInformation(const std::string& title, const std::string& text) override {
    events.push_back("box " + title + "|" + text);
  }
};

class ManualWhatsAppTest : public ::testing::Test {
 protected:
  ManualWhatsApp Channel() {
    return ManualWhatsApp(
        host_, composer_, desktop_, log_,
        [this](std::chrono::milliseconds pause) { pauses_.push_back(pause.count()); });
  }
  std::string LogText() const { return oxsms::testing::ReadFile(dir_ / "sms.log"); }

  oxsms::testing::TempDir dir_;
  oxsms::testing::ManualClock clock_{45000.5};
  platform::ActivityLog log_{dir_ / "sms.log", clock_};
  FakeSmsHost host_;
  TemplateComposer composer_;
  RecordingDesktop desktop_;
  std::vector<long long> pauses_;
};

TEST(ManualWhatsAppRulesTest, TenCharactersOrFewerGetTheItalianPrefix) {
  EXPECT_EQ(ManualWhatsAppNumber("3331234567"), "+393331234567");
  EXPECT_EQ(ManualWhatsAppNumber("333123456"), "+39333123456");
  EXPECT_EQ(ManualWhatsAppNumber("33312345678"), "33312345678");  // eleven: as it is
  EXPECT_EQ(ManualWhatsAppNumber("+41791234567"), "+41791234567");
}

TEST(ManualWhatsAppRulesTest, QueryEncodingKeepsTheTextWholeForAQueryReader) {
  // The ampersand and the plus are encoded: unencoded, a reader would end the
  // text at "&" and read "+" as a blank.
  EXPECT_EQ(ManualWhatsAppQuery("text=Rossi & Bianchi + figli"),
            "text=Rossi%20%26%20Bianchi%20%2B%20figli");
  EXPECT_EQ(ManualWhatsAppQuery("a=b*#%<>[]!?/:'"), "a=b%2A%23%25%3C%3E%5B%5D!?/:'");
  EXPECT_EQ(ManualWhatsAppQuery("è\r\n"), "%C3%A8%0D%0A");
  EXPECT_EQ(ManualWhatsAppQuery("\xE8"), "%C3%A8");  // Windows-1252 read as such
  EXPECT_EQ(ManualWhatsAppAddress("+393331234567", "Ciao & a presto"),
            "whatsapp://send?phone=+393331234567&text=Ciao%20%26%20a%20presto");
}

TEST_F(ManualWhatsAppTest, EachPhoneLineIsOpenedTwiceThenWaitsForTheOperator) {
  const std::vector<std::string> lines = {"Rossi,Anna,3331234567,12/05/2025,9.30",
                                          "Verdi,Luca,luca@example.it", "Neri,Ugo,33312345678"};
  host_.lists.list_id_agenda = {"AG1", "AG1", "AG2"};
  const SendResult result =
      Channel().MultiSendWhts(lines, {"Gentile <Nome> <Cognome>, il <Data> & <Ora>"});

  EXPECT_EQ(result.accepted, 2);
  EXPECT_TRUE(result.ok());
  const std::string prompt =
      "box Invio Whatsapp|Il messaggio per \"Rossi\" è pronto per essere spedito.\r\n"
      " Clicca sul pulsante di invio di Whatsapp.\r\n\nQuindi clicca su OK per proseguire con il "
      "prossimo invio";
  ASSERT_EQ(desktop_.events.size(), 6u);  // no message box for the email line
  EXPECT_EQ(desktop_.events[0], "open whatsapp://send?phone=+393331234567");
  EXPECT_EQ(desktop_.events[1],
            "open "
            "whatsapp://send?phone=+393331234567&text=Gentile%20Anna%20Rossi,%20il%2012/05/"
            "2025%20%26%209.30");
  EXPECT_EQ(desktop_.events[2], prompt);
  EXPECT_EQ(desktop_.events[3], "open whatsapp://send?phone=33312345678");
  EXPECT_EQ(pauses_, (std::vector<long long>{200, 200}));
}

TEST_F(ManualWhatsAppTest, PaymentFilterAndLinksFollowTheBatchLists) {
  host_.skip_zero_fees = true;
  host_.lists.listCellIncassi.resize(3);
  host_.lists.listCellIncassi[0].incasso = 0;       // nothing to collect
  host_.lists.listCellIncassi[1].incasso = 450000;  // a fee without link
  host_.lists.listCellIncassi[2].incasso = 450000;
  host_.lists.listCellIncassi[2].id_linkpag = "OLD";  // has its link already
  const SendResult result = Channel().MultiSendWhts(
      {"A,Uno,3330000001", "B,Due,3330000002", "C,Tre,3330000003"}, {"Paga: <link_pag>"});

  EXPECT_EQ(result.accepted, 1);
  ASSERT_EQ(desktop_.events.size(), 3u);
  EXPECT_EQ(desktop_.events[1],
            "open whatsapp://send?phone=+393330000002&text=Paga:%20https://l.test/s/p1");
  EXPECT_EQ(host_.lists.listCellIncassi[1].id_linkpag, "p1");  // kept for the bookkeeping
}

TEST_F(ManualWhatsAppTest, WithoutAnOperatorTheBatchIsRefusedWithOneLineAndNothingIsHandedOff) {
  desktop_.operator_present = false;
  const SendResult result = Channel().MultiSendWhts(
      {"Rossi,Anna,3331234567", "Neri,Ugo,3331234568"}, {"Promemoria <Nome>"});

  EXPECT_EQ(result.accepted, 0);
  EXPECT_EQ(result.failed, 2);
  EXPECT_EQ(result.failure, SendFailure::kRefused);
  EXPECT_TRUE(desktop_.events.empty());
  EXPECT_EQ(composer_.links_created, 0);
  const std::string log = LogText();
  EXPECT_NE(
      log.find("Invio WhatsApp manuale non disponibile nel servizio: 2 destinatari non inviati"),
      std::string::npos);
  EXPECT_EQ(log.find("Invio WhatsApp manuale", log.find("Invio WhatsApp manuale") + 1),
            std::string::npos);
}

TEST(HeadlessDesktopTest, LogsOnlyTheSchemeOfAnAddressAndNeverBlocks) {
  std::vector<std::string> lines;
  platform::HeadlessDesktop desktop([&](std::string_view text) { lines.emplace_back(text); });
  EXPECT_FALSE(desktop.HasOperator());
  desktop.OpenAddress("whatsapp://send?phone=+393331234567&text=Ciao");
  desktop.ShowSystemModalInformation("Invio Whatsapp", "Pronto");
  EXPECT_EQ(lines, (std::vector<std::string>{"Nessun desktop: indirizzo whatsapp: non aperto",
                                             "Messaggio all'operatore: Invio Whatsapp: Pronto"}));
}

}  // namespace
}  // namespace oxsms::channels::testing
