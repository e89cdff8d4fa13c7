#include "maker-sim/sms_batch.h"

#include <gtest/gtest.h>

#include "platform/base64.h"

namespace oxsms::makersim {
namespace {

std::string Field(std::string value) {
  value.resize(25, ' ');
  return value;
}

std::string SmallRecord(const std::string& recipient, const std::string& sender, const std::string& text) {
  return Field(recipient) + Field(sender) + platform::EncodeBase64Mime(text) + "0000000072\n";
}

TEST(SmallBatch, RecordsAreSplitOnBareLineFeedsAndTextsDecoded) {
  // Long enough for the MIME base64 to break its lines with CR LF.
  std::string long_text(200, 'x');
  long_text += " città";
  std::string batch = SmallRecord("+393331234567", "STUDIO", long_text) +
                      SmallRecord("+41791234567", "STUDIO ROSSI", "Conferma: è tutto ok");
  ASSERT_NE(platform::EncodeBase64Mime(long_text).find("\r\n"), std::string::npos);

  std::vector<BatchSms> messages = ParseSmallBatch(batch);
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0].recipient, "+393331234567");
  EXPECT_EQ(messages[0].sender, "STUDIO");
  EXPECT_EQ(messages[0].text, long_text);
  EXPECT_EQ(messages[1].sender, "STUDIO ROSSI");
  EXPECT_EQ(messages[1].text, "Conferma: è tutto ok");
}

TEST(SmallBatch, FieldsAreCountedInCharactersNotBytes) {
  std::string sender = "STUDIO ÈLITE";  // 12 characters, 13 bytes
  std::string batch = SmallRecord("+393331234567", sender, "ciao");
  // Padding by bytes would give one blank too few: fix the field by characters.
  batch.insert(25 + sender.size(), " ");
  EXPECT_EQ(ParseSmallBatch(batch)[0].sender, sender);
}

TEST(SmallBatch, MalformedRecordsAreRefusedNamingTheLine) {
  std::string good = SmallRecord("+393331234567", "STUDIO", "ciao");
  auto refused = [](const std::string& batch, const std::string& expected) {
    try {
      ParseSmallBatch(batch);
      ADD_FAILURE() << "accepted: " << batch;
    } catch (const BatchFormatError& e) {
      EXPECT_NE(std::string(e.what()).find(expected), std::string::npos) << e.what();
    }
  };
  refused(good + good.substr(0, good.size() - 12) + "\n", "riga 2");  // no 0000000072
  refused(good.substr(0, good.size() - 1), "fine riga");
  refused(Field("+393331234567") + Field("STUDIO") + "@@@@0000000072\n", "base64");
  refused(SmallRecord("3331234567abc", "STUDIO", "ciao"), "destinatario");
  refused(SmallRecord("+393331234567", "STUDIO", ""), "testo vuoto");
  refused("USERNAME=x\nPASSWORD=y\n", "USERNAME");
  refused("+39333\n", "riga 1");
}

TEST(LargeBatch, HeaderThenOneSmsLinePerMessage) {
  std::string text = "USERNAME=velk_software\nPASSWORD=f4b2d8c61\n"
                     "SMS=+393331234567|STUDIO|Promemoria: lunedì alle 10.00 | stanza 2\n"
                     "SMS=+41791234567|STUDIO|Prima riga\n"
                     "seconda riga\n";
  std::vector<BatchSms> messages = ParseLargeBatch(text);
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0].recipient, "+393331234567");
  EXPECT_EQ(messages[0].sender, "STUDIO");
  EXPECT_EQ(messages[0].text, "Promemoria: lunedì alle 10.00 | stanza 2");
  EXPECT_EQ(messages[1].text, "Prima riga\nseconda riga");
}

TEST(LargeBatch, MissingHeaderOrMalformedLinesAreRefused) {
  EXPECT_THROW(ParseLargeBatch("SMS=+393331234567|A|b\n"), BatchFormatError);
  EXPECT_THROW(ParseLargeBatch("USERNAME=a\nSMS=+393331234567|A|b\n"), BatchFormatError);
  EXPECT_THROW(ParseLargeBatch("USERNAME=a\nPASSWORD=b\ntesto senza SMS=\n"), BatchFormatError);
  EXPECT_THROW(ParseLargeBatch("USERNAME=a\nPASSWORD=b\nSMS=+393331234567|solo alias\n"), BatchFormatError);
  EXPECT_THROW(ParseLargeBatch("USERNAME=a\nPASSWORD=b\nSMS=+393331234567|A|b"), BatchFormatError);
  EXPECT_THROW(ParseLargeBatch("USERNAME=a\nPASSWORD=b\nSMS=mario@example.it|A|b\n"), BatchFormatError);
  EXPECT_TRUE(ParseLargeBatch("USERNAME=a\nPASSWORD=b\n").empty());
}

TEST(Credits, OnePerStartedBlockOf160Characters) {
  EXPECT_EQ(CreditsFor(""), 0);
  EXPECT_EQ(CreditsFor(std::string(1, 'a')), 1);
  EXPECT_EQ(CreditsFor(std::string(160, 'a')), 1);
  EXPECT_EQ(CreditsFor(std::string(161, 'a')), 2);
  EXPECT_EQ(CreditsFor(std::string(480, 'a')), 3);
  // 160 accented letters are 320 bytes but still one SMS.
  std::string accented;
  for (int i = 0; i < 160; ++i) accented += "è";
  EXPECT_EQ(CreditsFor(accented), 1);
}

TEST(Recipients, PlusAndDigitsOnly) {
  EXPECT_TRUE(IsValidRecipient("+393331234567"));
  EXPECT_TRUE(IsValidRecipient("393331234567"));
  EXPECT_FALSE(IsValidRecipient("+39 333 1234567"));
  EXPECT_FALSE(IsValidRecipient("+39"));
  EXPECT_FALSE(IsValidRecipient("++393331234567"));
  EXPECT_FALSE(IsValidRecipient(""));
}

}  // namespace
}  // namespace oxsms::makersim
