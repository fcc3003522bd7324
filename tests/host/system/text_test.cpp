#include "system/text.h"

#include <gtest/gtest.h>

#include <string>

namespace corvane {
namespace {

// Greek, CJK and an emoji outside the BMP: one, two, three and four UTF-8 bytes a character.
const std::string kMixed = "A\xCE\xB1\xCE\xB2 \xE4\xB8\xAD\xF0\x9F\x98\x80z";

TEST(TextTest, ValidTextRoundTripsAndMatchesTheExpectedUnits) {
  const std::u16string units = Utf8ToUtf16(kMixed);
  const std::u16string expected = {u'A', 0x03B1, 0x03B2, u' ', 0x4E2D, 0xD83D, 0xDE00, u'z'};
  EXPECT_EQ(units, expected);
  EXPECT_EQ(Utf16ToUtf8(units), kMixed);

  // Boundaries of each encoding length round-trip unchanged.
  for (char32_t cp :
       {0x7Fu, 0x80u, 0x7FFu, 0x800u, 0xD7FFu, 0xE000u, 0xFFFFu, 0x10000u, 0x10FFFFu}) {
    std::u16string one;
    if (cp < 0x10000) {
      one.push_back(static_cast<char16_t>(cp));
    } else {
      one.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
      one.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
    }
    EXPECT_EQ(Utf8ToUtf16(Utf16ToUtf8(one)), one) << std::hex << static_cast<unsigned>(cp);
  }
}

TEST(TextTest, EmptyTextGivesEmptyResults) {
  EXPECT_TRUE(Utf8ToUtf16("").empty());
  EXPECT_TRUE(Utf16ToUtf8(u"").empty());
  EXPECT_EQ(Utf16Length(""), 0u);
}

TEST(TextTest, FoldingLowersAsciiLettersOnly) {
  EXPECT_EQ(Fold(kMixed), "a\xCE\xB1\xCE\xB2 \xE4\xB8\xAD\xF0\x9F\x98\x80z");
  EXPECT_TRUE(SameText("C:\\Program Files\\KVX.exe", "c:\\PROGRAM files\\kvx.EXE"));
  EXPECT_FALSE(SameText("\xC3\x89", "\xC3\xA9"));  // E and e with acute accent
  EXPECT_FALSE(SameText("[", "{"));                  // one bit apart, not letters
  EXPECT_FALSE(SameText("kvx", "kvx.exe"));
  EXPECT_TRUE(StartsWithText("/log=C:\\Setup.LOG", "/LOG="));
  EXPECT_FALSE(StartsWithText("/LO", "/LOG="));
}

TEST(TextTest, LengthCountsNonBmpCharactersTwice) {
  EXPECT_EQ(Utf16Length("abc"), 3u);
  EXPECT_EQ(Utf16Length("\xCE\xB1\xCE\xB2"), 2u);  // two Greek letters, four bytes
  EXPECT_EQ(Utf16Length("\xF0\x9F\x98\x80"), 2u);  // one emoji: a surrogate pair
  EXPECT_EQ(Utf16Length(kMixed), Utf8ToUtf16(kMixed).size());
  EXPECT_EQ(Utf16Length("\xFF\xFE"), 2u);  // each invalid byte is one U+FFFD
}

TEST(TextTest, EmbeddedNulIsKept) {
  const std::string withNul("a\0b", 3);
  EXPECT_EQ(Utf8ToUtf16(withNul), std::u16string(u"a\0b", 3));
  EXPECT_EQ(Utf16ToUtf8(std::u16string(u"a\0b", 3)), withNul);
}

// The platform decoder's handling of malformed input, as observed under Wine (the Win32 test
// compares the two directly); these pin it down on the host.
TEST(TextTest, MalformedInputGivesReplacementCharacters) {
  const char16_t R = 0xFFFD;
  // Stray continuation byte and bytes that never start a sequence.
  EXPECT_EQ(Utf8ToUtf16("a\x80z"), (std::u16string{u'a', R, u'z'}));
  EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), (std::u16string{R, R}));
  EXPECT_EQ(Utf8ToUtf16("\xF5\x80"), (std::u16string{R, R}));
  // Overlong three-byte form and an encoded surrogate stop after their second byte.
  EXPECT_EQ(Utf8ToUtf16("\xE0\x80\xAFz"), (std::u16string{R, R, u'z'}));
  EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80z"), (std::u16string{R, R, u'z'}));
  // Beyond U+10FFFF stops after the third byte.
  EXPECT_EQ(Utf8ToUtf16("\xF4\x90\x80\x80"), (std::u16string{R, R, R}));
  // A bad continuation byte is not swallowed.
  EXPECT_EQ(Utf8ToUtf16("\xE4\xB8z"), (std::u16string{R, u'z'}));
  // A sequence cut short by the end of the text is one replacement.
  EXPECT_EQ(Utf8ToUtf16("z\xF0\x9F\x98"), (std::u16string{u'z', R}));
  // ...and swallows whatever follows the lead byte, even ASCII.
  EXPECT_EQ(Utf8ToUtf16("\xE4z"), (std::u16string{R}));
  EXPECT_EQ(Utf8ToUtf16("\xF0zz"), (std::u16string{R}));
}

TEST(TextTest, UnpairedSurrogatesEncodeAsReplacement) {
  const std::string R = "\xEF\xBF\xBD";
  EXPECT_EQ(Utf16ToUtf8(std::u16string{0xD800}), R);
  EXPECT_EQ(Utf16ToUtf8(std::u16string{0xDC00, u'a'}), R + "a");
  EXPECT_EQ(Utf16ToUtf8(std::u16string{0xD83D, u'a', 0xDE00}), R + "a" + R);
}

}  // namespace
}  // namespace corvane
