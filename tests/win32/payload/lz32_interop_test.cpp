// The system's LZ32 through Lz32Expander: it must expand what our optimal packer writes, in any
// work folder and as often as the extraction asks, and agree with our decoder on every mode 'A'
// stream. Any byte string is a valid stream, so random streams make a strong differential check
// of the window, the initial fill and the end-of-data rules.
#include "win32/payload/lz32_expander.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "payload/szdd.h"
#include "win32/payload/scratch_folder.h"

namespace corvane {
namespace {

using testing::ScratchFolder;
using testing::WriteAll;
using Bytes = std::vector<std::uint8_t>;

Bytes RandomishBytes(std::size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  Bytes b(n);
  // Runs and noise, so that both references and literals occur.
  for (std::size_t i = 0; i < n; ++i) {
    b[i] = (rng() % 4 == 0) ? static_cast<std::uint8_t>(rng()) : static_cast<std::uint8_t>(i / 7);
  }
  return b;
}

// A work folder deeper than OpenFile's 128 characters, named in Greek at two levels.
std::string LongGreekLeaf() {
  const std::string user = "\xCE\x9C\xCE\xB1\xCF\x81\xCE\xAF\xCE\xB1";  // a user name
  const std::string word =
      "\xCE\xB5\xCE\xB3\xCE\xBA\xCE\xB1\xCF\x84\xCE\xAC\xCF\x83\xCF\x84"
      "\xCE\xB1\xCF\x83\xCE\xB7";  // "installation"
  return user + "\\AppData\\Local\\" + word + " " + word + " " + word + "\\" +
         "a folder name long enough to pass the limit of one hundred and twenty-eight";
}

Bytes WithHeader(const Bytes& lz, std::uint32_t length) {
  Bytes file(kSzddMagic.begin(), kSzddMagic.end());
  file.push_back(kSzddModeA);
  file.push_back(0);
  for (int k = 0; k < 4; ++k) file.push_back(static_cast<std::uint8_t>(length >> (8 * k)));
  file.insert(file.end(), lz.begin(), lz.end());
  return file;
}

void PutRef(Bytes& lz, unsigned p, unsigned length) {
  lz.push_back(static_cast<std::uint8_t>(p & 0xFF));
  lz.push_back(static_cast<std::uint8_t>(((p >> 4) & 0xF0) | (length - 3)));
}

class Lz32Interop : public ::testing::Test {
 protected:
  // Writes an SZDD file to `path` and expands it through LZ32 (empty on failure).
  Bytes SystemExpand(const Bytes& file, std::size_t capacity) {
    return SystemExpandAt(path_, file, capacity);
  }
  Bytes SystemExpandAt(const std::string& path, const Bytes& file, std::size_t capacity) {
    EXPECT_TRUE(WriteAll(path, file));
    Bytes out(capacity);
    const long n = lz_.Expand(path, out);
    out.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return out;
  }
  Bytes OurExpand(const Bytes& file, std::size_t capacity) {
    Bytes out(capacity);
    const long n = SzddExpand(file, out);
    out.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return out;
  }

  ScratchFolder dir_{"interop"};
  std::string path_ = dir_.Path() + "prog.tmp";
  Lz32Expander lz_;
};

TEST_F(Lz32Interop, HandMadeStreamsExpandAlike) {
  std::vector<Bytes> streams;
  Bytes wrap = {0x00};
  PutRef(wrap, 4090, 18);  // fill across the window's end
  PutRef(wrap, 4080, 18);  // the bytes just written, overlapping
  streams.push_back(wrap);
  Bytes mixed = {0x03, 'a', 'b'};
  PutRef(mixed, 4078, 6);  // two fill spaces, then its own output
  PutRef(mixed, 4081, 18);
  streams.push_back(mixed);
  Bytes ring;  // more than a window of literals, then references to overwritten positions
  for (int k = 0; k < 4104; ++k) {
    if (k % 8 == 0) ring.push_back(0xFF);
    ring.push_back(static_cast<std::uint8_t>(k * 13 + k / 256));
  }
  ring.push_back(0x00);
  PutRef(ring, 4080, 18);
  PutRef(ring, 7, 5);
  PutRef(ring, 4095, 10);
  streams.push_back(ring);
  for (const Bytes& lz : streams) {
    const Bytes file = WithHeader(lz, 0);
    const Bytes ours = OurExpand(file, 10000);
    ASSERT_FALSE(ours.empty());
    EXPECT_EQ(SystemExpand(file, 10000), ours);
  }
}

TEST_F(Lz32Interop, RandomStreamsExpandAlike) {
  std::mt19937 rng(2024);
  int compared = 0;
  for (int trial = 0; trial < 120; ++trial) {
    Bytes lz(1 + rng() % 3000);
    for (auto& b : lz) b = static_cast<std::uint8_t>(rng());
    // Mostly references sometimes, mostly literals other times.
    const unsigned bias = trial % 3;
    for (std::size_t k = 0; k < lz.size(); k += 17) {
      if (bias == 0) lz[k] = 0;
      if (bias == 1) lz[k] = 0xFF;
    }
    const Bytes file = WithHeader(lz, 0);
    const Bytes ours = OurExpand(file, 64000);
    if (ours.empty()) continue;  // nothing to compare: LZ32 reports an empty result as failure
    EXPECT_EQ(SystemExpand(file, 64000), ours) << "trial " << trial;
    ++compared;
  }
  EXPECT_GE(compared, 110);
}

TEST_F(Lz32Interop, SystemExpandsOurOptimalPacking) {
  for (std::size_t size : {1u, 17u, 4096u, 4113u, 70000u, 400000u}) {
    const Bytes data = RandomishBytes(size, static_cast<unsigned>(size));
    EXPECT_EQ(SystemExpand(SzddCompress(data), size + 1), data) << size;
  }
  const Bytes spaces(9000, ' ');  // references into the initial space fill
  EXPECT_EQ(SystemExpand(SzddCompress(spaces), spaces.size() + 1), spaces);
  // Text with repeats at all distances, a block repeated exactly one window later, runs of
  // spaces (matched against the initial fill) and zeros.
  std::mt19937 rng(5);
  Bytes data;
  static const char* const kWords[] = {"search ", "compare ", "kvx ", "\r\n", "        "};
  while (data.size() < 30000) {
    const std::string w = kWords[rng() % 5];
    data.insert(data.end(), w.begin(), w.end());
  }
  Bytes block(4096);
  for (auto& b : block) b = static_cast<std::uint8_t>(rng());
  data.insert(data.end(), block.begin(), block.end());
  data.insert(data.end(), block.begin(), block.begin() + 300);
  data.insert(data.end(), 5000, 0);
  EXPECT_EQ(SystemExpand(SzddCompress(data), data.size() + 1), data);
}

TEST_F(Lz32Interop, WorksInALongNonAsciiWorkFolder) {
  ScratchFolder dir(LongGreekLeaf());
  ASSERT_TRUE(dir.Exists());
  const std::string path = dir.Path() + "prog.tmp";
  ASSERT_GT(path.size(), 200u);  // well past 128 characters, also counted in UTF-16 units
  const Bytes data = RandomishBytes(50000, 7);
  EXPECT_EQ(SystemExpandAt(path, SzddCompress(data), data.size() + 1), data);
}

TEST_F(Lz32Interop, ManyExpansionsInARowCloseEveryHandle) {
  // The system keeps at most 16 LZ handles open; a leak would fail the 17th. The file must
  // also be free for rewriting each time, which a leaked deny-write handle would prevent.
  for (int i = 0; i < 40; ++i) {
    const Bytes data = RandomishBytes(1000 + static_cast<std::size_t>(i), static_cast<unsigned>(i));
    ASSERT_EQ(SystemExpand(SzddCompress(data), 4096), data) << "expansion " << i;
  }
  // Failing expansions must not leak either: a missing file, a file without the SZDD header.
  Bytes out(200);
  EXPECT_LE(lz_.Expand(dir_.Path() + "missing.tmp", out), 0);
  const std::string plain = dir_.Path() + "plain.txt";
  ASSERT_TRUE(WriteAll(plain, Bytes(100, 'p')));
  for (int i = 0; i < 20; ++i) ASSERT_LE(lz_.Expand(plain, out), 0) << i;
  EXPECT_TRUE(DeleteFileW(ToWide(plain).c_str()));
  const Bytes data = RandomishBytes(3000, 99);
  EXPECT_EQ(SystemExpand(SzddCompress(data), 4096), data);
  // A file longer than the buffer delivers what fits; the extraction asks for one byte more
  // than it accepts to see this.
  EXPECT_EQ(SystemExpand(SzddCompress(data), 301), Bytes(data.begin(), data.begin() + 301));
}

// LZ32's handles start at 0x400; a file handle of that value used to make an SZDD file look
// like one LZ32 hands back unexpanded.
TEST_F(Lz32Interop, FileHandleOfTheFirstLzHandleValue) {
  const Bytes data = RandomishBytes(5000, 11);
  ASSERT_TRUE(WriteAll(path_, SzddCompress(data)));
  // Take every handle value up to 0x400, then free that one: the next open gets it.
  const HANDLE wanted = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(0x400));
  std::vector<HANDLE> taken;
  for (int i = 0; i < 2000; ++i) {
    HANDLE h = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (h == nullptr) break;
    taken.push_back(h);
    if (h == wanted) break;
  }
  ASSERT_FALSE(taken.empty());
  ASSERT_EQ(taken.back(), wanted) << "handle values are not handed out in order here";
  CloseHandle(taken.back());
  taken.pop_back();
  Bytes out(data.size() + 1);
  const long n = lz_.Expand(path_, out);
  for (HANDLE h : taken) CloseHandle(h);
  ASSERT_EQ(n, static_cast<long>(data.size()));
  out.resize(data.size());
  EXPECT_EQ(out, data);
}

}  // namespace
}  // namespace corvane
