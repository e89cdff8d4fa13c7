// The batch text, credits and recipient numbers, without any network.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "channels/sms_batch.h"
#include "channels/sms_text.h"
#include "platform/base64.h"
#include "sms_test_doubles.h"

namespace oxsms::channels {
namespace {

using testing::TemplateComposer;

std::vector<std::string> SplitBatchLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    // Base64 lines inside a record are CR LF; records end with a bare LF.
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) {
      lines.push_back(text.substr(start, i - start));
      start = i + 1;
    }
  }
  EXPECT_EQ(start, text.size()) << "the last record must end with a line end";
  return lines;
}

class BatchTest : public ::testing::Test {
 protected:
  SmsBatch Build(const std::vector<std::string>& lines, const std::string& template_text,
                 bool large = true) {
    options_.bool_futurland = large;
    return CreaFileSms(lines, {template_text}, options_, lists_, composer_);
  }

  SmsBatchOptions options_{true, "STUDIO", false, "velk_software", "f4b2d8c61"};
  practice::RecipientLists lists_;
  TemplateComposer composer_;
};

TEST(RecipientNumberTest, CountryPrefixRules) {
  EXPECT_EQ(RecipientNumber("", "3331234567"), "+393331234567");
  EXPECT_EQ(RecipientNumber("+41", "791234567"), "+41791234567");
  EXPECT_EQ(RecipientNumber("41", "791234567"), "+41791234567");
}

TEST(SmsTextTest, CreditsPerStarted160Characters) {
  EXPECT_EQ(CreditsFor(""), 0);
  EXPECT_EQ(CreditsFor(std::string(160, 'a')), 1);
  EXPECT_EQ(CreditsFor(std::string(161, 'a')), 2);
  EXPECT_EQ(CreditsFor(std::string(480, 'a')), 3);
  // An accented letter is one character, not two bytes.
  std::string accented;
  for (int i = 0; i < 160; ++i) accented += "\xC3\xA0";  // à
  EXPECT_EQ(CreditsFor(accented), 1);
}

TEST(SmsTextTest, CutKeepsWholeCharacters) {
  EXPECT_EQ(CutText(std::string(500, 'x'), 480).size(), 480u);
  EXPECT_EQ(CutText("abc", 480), "abc");
  // "a" then an emoji (a surrogate pair in UTF-16): a cut at 2 must not split it.
  EXPECT_EQ(CutText("a\xF0\x9F\x98\x80", 2), "a");
  EXPECT_EQ(CutText("\xC3\xA8\xC3\xA8\xC3\xA8", 2), "\xC3\xA8\xC3\xA8");
}

TEST(SmsTextTest, FixedFieldCutsAndPads) {
  EXPECT_EQ(FixedField("+393331234567", 25), "+393331234567            ");
  EXPECT_EQ(FixedField("12345678901234567890123456789", 25), "1234567890123456789012345");
  EXPECT_EQ(FixedField("Citt\xC3\xA0", 6), "Citt\xC3\xA0 ");
}

TEST_F(BatchTest, LargeBatchHeaderAndLines) {
  const SmsBatch batch = Build({"Rossi,Mario,+41 79.123-45,12/05/25,09.30", "Bianchi,Anna,333 1234567"},
                               "Gentile <Nome> <Cognome>, il <Data> alle <Ora>");
  EXPECT_EQ(batch.text,
            "USERNAME=velk_software\nPASSWORD=f4b2d8c61\n"
            "SMS=+417912345|STUDIO|Gentile Mario Rossi, il 12/05/25 alle 09.30\n"
            "SMS=+393331234567|STUDIO|Gentile Anna Bianchi, il  alle \n");
  EXPECT_EQ(batch.messages, 2);
  EXPECT_EQ(batch.credits, 2);
}

TEST_F(BatchTest, SmallBatchFixedFieldsBase64AndTrailer) {
  options_.testata = "STUDIO DENTISTICO ROSSI E ASSOCIATI";  // longer than 25
  const std::string long_text(200, 'z');
  const SmsBatch batch = Build({"Rossi,Mario,3331234567"}, long_text, /*large=*/false);

  const std::vector<std::string> records = SplitBatchLines(batch.text);
  ASSERT_EQ(records.size(), 1u);
  const std::string& record = records[0];
  EXPECT_EQ(record.substr(0, 25), "+393331234567            ");
  EXPECT_EQ(record.substr(25, 25), "STUDIO DENTISTICO ROSSI E");
  ASSERT_TRUE(record.ends_with("0000000072"));
  const std::string encoded = record.substr(50, record.size() - 50 - 10);
  EXPECT_NE(encoded.find("\r\n"), std::string::npos) << "MIME base64 breaks lines at 76";
  EXPECT_EQ(platform::DecodeBase64(encoded), long_text);
  EXPECT_EQ(batch.credits, 2);
}

TEST_F(BatchTest, CreditsCountEachLineCutAt480) {
  const SmsBatch batch = Build({"A,B,3330000001", "C,D,3330000002", "E,F,3330000003"},
                               std::string(160, 'a') + "<Nome>");
  // Texts of 161 characters each: two credits each.
  EXPECT_EQ(batch.credits, 6);

  lists_ = {};
  const SmsBatch longest = Build({"A,B,3330000001"}, std::string(600, 'q'));
  EXPECT_EQ(longest.credits, 3);
  const std::vector<std::string> records = SplitBatchLines(longest.text);
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[2], "SMS=+393330000001|STUDIO|" + std::string(480, 'q'));
}

TEST_F(BatchTest, EmailAndNumberlessLinesAreNeitherSentNorCounted) {
  const SmsBatch batch = Build({"Rossi,Mario,mario@example.com", "Verdi,Luca,", "Bianchi,Anna,3331234567"},
                               "Ciao <Nome>");
  EXPECT_EQ(batch.messages, 1);
  EXPECT_EQ(batch.credits, 1);
  EXPECT_EQ(batch.text.find("example.com"), std::string::npos);
  EXPECT_EQ(batch.text.find("Luca"), std::string::npos);
}

TEST(WireNumberTest, NumbersAsPatientsWriteThemGoOutAsPlusAndDigits) {
  // `Paese` and `Cellulare` as the recipient line leaves them.
  EXPECT_EQ(WireNumber("+39", "00393375218764"), "+393375218764");
  EXPECT_EQ(WireNumber("+39", "(338)0159840"), "+393380159840");
  EXPECT_EQ(WireNumber("+39", "3331234567()"), "+393331234567");
  EXPECT_EQ(WireNumber("+39", "(+39)3380159840"), "+393380159840");
  EXPECT_EQ(WireNumber("+41", "791234567"), "+41791234567");
  EXPECT_EQ(WireNumber("", "3331234567"), "+393331234567");
  EXPECT_EQ(WireNumber("+(3", "9)3331234567"), "+393331234567");
}

TEST(WireNumberTest, DialableIsAPlusAndEightToFifteenDigits) {
  EXPECT_TRUE(IsDialable("+12345678"));
  EXPECT_TRUE(IsDialable("+123456789012345"));
  EXPECT_FALSE(IsDialable("+1234567"));
  EXPECT_FALSE(IsDialable("+1234567890123456"));
  EXPECT_FALSE(IsDialable("+390"));
  EXPECT_FALSE(IsDialable("393331234567"));
  EXPECT_FALSE(IsDialable("+39+3331234567"));
  EXPECT_FALSE(IsDialable(""));
}

TEST_F(BatchTest, NumbersThatCannotReachATelephoneAreLeftOutAndNamed) {
  const SmsBatch batch = Build({"Zero,Ada,0", "Corto,Bice,333", "Lungo,Carlo,333123456789012345678",
                                "Estero,Dora,00393375218764", "Nota,Fede,3331234567()"},
                               "Ciao <Nome>");
  EXPECT_EQ(batch.messages, 2);
  EXPECT_EQ(batch.credits, 2);
  const std::vector<std::string> records = SplitBatchLines(batch.text);
  ASSERT_EQ(records.size(), 4u);
  EXPECT_EQ(records[2], "SMS=+393375218764|STUDIO|Ciao Dora");
  EXPECT_EQ(records[3], "SMS=+393331234567|STUDIO|Ciao Fede");
  // Named with the number as stored.
  EXPECT_EQ(batch.undialable, (std::vector<std::string>{"Zero Ada (+390)", "Corto Bice (+39333)",
                                                         "Lungo Carlo (+39333123456789012345678)"}));
}

TEST_F(BatchTest, ARefusalNamingALineLeavesOutThatMessageOnly) {
  const std::vector<std::string> lines = {"A,B,3330000001", "C,D,3330000002", "E,F,3330000003"};
  const SmsBatch large = Build(lines, std::string(161, 'a'));
  // The large form's header lines are lines 1 and 2.
  const auto named = RefusedMessage("KO Formato non valido: riga 4: destinatario", large, true);
  ASSERT_EQ(named, std::optional<std::size_t>(1));
  const SmsBatch rest = WithoutMessage(large, *named);
  EXPECT_EQ(rest.messages, 2);
  EXPECT_EQ(rest.credits, 4);
  EXPECT_EQ(rest.text, "USERNAME=velk_software\nPASSWORD=f4b2d8c61\n"
                       "SMS=+393330000001|STUDIO|" + std::string(161, 'a') + "\n"
                       "SMS=+393330000003|STUDIO|" + std::string(161, 'a') + "\n");
  EXPECT_EQ(rest.records[1].who, "E F (+393330000003)");
  EXPECT_EQ(WithoutMessage(rest, 1).text, "USERNAME=velk_software\nPASSWORD=f4b2d8c61\n"
                                          "SMS=+393330000001|STUDIO|" + std::string(161, 'a') + "\n");

  EXPECT_EQ(RefusedMessage("KO Formato non valido: riga 2: x", large, true), std::nullopt);
  EXPECT_EQ(RefusedMessage("KO Formato non valido: riga 6: x", large, true), std::nullopt);
  EXPECT_EQ(RefusedMessage("KO Credito insufficiente", large, true), std::nullopt);
  EXPECT_EQ(RefusedMessage("OK riga 3", large, true), std::nullopt);

  lists_ = {};
  const SmsBatch small = Build(lines, "Ciao", /*large=*/false);
  EXPECT_EQ(RefusedMessage("KO Formato non valido: riga 1: x", small, false),
            std::optional<std::size_t>(0));
  const std::vector<std::string> records = SplitBatchLines(WithoutMessage(small, 0).text);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_TRUE(records[0].starts_with("+393330000002 "));
}

TEST_F(BatchTest, SameLineReusesConfirmationLinkOfLineBefore) {
  lists_.list_id_agenda = {"AG1", "same", "AG2"};
  const SmsBatch batch = Build({"Rossi,Mario,3330000001", "Rossi,Mario,3330000002", "Verdi,Luca,3330000003"},
                               "Conferma: <link_conferma>");
  const std::vector<std::string> records = SplitBatchLines(batch.text);
  ASSERT_EQ(records.size(), 5u);
  EXPECT_EQ(records[2], "SMS=+393330000001|STUDIO|Conferma: https://l.test/c/w1");
  EXPECT_EQ(records[3], "SMS=+393330000002|STUDIO|Conferma: https://l.test/c/w1");
  EXPECT_EQ(records[4], "SMS=+393330000003|STUDIO|Conferma: https://l.test/c/w2");
  EXPECT_EQ(composer_.links_created, 2);
}

TEST_F(BatchTest, PersonFieldsDoNotCarryOverToTheNextLine) {
  const SmsBatch batch =
      Build({"Rossi,Mario,3330000001,12/05/25,09.30", "Verdi,Luca,3330000002"}, "<Nome> <Data>");
  const std::vector<std::string> records = SplitBatchLines(batch.text);
  ASSERT_EQ(records.size(), 4u);
  EXPECT_EQ(records[3], "SMS=+393330000002|STUDIO|Luca ");
}

TEST_F(BatchTest, SkipZeroFeesAndStorePaymentRecordsBack) {
  options_.eliminaIncassiNulli = true;
  lists_.listCellIncassi.resize(3);
  lists_.listCellIncassi[0].incasso = 0;               // nothing to collect
  lists_.listCellIncassi[1].incasso = 500000;          // 50.00
  lists_.listCellIncassi[2].incasso = 250000;
  lists_.listCellIncassi[2].id_linkpag = "already";    // link sent before
  const SmsBatch batch = Build({"A,B,3330000001", "C,D,3330000002", "E,F,3330000003"},
                               "Paga qui: <link_pag>");
  EXPECT_EQ(batch.messages, 1);
  EXPECT_NE(batch.text.find("SMS=+393330000002|STUDIO|Paga qui: https://l.test/s/p1\n"),
            std::string::npos);
  EXPECT_EQ(lists_.listCellIncassi[1].id_linkpag, "p1");
  EXPECT_EQ(lists_.listCellIncassi[1].link_pag, "https://l.test/s/p1");
  EXPECT_EQ(lists_.listCellIncassi[2].id_linkpag, "already");
}

TEST_F(BatchTest, LineBreaksInDataCannotAddRecords) {
  const SmsBatch batch = Build({"Rossi,Mario\nSMS=+390000000000|X|spam,3330000001"}, "Ciao <Nome>");
  const std::vector<std::string> records = SplitBatchLines(batch.text);
  ASSERT_EQ(records.size(), 3u);
  EXPECT_TRUE(records[2].starts_with("SMS=+393330000001|STUDIO|Ciao Mario SMS="));
}

TEST(JoinLinesTest, ALineBreakInsideALineCannotStartALogLine) {
  EXPECT_EQ(JoinLines({"Rossi\r\nfalso,Mario,333", "Verdi,Luca\n,333"}),
            "Rossi  falso,Mario,333\r\nVerdi,Luca ,333");
}

TEST(MaskedForLogTest, HidesOnlyTheHeaderPassword) {
  const std::string text = "USERNAME=velk_software\nPASSWORD=f4b2d8c61\nSMS=+39333|S|x f4b2d8c61\n";
  EXPECT_EQ(MaskedForLog(text, "f4b2d8c61"),
            "USERNAME=velk_software\nPASSWORD=********\nSMS=+39333|S|x f4b2d8c61\n");
  EXPECT_EQ(MaskedForLog("+39333 ...", "f4b2d8c61"), "+39333 ...");
}

}  // namespace
}  // namespace oxsms::channels
