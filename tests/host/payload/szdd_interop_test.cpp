// Our SZDD files against an independent implementation: msexpand must expand what we write,
// and our decoder must expand what mscompress writes, byte for byte.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "payload/szdd.h"
#include "support/host_files.h"

namespace corvane {
namespace {

using Bytes = std::vector<std::uint8_t>;

bool HaveTool(const char* name) {
  const std::string cmd = std::string("command -v ") + name + " >/dev/null 2>&1";
  return std::system(cmd.c_str()) == 0;
}

using testing::ReadWholeFile;
using testing::WriteWholeFile;

class SzddInterop : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(dir_.empty()); }

  // Inputs of the kinds the payload carries, plus awkward ones.
  std::vector<Bytes> Samples() const {
    std::vector<Bytes> samples;
    std::mt19937 rng(42);
    Bytes random(70000);
    for (auto& b : random) b = static_cast<std::uint8_t>(rng());
    samples.push_back(random);
    Bytes text;
    static const char* const kWords[] = {"compare ", "search ", "the ", "\r\n", "    ", "file "};
    while (text.size() < 90000) {
      const std::string w = kWords[rng() % 6];
      text.insert(text.end(), w.begin(), w.end());
    }
    samples.push_back(text);
    samples.push_back(Bytes(40000, ' '));
    samples.push_back(Bytes(33333, 0));
    samples.push_back(Bytes{'x'});
    Bytes table;
    for (std::uint32_t k = 0; table.size() < 50000; ++k)
      for (int b = 0; b < 8; ++b) table.push_back(static_cast<std::uint8_t>(b < 2 ? k >> b : b));
    samples.push_back(table);
    Bytes machineFile;
    for (const char* path : {"/usr/share/common-licenses/GPL-3", "/bin/ls"})
      if (ReadWholeFile(path, machineFile)) samples.push_back(machineFile);
    return samples;
  }

  testing::HostScratchFolder scratch_{"corvane-szdd"};
  const std::string& dir_ = scratch_.Path();
};

TEST_F(SzddInterop, MsexpandExpandsOurFiles) {
  // scripts/deps.sh installs mscompress: without it the comparison would silently not happen.
  ASSERT_TRUE(HaveTool("msexpand")) << "msexpand (Debian package mscompress) missing";
  int index = 0;
  for (const Bytes& data : Samples()) {
    const std::string in = dir_ + "/ours" + std::to_string(index) + ".sz";
    const std::string out = dir_ + "/ours" + std::to_string(index++) + ".out";
    ASSERT_TRUE(WriteWholeFile(in, SzddCompress(data)));
    ASSERT_EQ(std::system(("msexpand < '" + in + "' > '" + out + "'").c_str()), 0);
    Bytes back;
    ASSERT_TRUE(ReadWholeFile(out, back));
    EXPECT_TRUE(back == data) << "sample " << index - 1 << " of " << data.size() << " bytes";
  }
}

// mscompress mangles inputs shorter than 16 bytes (its own msexpand does not get them back),
// so the reference for our decoder is what msexpand makes of the same file.
TEST_F(SzddInterop, WeExpandMscompressFiles) {
  ASSERT_TRUE(HaveTool("mscompress") && HaveTool("msexpand"))
      << "mscompress/msexpand (Debian package mscompress) missing";
  int index = 0;
  std::vector<Bytes> samples = Samples();
  samples.push_back(
      Bytes{'f', 'i', 'f', 't', 'e', 'e', 'n', ' ', 'b', 'y', 't', 'e', 's', '!', '!'});
  int faithful = 0;
  for (const Bytes& data : samples) {
    const std::string in = dir_ + "/theirs" + std::to_string(index++) + ".bin";
    ASSERT_TRUE(WriteWholeFile(in, data));
    ASSERT_EQ(std::system(("mscompress '" + in + "'").c_str()), 0);
    ASSERT_EQ(std::system(("msexpand < '" + in + "_' > '" + in + ".out'").c_str()), 0);
    Bytes file;
    Bytes reference;
    ASSERT_TRUE(ReadWholeFile(in + "_", file));
    ASSERT_TRUE(ReadWholeFile(in + ".out", reference));
    Bytes back(reference.size() + 1);
    const long got = SzddExpand(file, back);
    ASSERT_EQ(got, static_cast<long>(reference.size())) << "sample " << index - 1;
    back.resize(reference.size());
    EXPECT_TRUE(back == reference) << "sample " << index - 1;
    if (reference == data) {
      ++faithful;
      EXPECT_EQ(SzddExpandedLength(file), static_cast<long long>(data.size()));
      // Ours is never larger than theirs.
      EXPECT_LE(SzddCompress(data).size(), file.size()) << "sample " << index - 1;
    }
  }
  EXPECT_GE(faithful, static_cast<int>(samples.size()) - 2);
}

}  // namespace
}  // namespace corvane
