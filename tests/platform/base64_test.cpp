#include "platform/base64.h"

#include <gtest/gtest.h>

#include <string>

namespace oxsms::platform {
namespace {

std::string AllByteValues() {
  std::string bytes;
  for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
  return bytes;
}

TEST(Base64, KnownVectorsWithAndWithoutPadding) {
  EXPECT_EQ(EncodeBase64Mime(""), "");
  EXPECT_EQ(EncodeBase64Mime("f"), "Zg==");
  EXPECT_EQ(EncodeBase64Mime("fo"), "Zm8=");
  EXPECT_EQ(EncodeBase64Mime("foo"), "Zm9v");
  EXPECT_EQ(EncodeBase64Mime("foobar"), "Zm9vYmFy");
  EXPECT_EQ(EncodeBase64Mime("\xFB\xFF"), "+/8=");
  EXPECT_EQ(DecodeBase64("Zm9vYg=="), "foob");
  EXPECT_EQ(DecodeBase64("Zm9vYmE="), "fooba");
  EXPECT_EQ(DecodeBase64("+/8="), "\xFB\xFF");
}

TEST(Base64, EncoderBreaksLinesAt76WithCrLf) {
  // 57 bytes fill exactly one line of 76 characters: no break after it.
  EXPECT_EQ(EncodeBase64Mime(std::string(57, 'a')).size(), 76u);

  const std::string encoded = EncodeBase64Mime(AllByteValues());
  std::size_t start = 0;
  int lines = 0;
  while (true) {
    const std::size_t crlf = encoded.find("\r\n", start);
    const std::string line = encoded.substr(start, crlf - start);
    EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos);
    ++lines;
    if (crlf == std::string::npos) {
      EXPECT_LE(line.size(), 76u);
      EXPECT_FALSE(line.empty());
      break;
    }
    EXPECT_EQ(line.size(), 76u);
    start = crlf + 2;
  }
  EXPECT_EQ(lines, 5);  // 344 characters = 4 full lines + 40
}

TEST(Base64, AppendedEncodingUsesTheGivenBreakAndItsSizeIsKnownBeforehand) {
  for (std::size_t size = 0; size <= 256; ++size) {
    const std::string bytes = AllByteValues().substr(0, size);
    std::string expected = EncodeBase64Mime(bytes);
    EXPECT_EQ(Base64MimeSize(size, 2), expected.size()) << size;
    for (std::size_t at = expected.find("\r\n"); at != std::string::npos;
         at = expected.find("\r\n", at + 3)) {
      expected.replace(at, 2, "<|>");
    }
    std::string out = "head:";
    AppendBase64Mime(out, bytes, "<|>");
    EXPECT_EQ(out, "head:" + expected) << size;
    EXPECT_EQ(Base64MimeSize(size, 3), expected.size()) << size;
  }
}

TEST(Base64, RoundTripsBinaryAndUtf8AcrossLineBreaks) {
  const std::string bytes = AllByteValues();
  EXPECT_EQ(DecodeBase64(EncodeBase64Mime(bytes)), bytes);
  const std::string text = "Caro paziente, l'appuntamento è confermato: 50 € — grazie! ";
  std::string long_text;
  for (int i = 0; i < 5; ++i) long_text += text;
  EXPECT_EQ(DecodeBase64(EncodeBase64Mime(long_text)), long_text);
}

TEST(Base64, DecoderIgnoresWhitespaceAnywhere) {
  EXPECT_EQ(DecodeBase64("Zm9v\r\nYmFy\r\n"), "foobar");
  EXPECT_EQ(DecodeBase64(" Zm 9v\tYm\nFy "), "foobar");
  EXPECT_EQ(DecodeBase64("Zg=\r\n="), "f");
  // Lines broken at another width (or LF only) decode the same.
  EXPECT_EQ(DecodeBase64("Zm9vYm\nFy"), "foobar");
}

TEST(Base64, AcceptsMissingPadding) {
  EXPECT_EQ(DecodeBase64("Zg"), "f");
  EXPECT_EQ(DecodeBase64("Zm8"), "fo");
}

TEST(Base64, InvalidInputGivesNoValue) {
  for (const char* bad : {"Zm9v!", "Zm-v", "Z", "Zm9vY", "=Zm9", "Zg==Zg==", "Zg===", "Zm9v=",
                          "Zm9v\x80"}) {
    EXPECT_FALSE(TryDecodeBase64(bad).has_value()) << bad;
    EXPECT_EQ(DecodeBase64(bad), "") << bad;
  }
  ASSERT_TRUE(TryDecodeBase64("").has_value());
  EXPECT_EQ(*TryDecodeBase64(""), "");
  EXPECT_EQ(*TryDecodeBase64("\r\n"), "");
}

}  // namespace
}  // namespace oxsms::platform
