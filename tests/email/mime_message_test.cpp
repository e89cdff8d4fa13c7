// The message pieces the SMTP transport writes: Latin-1 texts, encoded header
// words that never break a header line, dates, message ids, the envelope.
#include "email/mime_message.h"

#include <gtest/gtest.h>

#include "email/smtp_failure.h"

namespace oxsms::email {
namespace {

TEST(Latin1Test, KeepsLatinLettersAndMarksOthersOnce) {
  EXPECT_EQ(Utf8ToLatin1("perch\xC3\xA8"), "perch\xE8");
  EXPECT_EQ(Utf8ToLatin1("10 \xE2\x82\xAC"), "10 ?");        // euro sign is not Latin-1
  EXPECT_EQ(Utf8ToLatin1("a\xF0\x9F\x98\x80" "b"), "a?b");  // one '?' beyond the BMP
}

TEST(HeaderTextTest, AsciiStaysAndOtherTextBecomesEncodedWords) {
  EXPECT_EQ(EncodeHeaderText("Promemoria appuntamento"), "Promemoria appuntamento");
  EXPECT_EQ(EncodeHeaderText("Luned\xC3\xAC alle 10"), "=?iso-8859-1?Q?Luned=EC_alle_10?=");
  // Text that looks like an encoded word is encoded, so it reads as written.
  EXPECT_EQ(EncodeHeaderText("=?x?"), "=?iso-8859-1?Q?=3D=3Fx=3F?=");
}

TEST(HeaderTextTest, LongTextIsSplitIntoShortWordsOnOneLine) {
  std::string subject;
  for (int i = 0; i < 40; ++i) subject += "\xC3\xA8";
  const std::string encoded = EncodeHeaderText(subject + "\r\nBcc: x@evil.it");
  EXPECT_EQ(encoded.find('\r'), std::string::npos);
  EXPECT_EQ(encoded.find('\n'), std::string::npos);
  std::size_t start = 0, words = 0;
  while (start < encoded.size()) {
    auto end = encoded.find(' ', start);
    if (end == std::string::npos) end = encoded.size();
    EXPECT_LE(end - start, 75u);
    EXPECT_EQ(encoded.compare(start, 15, "=?iso-8859-1?Q?"), 0);
    ++words;
    start = end + 1;
  }
  EXPECT_GT(words, 1u);
}

TEST(MailboxTest, NamesAreQuotedOrEncodedAsNeeded) {
  EXPECT_EQ(FormatMailbox({"a@b.it", ""}), "a@b.it");
  EXPECT_EQ(FormatMailbox({"a@b.it", "Studio Rossi"}), "Studio Rossi <a@b.it>");
  EXPECT_EQ(FormatMailbox({"a@b.it", "Rossi, Mario"}), "\"Rossi, Mario\" <a@b.it>");
  EXPECT_EQ(FormatMailbox({"a@b.it", "Nicol\xC3\xB2"}), "=?iso-8859-1?Q?Nicol=F2?= <a@b.it>");
}

TEST(MailDateTest, FormatsDayNamesAndZoneOffsets) {
  std::tm local{};
  local.tm_year = 125, local.tm_mon = 6, local.tm_mday = 1, local.tm_wday = 2;
  local.tm_hour = 10, local.tm_min = 0, local.tm_sec = 5;
  EXPECT_EQ(FormatMailDate(local, 7200), "Tue, 01 Jul 2025 10:00:05 +0200");
  EXPECT_EQ(FormatMailDate(local, -(3 * 3600 + 1800)), "Tue, 01 Jul 2025 10:00:05 -0330");
}

TEST(MessageIdTest, UsesTheSenderDomainAndDiffers) {
  const std::string first = MakeMessageId("studio@rossi.it");
  const std::string second = MakeMessageId("studio@rossi.it");
  EXPECT_EQ(first.front(), '<');
  EXPECT_TRUE(first.ends_with("@rossi.it>")) << first;
  EXPECT_NE(first, second);
  EXPECT_TRUE(MakeMessageId("").ends_with("@localhost>"));
}

TEST(SignedHtmlTest, AddsTheSignatureParagraphOnlyWhenThereIsOne) {
  EXPECT_EQ(SignedHtml("Ciao", ""), "Ciao");
  EXPECT_EQ(SignedHtml("Ciao", "Studio\r\nVia Roma 1"), "Ciao<p>Studio<br>Via Roma 1</p>");
}

TEST(EnvelopeTest, HoldsEveryRecipientOnceButHeadersNoBcc) {
  EmailMessage message;
  message.subject = "Avviso";
  message.to = {{"a@x.it", "A"}};
  message.cc = {{"b@x.it", ""}};
  message.bcc = {{"c@x.it", ""}, {"A@X.IT", ""}};
  EmailSettings settings;
  settings.DaEmail = "studio@x.it";
  settings.EmailBCC = " archivio@x.it; copia@x.it ,";
  EXPECT_EQ(EnvelopeRecipients(message, settings),
            (std::vector<std::string>{"a@x.it", "b@x.it", "c@x.it", "archivio@x.it", "copia@x.it"}));
  const auto headers = MessageHeaders(message, settings, "D", "<id@x.it>");
  for (const auto& line : headers) {
    EXPECT_FALSE(line.starts_with("Bcc")) << line;
    EXPECT_EQ(line.find("c@x.it"), std::string::npos) << line;
  }
  EXPECT_EQ(headers[3], "Cc: b@x.it");
}

TEST(SmtpFailureTest, TellsWhichFailuresMaySucceedLater) {
  const std::string server = "smtp.x.it:587";
  EXPECT_TRUE(DescribeSmtpFailure(CURLE_COULDNT_CONNECT, 0, "", server).transient);
  EXPECT_TRUE(DescribeSmtpFailure(CURLE_OPERATION_TIMEDOUT, 0, "", server).transient);
  EXPECT_TRUE(DescribeSmtpFailure(CURLE_SEND_ERROR, 451, "RCPT failed: 451", server).transient);
  EXPECT_FALSE(DescribeSmtpFailure(CURLE_SEND_ERROR, 550, "RCPT failed: 550", server).transient);
  EXPECT_FALSE(DescribeSmtpFailure(CURLE_LOGIN_DENIED, 535, "", server).transient);
  EXPECT_FALSE(DescribeSmtpFailure(CURLE_PEER_FAILED_VERIFICATION, 0, "", server).transient);
  EXPECT_FALSE(DescribeSmtpFailure(CURLE_USE_SSL_FAILED, 0, "", server).transient);
  const SmtpFailure refused = DescribeSmtpFailure(CURLE_SEND_ERROR, 550, "RCPT failed: 550\n", server);
  EXPECT_EQ(refused.message,
            "Il server SMTP ha rifiutato il messaggio (smtp.x.it:587) codice 550: RCPT failed: 550");
}

}  // namespace
}  // namespace oxsms::email
