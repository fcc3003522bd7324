#include "win32/payload/lz32_expander.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "payload/szdd.h"
#include "win32/payload/scratch_folder.h"

namespace corvane {
namespace {

using testing::ReadAll;
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

class Lz32ExpanderTest : public ::testing::Test {
 protected:
  // Compresses `data` into `path`, expands it back through LZ32 and returns the bytes.
  Bytes RoundTrip(const std::string& path, const Bytes& data, std::size_t capacity) {
    EXPECT_TRUE(WriteAll(path, SzddCompress(data)));
    Bytes out(capacity);
    const long n = lz.Expand(path, out);
    if (n <= 0) return Bytes();
    out.resize(static_cast<std::size_t>(n));
    return out;
  }
  Lz32Expander lz;
};

TEST_F(Lz32ExpanderTest, ExpandsOurFilesByteForByte) {
  ScratchFolder dir("lz");
  const std::string path = dir.Path() + "prog.tmp";
  for (std::size_t size : {1u, 17u, 4096u, 4113u, 70000u, 400000u}) {
    const Bytes data = RandomishBytes(size, static_cast<unsigned>(size));
    EXPECT_EQ(RoundTrip(path, data, size + 1), data) << size;
  }
  const Bytes spaces(9000, ' ');  // references into the initial space fill
  EXPECT_EQ(RoundTrip(path, spaces, spaces.size() + 1), spaces);
}

TEST_F(Lz32ExpanderTest, WorksInALongNonAsciiWorkFolder) {
  ScratchFolder dir(LongGreekLeaf());
  ASSERT_TRUE(dir.Exists());
  const std::string path = dir.Path() + "prog.tmp";
  ASSERT_GT(path.size(), 200u);  // well past 128 characters, also counted in UTF-16 units
  const Bytes data = RandomishBytes(50000, 7);
  EXPECT_EQ(RoundTrip(path, data, data.size() + 1), data);
}

TEST_F(Lz32ExpanderTest, ManyExpansionsInARowCloseEveryHandle) {
  // The system keeps at most 16 LZ handles open; a leak would fail the 17th. The file must
  // also be free for rewriting each time, which a leaked deny-write handle would prevent.
  ScratchFolder dir("many");
  const std::string path = dir.Path() + "prog.tmp";
  for (int i = 0; i < 40; ++i) {
    const Bytes data = RandomishBytes(1000 + static_cast<std::size_t>(i), static_cast<unsigned>(i));
    ASSERT_EQ(RoundTrip(path, data, 4096), data) << "expansion " << i;
  }
  // Failing expansions must not leak either.
  const std::string plain = dir.Path() + "plain.txt";
  ASSERT_TRUE(WriteAll(plain, Bytes(100, 'p')));
  for (int i = 0; i < 20; ++i) {
    Bytes out(200);
    ASSERT_LE(lz.Expand(plain, out), 0) << i;
  }
  EXPECT_TRUE(DeleteFileW(ToWide(plain).c_str()));
  const Bytes data = RandomishBytes(3000, 99);
  EXPECT_EQ(RoundTrip(path, data, 4096), data);
}

TEST_F(Lz32ExpanderTest, FailuresAndShortBuffers) {
  ScratchFolder dir("fail");
  Bytes out(100);
  EXPECT_LE(lz.Expand(dir.Path() + "missing.tmp", out), 0);

  // A file longer than the buffer delivers what fits; the extraction asks for one byte more
  // than it accepts to see this.
  const std::string path = dir.Path() + "prog.tmp";
  const Bytes data = RandomishBytes(1000, 3);
  ASSERT_TRUE(WriteAll(path, SzddCompress(data)));
  Bytes small(301);
  EXPECT_EQ(lz.Expand(path, small), 301);
  EXPECT_TRUE(std::equal(small.begin(), small.end(), data.begin()));
}

// LZ32's handles start at 0x400; a file handle of that value used to make an SZDD file look
// like one LZ32 hands back unexpanded.
TEST_F(Lz32ExpanderTest, FileHandleOfTheFirstLzHandleValue) {
  ScratchFolder dir("handle");
  const std::string path = dir.Path() + "lz.szdd";
  const Bytes data = RandomishBytes(5000, 11);
  ASSERT_TRUE(WriteAll(path, SzddCompress(data)));
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
  const long n = lz.Expand(path, out);
  for (HANDLE h : taken) CloseHandle(h);
  ASSERT_EQ(n, static_cast<long>(data.size()));
  out.resize(data.size());
  EXPECT_EQ(out, data);
}

}  // namespace
}  // namespace corvane
