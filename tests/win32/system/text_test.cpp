// The portable conversions against the system's own UTF-8 conversion, byte string by byte string.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "system/text.h"
#include "system/win32/wide.h"

namespace corvane {
namespace {

std::u16string SystemDecode(const std::string& bytes) {
  if (bytes.empty()) return std::u16string();
  const int n =
      MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  const int m =
      MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), out.data(), n);
  EXPECT_EQ(n, m);
  return std::u16string(out.begin(), out.end());
}

std::string SystemEncode(const std::u16string& units) {
  if (units.empty()) return std::string();
  const std::wstring w(units.begin(), units.end());
  const int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0,
                                    nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), out.data(), n, nullptr,
                      nullptr);
  return out;
}

std::string Hex(const std::string& bytes) {
  static const char digits[] = "0123456789ABCDEF";
  std::string s;
  for (unsigned char c : bytes) {
    s += digits[c >> 4];
    s += digits[c & 15];
    s += ' ';
  }
  return s;
}

void ExpectSameDecoding(const std::string& bytes) {
  const std::u16string system = SystemDecode(bytes);
  EXPECT_EQ(Utf8ToUtf16(bytes), system) << "input: " << Hex(bytes);
  EXPECT_EQ(Utf16Length(bytes), system.size()) << "input: " << Hex(bytes);
}

TEST(TextVsSystem, TrickyByteStringsDecodeAlike) {
  const std::vector<std::string> cases = {
      "plain ASCII",
      std::string("embedded\0nul", 12),
      "\xCE\xB1\xCE\xB2\xCE\xB3",  // Greek
      "\xF0\x9F\x98\x80",          // outside the BMP
      // stray continuation bytes
      "\x80",
      "\xBF",
      "a\x80\x80z",
      "\xCE\xB1\x80",
      // overlong forms
      "\xC0\x80",
      "\xC1\xBF",
      "\xE0\x80\x80",
      "\xE0\x9F\xBF",
      "\xF0\x80\x80\x80",
      "\xF0\x8F\xBF\xBF",
      "\xC0\xAFz",
      "\xE0\x80\xAFz",
      "\xF0\x80\x80\xAFz",
      // UTF-8-encoded surrogates, single and paired
      "\xED\xA0\x80",
      "\xED\xBF\xBF",
      "\xED\xA0\xBD\xED\xB8\x80",
      "\xED\x9F\xBF",
      // truncated sequences, at the end and in the middle
      "\xC3",
      "\xE4\xB8",
      "\xF0\x9F\x98",
      "\xF0\x9F",
      "\xF0",
      "\xC3z",
      "\xE4\xB8z",
      "\xE4z",
      "\xF0\x9F\x98z",
      "\xF0\x9Fz",
      "\xF0z",
      "\xE4zz",
      "\xF0zzz",
      "\xF0zz",
      "a\xE4\xB8\xE4\xB8\xAD",
      // bytes that never start a sequence
      "\xF5\x80\x80\x80",
      "\xF8\x88\x80\x80\x80",
      "\xFC\x84\x80\x80\x80\x80",
      "\xFE",
      "\xFF",
      "\xFF\xFE",
      // beyond U+10FFFF and the last valid code points
      "\xF4\x90\x80\x80",
      "\xF4\x8F\xBF\xBF",
      "\xF7\xBF\xBF\xBF",
      "\xEF\xBF\xBF",
      "\xEF\xBF\xBE",
      // a bad continuation at each position
      "\xF0\x9F\x98\x41",
      "\xF0\x9F\x41\x80",
      "\xF0\x41\x98\x80",
      "\xE4\x41\xAD",
      "\xE4\xB8\x41",
      "\xF4\x90\x41\x41",
  };
  for (const std::string& c : cases) ExpectSameDecoding(c);
}

TEST(TextVsSystem, RandomByteStringsDecodeAlike) {
  std::mt19937 rng(20130810);
  // Bytes drawn mostly from the interesting ranges: ASCII, continuation bytes, lead bytes.
  const std::vector<unsigned char> pool = {0x00, 0x41, 0x7F, 0x80, 0x8F, 0x90, 0x9F,
                                           0xA0, 0xBF, 0xC0, 0xC1, 0xC2, 0xDF, 0xE0,
                                           0xED, 0xEF, 0xF0, 0xF4, 0xF5, 0xFF};
  for (int i = 0; i < 20000; ++i) {
    std::string s(rng() % 12 + 1, '\0');
    for (char& c : s) {
      c = static_cast<char>(rng() % 3 == 0 ? rng() % 256 : pool[rng() % pool.size()]);
    }
    ExpectSameDecoding(s);
    if (HasFailure()) break;  // one bad case is enough to see the difference
  }
}

TEST(TextVsSystem, RandomUnitArraysEncodeAlike) {
  std::mt19937 rng(1376119200);
  const std::vector<char16_t> pool = {0x0041, 0x00E9, 0x07FF, 0x0800, 0xD7FF, 0xD800, 0xDBFF,
                                      0xDC00, 0xDFFF, 0xE000, 0xFFFD, 0xFFFF, 0x0000};
  for (int i = 0; i < 20000; ++i) {
    std::u16string s(rng() % 8 + 1, u'\0');
    for (char16_t& c : s) {
      c = rng() % 3 == 0 ? static_cast<char16_t>(rng() % 65536) : pool[rng() % pool.size()];
    }
    EXPECT_EQ(Utf16ToUtf8(s), SystemEncode(s));
    if (HasFailure()) break;
  }
}

TEST(WideTest, ConvertsBothWays) {
  const std::string greek = "C:\\\xCE\xA7\xCF\x81\xCE\xAE\xCF\x83\xCF\x84\xCE\xB7\xCF\x82";
  const std::wstring wide = ToWide(greek);
  EXPECT_EQ(wide, L"C:\\\u03A7\u03C1\u03AE\u03C3\u03C4\u03B7\u03C2");
  EXPECT_EQ(FromWide(wide), greek);
  EXPECT_EQ(FromWide(wide.c_str()), greek);
  EXPECT_EQ(FromWide(static_cast<const wchar_t*>(nullptr)), "");
  EXPECT_TRUE(ToWide("").empty());
}

}  // namespace
}  // namespace corvane
