#include "payload/szdd.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace corvane {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes FromString(const std::string& s) { return Bytes(s.begin(), s.end()); }

Bytes RandomBytes(std::size_t n, unsigned seed, int alphabet = 256) {
  std::mt19937 rng(seed);
  Bytes out(n);
  for (auto& b : out) b = static_cast<std::uint8_t>(rng() % static_cast<unsigned>(alphabet));
  return out;
}

// Text-like data with many repeats at varying distances.
Bytes Wordy(std::size_t n, unsigned seed) {
  static const char* const kWords[] = {"the ", "search ", "compare ", "file ", "utility ",
                                       "\r\n", "window ", "folder ",  "    ",  "0x00, "};
  std::mt19937 rng(seed);
  Bytes out;
  while (out.size() < n) {
    const char* w = kWords[rng() % 10];
    out.insert(out.end(), w, w + std::strlen(w));
  }
  out.resize(n);
  return out;
}

Bytes Expand(const Bytes& file, std::size_t cap, long* result = nullptr) {
  Bytes out(cap);
  const long got = SzddExpand(file, out);
  if (result) *result = got;
  out.resize(got < 0 ? 0 : static_cast<std::size_t>(got));
  return out;
}

void ExpectRoundTrip(const Bytes& data) {
  const Bytes file = SzddCompress(data);
  ASSERT_GE(file.size(), kSzddHeaderSize);
  long got = 0;
  const Bytes back = Expand(file, data.size() + 1, &got);
  ASSERT_EQ(got, static_cast<long>(data.size()));
  EXPECT_TRUE(back == data) << "round trip differs, size " << data.size();
  EXPECT_EQ(SzddExpandedLength(file), static_cast<long long>(data.size()));
}

Bytes Header(std::uint32_t expandedLength = 0) {
  Bytes h(kSzddMagic.begin(), kSzddMagic.end());
  h.push_back('A');
  h.push_back(0);
  for (int k = 0; k < 4; ++k) h.push_back(static_cast<std::uint8_t>(expandedLength >> (8 * k)));
  return h;
}

// Reference to absolute window position p with the given length.
void PutRef(Bytes& lz, unsigned p, unsigned length) {
  lz.push_back(static_cast<std::uint8_t>(p & 0xFF));
  lz.push_back(static_cast<std::uint8_t>(((p >> 4) & 0xF0) | (length - 3)));
}

// ---- Header and file layout ------------------------------------------------------------

TEST(SzddCompress, WritesModeAHeaderWithLength) {
  const Bytes file = SzddCompress(FromString("hello hello hello"));
  ASSERT_GE(file.size(), 14u);
  EXPECT_TRUE(std::equal(kSzddMagic.begin(), kSzddMagic.end(), file.begin()));
  EXPECT_EQ(file[8], 'A');
  EXPECT_EQ(file[9], 0);
  EXPECT_EQ(file[10], 17);
  EXPECT_EQ(file[11] | file[12] | file[13], 0);
}

TEST(SzddExpand, RejectsBadHeaders) {
  Bytes out(64);
  Bytes file = Header();
  file.push_back(0xFF);
  file.push_back('x');
  EXPECT_EQ(SzddExpand(file, out), 1);

  Bytes badMagic = file;
  badMagic[5] ^= 1;
  EXPECT_EQ(SzddExpand(badMagic, out), -1);
  Bytes badMode = file;
  badMode[8] = 'B';
  EXPECT_EQ(SzddExpand(badMode, out), -1);
  EXPECT_EQ(SzddExpand(Bytes(file.begin(), file.begin() + 13), out), -1);
  EXPECT_EQ(SzddExpand(Bytes{}, out), -1);
  EXPECT_EQ(SzddExpandedLength(badMode), -1);
}

TEST(SzddExpand, IgnoresTheExpandedLengthField) {
  Bytes file = Header(999);
  file.push_back(0x07);
  for (char c : std::string("abc")) file.push_back(static_cast<std::uint8_t>(c));
  EXPECT_EQ(Expand(file, 100), FromString("abc"));
  EXPECT_EQ(SzddExpandedLength(file), 999);
}

// ---- Hand-made decoder vectors -----------------------------------------------------------

TEST(LzaDecode, LiteralsUseControlBitsLowestFirst) {
  // 0b101: literal, reference (3 spaces from the fill), literal.
  Bytes lz = {0x05, 'x'};
  PutRef(lz, 0, 3);
  lz.push_back('y');
  Bytes out(16);
  ASSERT_EQ(LzaDecode(lz, out), 5);
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 5), FromString("x   y"));
}

TEST(LzaDecode, ReferenceIntoInitialFillGivesSpaces) {
  Bytes lz = {0x00};
  PutRef(lz, 4095, 18);  // wraps from the window's end to its start, all fill
  PutRef(lz, 100, 5);
  Bytes out(64);
  ASSERT_EQ(LzaDecode(lz, out), 23);
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 23), Bytes(23, ' '));
}

TEST(LzaDecode, ReferenceMixingFillAndOutput) {
  // After "ab" (window 4080, 4081), a reference from 4078 reads two fill spaces, then the
  // output it has just produced: ' ', ' ', 'a', 'b', ' ', ' '.
  Bytes lz = {0x03, 'a', 'b'};
  PutRef(lz, 4078, 6);
  Bytes out(32);
  ASSERT_EQ(LzaDecode(lz, out), 8);
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 8), FromString("ab  ab  "));
}

TEST(LzaDecode, OverlappingReferencesRepeatPatterns) {
  Bytes lz = {0x03, 'a', 'b'};
  PutRef(lz, 4080, 18);  // distance 2: "ab" repeated
  PutRef(lz, 4081, 4);   // distance 19 from position 20: b a b a
  Bytes out(64);
  ASSERT_EQ(LzaDecode(lz, out), 24);
  std::string expect;
  for (int k = 0; k < 10; ++k) expect += "ab";
  expect += "baba";
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 24), FromString(expect));
}

TEST(LzaDecode, WindowWrapsAfter4096Bytes) {
  // 4104 literals, then a reference to window position 4080 (the first byte written, now
  // overwritten by byte 4096) and one to position 4 (byte 20).
  Bytes data(4104);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 7);
  Bytes lz;
  for (std::size_t i = 0; i < data.size(); ++i) {
    if (i % 8 == 0) lz.push_back(0xFF);
    lz.push_back(data[i]);
  }
  lz.push_back(0x00);
  PutRef(lz, 4080, 3);
  PutRef(lz, 4, 3);
  Bytes out(5000);
  ASSERT_EQ(LzaDecode(lz, out), 4110);
  for (std::size_t k = 0; k < 3; ++k) {
    EXPECT_EQ(out[4104 + k], data[4096 + k]);
    EXPECT_EQ(out[4107 + k], data[20 + k]);
  }
}

TEST(LzaDecode, TruncatedInputEndsExpansion) {
  Bytes lz = {0x01, 'z'};
  PutRef(lz, 0, 3);
  Bytes out(16);
  EXPECT_EQ(LzaDecode(lz, out), 4);
  lz.pop_back();  // a reference with only one byte left ends the data
  EXPECT_EQ(LzaDecode(lz, out), 1);
  EXPECT_EQ(LzaDecode(Bytes{0xFF, 'a', 'b'}, out), 2);  // ends within a control byte
  EXPECT_EQ(LzaDecode(Bytes{0xFF}, out), 0);
  EXPECT_EQ(LzaDecode(Bytes{}, out), 0);
}

TEST(LzaDecode, TooLargeOutputIsMinusOne) {
  const Bytes data = Wordy(5000, 3);
  const Bytes lz = LzaEncode(data);
  for (std::size_t cap : {std::size_t{0}, std::size_t{1}, std::size_t{100}, data.size() - 1}) {
    Bytes out(cap);
    EXPECT_EQ(LzaDecode(lz, out), -1) << "cap " << cap;
  }
  Bytes exact(data.size());
  EXPECT_EQ(LzaDecode(lz, exact), static_cast<long>(data.size()));
  EXPECT_EQ(exact, data);
  // A single reference that would cross the end, and a literal after a full buffer.
  Bytes ref = {0x00};
  PutRef(ref, 0, 10);
  Bytes nine(9);
  EXPECT_EQ(LzaDecode(ref, nine), -1);
  Bytes one(1);
  EXPECT_EQ(LzaDecode(Bytes{0xFF, 'a', 'b'}, one), -1);
}

TEST(LzaDecode, NeverWritesPastTheGivenSpan) {
  // The fast path copies 18 bytes at a time; a guard area after a short span must stay intact.
  const Bytes data = Wordy(3000, 9);
  const Bytes lz = LzaEncode(data);
  for (std::size_t cap = data.size() - 40; cap <= data.size() + 40; ++cap) {
    Bytes buffer(cap + 64, 0xEE);
    const long got = LzaDecode(lz, std::span<std::uint8_t>(buffer.data(), cap));
    EXPECT_EQ(got, cap >= data.size() ? static_cast<long>(data.size()) : -1);
    EXPECT_TRUE(std::all_of(buffer.begin() + static_cast<long>(cap), buffer.end(),
                            [](std::uint8_t b) { return b == 0xEE; }))
        << "cap " << cap;
  }
}

TEST(LzaDecode, TruncatingAnyValidStreamGivesAPrefix) {
  const Bytes data = Wordy(700, 5);
  const Bytes lz = LzaEncode(data);
  Bytes out(data.size());
  for (std::size_t cut = 0; cut <= lz.size(); ++cut) {
    const long got = LzaDecode(std::span<const std::uint8_t>(lz.data(), cut), out);
    ASSERT_GE(got, 0);
    ASSERT_TRUE(std::equal(out.begin(), out.begin() + got, data.begin())) << "cut " << cut;
  }
}

// ---- Round trips -------------------------------------------------------------------------

TEST(SzddRoundTrip, SmallAndBoundarySizes) {
  ExpectRoundTrip({});
  ExpectRoundTrip({0x41});
  ExpectRoundTrip({0x20});
  for (std::size_t n :
       {2, 3, 7, 8, 9, 15, 16, 17, 18, 19, 4079, 4080, 4095, 4096, 4097, 8191, 8192, 8193}) {
    ExpectRoundTrip(RandomBytes(n, static_cast<unsigned>(n)));
    ExpectRoundTrip(RandomBytes(n, static_cast<unsigned>(n) + 1, 3));
    ExpectRoundTrip(Wordy(n, static_cast<unsigned>(n)));
  }
}

TEST(SzddRoundTrip, RepetitiveAndSpaceData) {
  ExpectRoundTrip(Bytes(100000, 0));
  ExpectRoundTrip(Bytes(100000, ' '));
  Bytes pattern;
  for (int k = 0; k < 50000; ++k) pattern.push_back(static_cast<std::uint8_t>("abcabd"[k % 6]));
  ExpectRoundTrip(pattern);
  // Runs of spaces are found in the initial fill: 4096 spaces need no literal at all.
  const Bytes spaces = SzddCompress(Bytes(4096, ' '));
  EXPECT_EQ(spaces.size(), kSzddHeaderSize + LzaEncodedSize(0, (4096 + 17) / 18));
}

TEST(SzddRoundTrip, RandomAndStructuredBinary) {
  for (unsigned seed = 0; seed < 6; ++seed) {
    ExpectRoundTrip(RandomBytes(30000 + seed * 1111, seed));
    ExpectRoundTrip(RandomBytes(30000, seed, 4));
    // Records of a fixed layout with a changing counter, like tables in executables.
    Bytes table;
    for (std::uint32_t k = 0; table.size() < 40000; ++k) {
      const std::uint32_t v = k * 2654435761u >> (seed * 3);
      for (int b = 0; b < 4; ++b) table.push_back(static_cast<std::uint8_t>(v >> (8 * b)));
      for (int b = 0; b < 12; ++b) table.push_back(static_cast<std::uint8_t>(b == 3 ? k : 0));
    }
    ExpectRoundTrip(table);
  }
}

TEST(SzddRoundTrip, CompressesRedundantData) {
  const Bytes text = Wordy(50000, 1);
  EXPECT_LT(SzddCompress(text).size(), text.size() / 3);
  const Bytes noise = RandomBytes(50000, 2);
  // Noise costs about one control byte per 8 literals; the odd chance match can only help.
  const std::size_t allLiterals = kSzddHeaderSize + LzaEncodedSize(50000, 0);
  EXPECT_LE(SzddCompress(noise).size(), allLiterals);
  EXPECT_GT(SzddCompress(noise).size(), allLiterals - 100);
}

// ---- Match finding and optimality ----------------------------------------------------------

// Longest match at every position by trying every distance.
std::vector<std::size_t> BruteLongest(const Bytes& data) {
  std::vector<std::size_t> result(data.size());
  for (std::size_t i = 0; i < data.size(); ++i) {
    const std::size_t limit = std::min(kLzMaxMatch, data.size() - i);
    std::size_t best = 0;
    for (std::size_t d = 1; d <= kLzWindowSize && best < limit; ++d) {
      std::size_t len = 0;
      while (len < limit) {
        const std::uint8_t src = i + len >= d ? data[i + len - d] : ' ';
        if (src != data[i + len]) break;
        ++len;
      }
      best = std::max(best, len);
    }
    result[i] = best >= kLzMinMatch ? best : 0;
  }
  return result;
}

bool MatchAt(const Bytes& data, std::size_t i, std::size_t len, std::size_t d) {
  for (std::size_t k = 0; k < len; ++k) {
    const std::uint8_t src = i + k >= d ? data[i + k - d] : ' ';
    if (i + k >= data.size() || src != data[i + k]) return false;
  }
  return true;
}

void ExpectLongestMatchesExact(const Bytes& data) {
  const LzaMatches found = LzaLongestMatches(data);
  const std::vector<std::size_t> expect = BruteLongest(data);
  for (std::size_t i = 0; i < data.size(); ++i) {
    ASSERT_EQ(found.length[i], expect[i]) << "position " << i;
    if (expect[i] != 0) {
      ASSERT_GE(found.distance[i], 1);
      ASSERT_LE(found.distance[i], kLzWindowSize);
      ASSERT_TRUE(MatchAt(data, i, found.length[i], found.distance[i])) << "position " << i;
    }
  }
}

TEST(LzaLongestMatches, AgreeWithExhaustiveSearch) {
  ExpectLongestMatchesExact(Wordy(7000, 4));
  ExpectLongestMatchesExact(RandomBytes(7000, 5, 2));
  ExpectLongestMatchesExact(RandomBytes(6000, 6, 5));
  Bytes spacesAndMore(6000, ' ');
  for (std::size_t k = 0; k < spacesAndMore.size(); k += 37) spacesAndMore[k] = 'x';
  ExpectLongestMatchesExact(spacesAndMore);
  // Matches exactly 4096 back and just beyond it.
  Bytes far = RandomBytes(4096 + 40, 7);
  std::copy(far.begin() + 10, far.begin() + 30, far.begin() + 4106);
  ExpectLongestMatchesExact(far);
}

// Smallest exact byte size over every parse. `reachable[i][len]`: some distance in the
// window gives a match of `len` bytes at i (found by trying every distance).
using Reach = std::vector<std::vector<bool>>;

Reach Reachable(const Bytes& data) {
  Reach reach(data.size(), std::vector<bool>(kLzMaxMatch + 1, false));
  for (std::size_t i = 0; i < data.size(); ++i)
    for (std::size_t len = kLzMinMatch; len <= kLzMaxMatch && i + len <= data.size(); ++len)
      for (std::size_t d = 1; d <= kLzWindowSize && !reach[i][len]; ++d)
        reach[i][len] = MatchAt(data, i, len, d);
  return reach;
}

void Search(const Reach& reach, std::size_t i, std::size_t lits, std::size_t refs,
            std::size_t& best) {
  if (i == reach.size()) {
    best = std::min(best, LzaEncodedSize(lits, refs));
    return;
  }
  Search(reach, i + 1, lits + 1, refs, best);
  for (std::size_t len = kLzMinMatch; len <= kLzMaxMatch && i + len <= reach.size(); ++len)
    if (reach[i][len]) Search(reach, i + len, lits, refs + 1, best);
}

TEST(LzaOptimalParse, MatchesExhaustiveSearchOnSmallInputs) {
  std::mt19937 rng(11);
  for (int trial = 0; trial < 250; ++trial) {
    const std::size_t n = 1 + rng() % 12;
    const int alphabet = 1 + static_cast<int>(rng() % 3);
    Bytes data(n);
    for (auto& b : data) b = static_cast<std::uint8_t>("a b"[rng() % alphabet]);
    std::size_t best = SIZE_MAX;
    Search(Reachable(data), 0, 0, 0, best);
    const Bytes lz = LzaEncode(data);
    ASSERT_EQ(lz.size(), best) << "input '" << std::string(data.begin(), data.end()) << "'";
    Bytes out(n);
    ASSERT_EQ(LzaDecode(lz, out), static_cast<long>(n));
    ASSERT_EQ(out, data);
  }
}

TEST(LzaOptimalParse, EveryItemIsAValidMatch) {
  const Bytes data = Wordy(20000, 8);
  const std::vector<LzaItem> parse = LzaOptimalParse(data);
  std::size_t pos = 0;
  for (const LzaItem& item : parse) {
    if (item.length == 0) {
      ++pos;
      continue;
    }
    ASSERT_GE(item.length, kLzMinMatch);
    ASSERT_LE(item.length, kLzMaxMatch);
    ASSERT_TRUE(MatchAt(data, pos, item.length, item.distance)) << "position " << pos;
    pos += item.length;
  }
  EXPECT_EQ(pos, data.size());
}

}  // namespace
}  // namespace corvane
