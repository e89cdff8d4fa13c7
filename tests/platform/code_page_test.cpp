#include "platform/code_page.h"

#include <gtest/gtest.h>

namespace oxsms::platform {
namespace {

TEST(CodePageTest, Windows1252MapsBothWaysIncludingTheHighControls) {
  EXPECT_EQ(Cp1252ToUtf8("Citt\xE0 \x80 \x93x\x94"), "Citt\u00E0 \u20AC \u201Cx\u201D");
  EXPECT_EQ(Utf8ToCp1252("Citt\u00E0 \u20AC \u201Cx\u201D"), "Citt\xE0 \x80 \x93x\x94");
  EXPECT_EQ(Cp1252ByteToUtf16(0x80), u'\u20AC');
  EXPECT_EQ(Cp1252ByteToUtf16(0x81), u'\u0081');
  unsigned char b = 0;
  EXPECT_TRUE(Utf16ToCp1252Byte(u'\u0178', &b));
  EXPECT_EQ(b, 0x9F);
  EXPECT_FALSE(Utf16ToCp1252Byte(u'\u0100', &b));
}

TEST(CodePageTest, CharactersOutsideTheCodePageBecomeQuestionMarks) {
  EXPECT_EQ(Utf8ToCp1252("\u0141\u00F3d\u017A \U0001F600"), "?\xF3" "d? ?");
}

TEST(CodePageTest, Utf8ValidityRefusesBrokenOverlongAndSurrogateForms) {
  EXPECT_TRUE(IsValidUtf8("Niccol\u00F2 \U0001F600"));
  EXPECT_FALSE(IsValidUtf8("Niccol\xF2"));
  EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));
  EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));
  EXPECT_FALSE(IsValidUtf8("\xE2\x82"));
  EXPECT_EQ(ToUtf8Lenient("Niccol\xF2"), "Niccol\u00F2");
  EXPECT_EQ(ToUtf8Lenient("Niccol\u00F2"), "Niccol\u00F2");
}

TEST(CodePageTest, Utf16RoundTripKeepsSurrogatePairs) {
  const std::string text = "\u00E8 \u20AC \U0001F600";
  const std::u16string wide = Utf8ToUtf16(text);
  EXPECT_EQ(wide.size(), 6u);
  EXPECT_EQ(Utf16ToUtf8(wide), text);
}

}  // namespace
}  // namespace oxsms::platform
