// Our decoder and the system's LZ32 must agree on every mode 'A' stream, and LZ32 must expand
// what our optimal packer writes. Any byte string is a valid stream, so random streams make a
// strong differential check of the window, the initial fill and the end-of-data rules.
#include <windows.h>

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "payload/szdd.h"
#include "win32/payload/lz32_expander.h"
#include "win32/payload/scratch_folder.h"

namespace corvane {
namespace {

using testing::ScratchFolder;
using testing::WriteAll;
using Bytes = std::vector<std::uint8_t>;

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
  // Expands an SZDD file through LZ32 (empty on failure).
  Bytes SystemExpand(const Bytes& file, std::size_t capacity) {
    EXPECT_TRUE(WriteAll(path_, file));
    Bytes out(capacity);
    const long n = lz_.Expand(path_, out);
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
  const Bytes file = SzddCompress(data);
  EXPECT_EQ(SystemExpand(file, data.size() + 1), data);
}

}  // namespace
}  // namespace corvane
