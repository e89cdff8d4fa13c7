#include "practice/credential_protection.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/code_page.h"

namespace oxsms::practice {
namespace {

// Code-page text with accents, the euro sign and other characters of
// 0x80..0x9F, which take a code unit above U+00FF.
const std::string kCodePageText = "Pàssword è € Œ ‰ “ok” ß ÿ 'x' 123";

std::string Utf16LeHex(std::u16string_view text) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (char16_t u : text) {
    for (unsigned byte : {unsigned(u & 0xFF), unsigned(u >> 8)}) {
      out += kDigits[byte >> 4];
      out += kDigits[byte & 0xF];
    }
  }
  return out;
}

std::u16string HexToUtf16(const std::string& hex) {
  std::u16string out;
  for (std::size_t i = 0; i + 4 <= hex.size(); i += 4) {
    const unsigned lo = std::stoul(hex.substr(i, 2), nullptr, 16);
    const unsigned hi = std::stoul(hex.substr(i + 2, 2), nullptr, 16);
    out += static_cast<char16_t>(lo | (hi << 8));
  }
  return out;
}

class CredentialProtection : public ::testing::Test {
 protected:
  CredentialCipher cipher_;
};

TEST_F(CredentialProtection, EmptyTextStaysEmptyWithoutTouchingTheCipher) {
  EXPECT_EQ(CriptaHex(cipher_, ""), "");
  EXPECT_EQ(DecriptaHex(cipher_, ""), "");
  EXPECT_EQ(Cripta(cipher_, ""), "");
  EXPECT_EQ(Decripta(cipher_, ""), "");
  EXPECT_EQ(cipher_.key_derivations(), 0u);
}

TEST_F(CredentialProtection, CodePageTextRoundTripsInBothForms) {
  EXPECT_EQ(DecriptaHex(cipher_, CriptaHex(cipher_, kCodePageText)), kCodePageText);
  EXPECT_EQ(Decripta(cipher_, Cripta(cipher_, kCodePageText)), kCodePageText);
  const std::string json = R"({"user":"studio","pwd":"s3gr€to"})";
  EXPECT_EQ(DecriptaHex(cipher_, CriptaHex(cipher_, json)), json);
  std::string long_text;
  for (int i = 0; i < 400; ++i) long_text += kCodePageText;
  EXPECT_EQ(DecriptaHex(cipher_, CriptaHex(cipher_, long_text)), long_text);
}

TEST_F(CredentialProtection, CharactersOutsideTheCodePageBecomeQuestionMarks) {
  EXPECT_EQ(DecriptaHex(cipher_, CriptaHex(cipher_, "a漢Ωb😀")), "a??b?");
  EXPECT_EQ(Decripta(cipher_, Cripta(cipher_, "Ω")), "?");
}

TEST_F(CredentialProtection, HexFormHasFourUpperCaseDigitsPerByte) {
  bool saw_high_unit = false;
  // Enough ciphertext bytes that some fall in 0x80..0x9F.
  for (int round = 0; round < 8; ++round) {
    const std::string hex = CriptaHex(cipher_, kCodePageText);
    ASSERT_EQ(hex.size() % 4, 0u);
    ASSERT_EQ(hex.find_first_not_of("0123456789ABCDEF"), std::string::npos) << hex;
    for (std::size_t i = 0; i < hex.size(); i += 4) {
      const std::string group = hex.substr(i, 4);
      if (group.substr(2) == "00") continue;
      // Only the code page's characters of bytes 0x80..0x9F lie above U+00FF.
      const char16_t unit = HexToUtf16(group)[0];
      unsigned char byte = 0;
      ASSERT_TRUE(platform::Utf16ToCp1252Byte(unit, &byte)) << group;
      EXPECT_GE(byte, 0x80);
      EXPECT_LE(byte, 0x9F);
      saw_high_unit = true;
    }
  }
  EXPECT_TRUE(saw_high_unit);
}

TEST_F(CredentialProtection, HexAndPlainFormsCarryTheSameText) {
  // Hex form -> its UTF-16 text -> plain form.
  const std::string hex = CriptaHex(cipher_, kCodePageText);
  const std::string plain = platform::Utf16ToUtf8(HexToUtf16(hex));
  EXPECT_EQ(plain.find("\xEF\xBF\xBD"), std::string::npos);  // no U+FFFD
  EXPECT_EQ(Decripta(cipher_, plain), kCodePageText);

  // Plain form -> UTF-16LE memory in hex -> hex form.
  const std::string plain2 = Cripta(cipher_, kCodePageText);
  EXPECT_EQ(DecriptaHex(cipher_, Utf16LeHex(platform::Utf8ToUtf16(plain2))), kCodePageText);
}

TEST_F(CredentialProtection, HexDigitsAreReadInEitherCase) {
  std::string hex = CriptaHex(cipher_, "abc");
  for (char& c : hex) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  EXPECT_EQ(DecriptaHex(cipher_, hex), "abc");
}

TEST_F(CredentialProtection, TwoEncryptionsDifferButBothDecrypt) {
  const std::string a = CriptaHex(cipher_, "segreto");
  const std::string b = CriptaHex(cipher_, "segreto");
  EXPECT_NE(a, b);
  EXPECT_EQ(DecriptaHex(cipher_, a), "segreto");
  EXPECT_EQ(DecriptaHex(cipher_, b), "segreto");
}

TEST_F(CredentialProtection, MalformedOrDamagedValuesGiveEmptyText) {
  const std::string hex = CriptaHex(cipher_, "segreto");
  std::string flipped = hex;
  flipped[hex.size() / 2] = flipped[hex.size() / 2] == '1' ? '2' : '1';

  for (const std::string& bad : {
           flipped,
           hex.substr(0, hex.size() - 4),     // tag cut short
           hex.substr(4),                     // version byte missing
           hex.substr(0, hex.size() - 1),     // odd length
           hex.substr(0, hex.size() - 2),     // half a code unit
           "G" + hex.substr(1),               // not a hex digit
           hex.substr(0, 8) + "0001" + hex.substr(12),  // U+0100: no code-page byte
           std::string("4100"),
           std::string("zz"),
       }) {
    EXPECT_EQ(DecriptaHex(cipher_, bad), "") << bad;
  }

  const std::string plain = Cripta(cipher_, "segreto");
  EXPECT_EQ(Decripta(cipher_, plain.substr(0, plain.size() - 1)), "");
  EXPECT_EQ(Decripta(cipher_, "testo qualsiasi non cifrato, lungo abbastanza da passare"), "");
  EXPECT_EQ(Decripta(cipher_, "Ω" + plain.substr(2)), "");
  EXPECT_EQ(Decripta(cipher_, "\xFF\xFE invalid UTF-8"), "");
}

TEST_F(CredentialProtection, OtherPassphraseCannotDecrypt) {
  CredentialCipher other("altra-frase");
  EXPECT_EQ(DecriptaHex(other, CriptaHex(cipher_, "segreto")), "");
  EXPECT_EQ(Decripta(cipher_, Cripta(other, "segreto")), "");
}

TEST_F(CredentialProtection, KeysAreDerivedOncePerSalt) {
  const std::string a = CriptaHex(cipher_, "uno");
  const std::string b = CriptaHex(cipher_, "due");
  EXPECT_EQ(cipher_.key_derivations(), 1u);
  EXPECT_EQ(DecriptaHex(cipher_, a), "uno");
  EXPECT_EQ(DecriptaHex(cipher_, b), "due");
  EXPECT_EQ(cipher_.key_derivations(), 1u);  // its own salt needs no new key

  // Another instance (another process, in effect) derives the key of that
  // salt once and then keeps it.
  CredentialCipher reader;
  EXPECT_EQ(DecriptaHex(reader, a), "uno");
  EXPECT_EQ(DecriptaHex(reader, b), "due");
  EXPECT_EQ(DecriptaHex(reader, a), "uno");
  EXPECT_EQ(reader.key_derivations(), 1u);
}

TEST_F(CredentialProtection, FailedDecryptionDoesNotCacheItsKey) {
  CredentialCipher other("altra-frase");
  const std::string foreign = CriptaHex(other, "x");
  EXPECT_EQ(DecriptaHex(cipher_, foreign), "");
  EXPECT_EQ(DecriptaHex(cipher_, foreign), "");
  EXPECT_EQ(cipher_.key_derivations(), 2u);
}

TEST_F(CredentialProtection, ConcurrentUseSharesOneKey) {
  std::vector<std::thread> threads;
  std::vector<int> failures(4, 0);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 20; ++i) {
        const std::string text = "t" + std::to_string(t) + "-" + std::to_string(i) + " €";
        if (DecriptaHex(cipher_, CriptaHex(cipher_, text)) != text) ++failures[t];
      }
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(failures, std::vector<int>(4, 0));
  EXPECT_EQ(cipher_.key_derivations(), 1u);
}

TEST(ColumnKey, QuotedAsSqlLiteralOnceForTheProcess) {
  ColumnKeyCache cache;
  EXPECT_EQ(cache.Get("O'Key''x"), "'O''Key''''x'");
  EXPECT_EQ(cache.Get("altra"), "'O''Key''''x'");
  EXPECT_EQ(&cache.Get("altra"), &cache.Get("ancora"));

  platform::Installation first;
  first.column_key = "chiave'1";
  platform::Installation second;
  second.column_key = "chiave2";
  EXPECT_EQ(ChiaveAnagrafica(first), "'chiave''1'");
  EXPECT_EQ(ChiaveAnagrafica(second), "'chiave''1'");
}

TEST(ColumnKey, RefusesKeysThatWouldBreakTheLiteral) {
  ColumnKeyCache cache;
  EXPECT_THROW(cache.Get("abc\\"), CredentialError);
  EXPECT_THROW(cache.Get(std::string("a\0b", 3)), CredentialError);
  // Nothing was kept: a corrected key is taken.
  EXPECT_EQ(cache.Get("abc"), "'abc'");
}

}  // namespace
}  // namespace oxsms::practice
