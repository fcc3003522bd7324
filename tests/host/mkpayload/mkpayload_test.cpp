// Drives the built mkpayload program the way the build and a maker use it.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "payload/container.h"
#include "payload/sha256.h"
#include "payload/szdd.h"
#include "support/host_files.h"
#include "support/pe_builder.h"

namespace corvane {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::string ToolPath() {
  if (const char* explicitPath = std::getenv("CORVANE_MKPAYLOAD")) return explicitPath;
  if (const char* binary = std::getenv("CORVANE_BINARY_DIR"))
    return std::string(binary) + "/tools/mkpayload/mkpayload";
  // Run by hand from the build tree: the tool sits next to the tests folder.
  char self[4096];
  const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  std::string exe(self, n > 0 ? static_cast<std::size_t>(n) : 0);
  return exe.substr(0, exe.rfind('/')) + "/../tools/mkpayload/mkpayload";
}

bool ReadFile(const std::string& path, Bytes& out) { return testing::ReadWholeFile(path, out); }

std::string ReadText(const std::string& path) {
  Bytes b;
  ReadFile(path, b);
  return std::string(b.begin(), b.end());
}

void WriteFile(const std::string& path, const Bytes& data) {
  ASSERT_TRUE(testing::WriteWholeFile(path, data)) << path;
}

Bytes Text(std::size_t n, unsigned seed) {
  static const char* const kWords[] = {"kvx ", "compare ", "search ", "\r\n", "help ", "    "};
  std::mt19937 rng(seed);
  Bytes out;
  while (out.size() < n) {
    const std::string w = kWords[rng() % 6];
    out.insert(out.end(), w.begin(), w.end());
  }
  out.resize(n);
  return out;
}

struct Outcome {
  int code = -1;
  std::string out, err;
};

class Mkpayload : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(dir_.empty());
    tool_ = ToolPath();
    ASSERT_EQ(access(tool_.c_str(), X_OK), 0) << "mkpayload not built at " << tool_;
  }

  std::string P(const std::string& name) const { return dir_ + "/" + name; }

  Outcome Run(const std::string& args) const {
    const std::string cmd =
        "'" + tool_ + "' " + args + " >'" + P("stdout") + "' 2>'" + P("stderr") + "'";
    const int status = std::system(cmd.c_str());
    Outcome o;
    o.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    o.out = ReadText(P("stdout"));
    o.err = ReadText(P("stderr"));
    return o;
  }

  // Runs a command that must end with status 1 and a message holding `says`.
  void ExpectFailure(const std::string& args, const std::string& says) const {
    const Outcome o = Run(args);
    EXPECT_EQ(o.code, 1) << args;
    EXPECT_NE(o.err.find(says), std::string::npos) << o.err;
  }

  testing::HostScratchFolder scratch_{"corvane-mkpayload"};
  const std::string& dir_ = scratch_.Path();
  std::string tool_;
};

TEST_F(Mkpayload, HelpAndUsageErrors) {
  const Outcome help = Run("--help");
  EXPECT_EQ(help.code, 0);
  EXPECT_NE(help.out.find("mkpayload pack -o PAYLOAD [--no-digests] FILE..."), std::string::npos);
  EXPECT_EQ(Run("").code, 2);
  const Outcome unknown = Run("squash x");
  EXPECT_EQ(unknown.code, 2);
  EXPECT_NE(unknown.err.find("unknown command 'squash'"), std::string::npos);
  EXPECT_EQ(Run("pack a b").code, 2);           // no -o
  EXPECT_EQ(Run("pack -o " + P("p")).code, 2);  // no files
  EXPECT_EQ(Run("pack a -o").code, 2);
  EXPECT_EQ(Run("list").code, 2);
  EXPECT_EQ(Run("unpack " + P("p")).code, 2);
  EXPECT_EQ(Run("compress onlyone").code, 2);
  EXPECT_EQ(Run("expand a b c").code, 2);
}

TEST_F(Mkpayload, PackListUnpackRoundTrip) {
  const std::vector<Bytes> inputs = {Text(50000, 1), Bytes{'x'}, Text(20000, 2)};
  std::string names;
  for (std::size_t k = 0; k < inputs.size(); ++k) {
    WriteFile(P("in" + std::to_string(k)), inputs[k]);
    names += " '" + P("in" + std::to_string(k)) + "'";
  }
  const Outcome pack = Run("pack -o '" + P("payload") + "'" + names);
  ASSERT_EQ(pack.code, 0) << pack.err;

  // The payload holds the files in argument order, each compressed as SzddCompress does, and
  // after them the digests of the container and of each file.
  Bytes payload;
  ASSERT_TRUE(ReadFile(P("payload"), payload));
  PayloadReader reader(payload);
  std::span<const std::uint8_t> body;
  std::string expectList, expectSums;
  std::vector<Sha256Digest> digests;
  for (std::size_t k = 0; k < inputs.size(); ++k) {
    ASSERT_EQ(reader.Next(body), PayloadReader::Result::Record);
    EXPECT_EQ(SzddImageOf(body), SzddCompress(inputs[k]));
    digests.push_back(Sha256Of(inputs[k]));
    expectList += std::to_string(k) + "\t" + std::to_string(body.size()) + "\t" +
                  std::to_string(inputs[k].size()) + "\t" + DigestHex(digests.back()) + "\n";
  }
  EXPECT_EQ(reader.Next(body), PayloadReader::Result::End);
  const Bytes container(payload.begin(), payload.begin() + reader.Offset() + 4);
  EXPECT_EQ(Bytes(payload.begin() + container.size(), payload.end()),
            DigestBlock(Sha256Of(container), digests));

  const Outcome list = Run("list '" + P("payload") + "'");
  ASSERT_EQ(list.code, 0) << list.err;
  EXPECT_EQ(list.out, expectList);
  EXPECT_EQ(list.err, "");

  // The digests as sha256sum -c reads them, a run of records under the names given; the
  // host's own sha256sum agrees.
  ASSERT_EQ(Run("sums '" + P("payload") + "' '" + P("SUMS") + "' --first 1 in1 in2").code, 0);
  EXPECT_EQ(ReadText(P("SUMS")),
            DigestHex(digests[1]) + "  in1\n" + DigestHex(digests[2]) + "  in2\n");
  EXPECT_EQ(std::system(("cd '" + dir_ + "' && sha256sum --quiet --strict -c SUMS").c_str()), 0);
  ExpectFailure("sums '" + P("payload") + "' '" + P("SUMS") + "' --first 2 a b",
                "holds 3 records, fewer than 4");

  // Without digests: the same records and a list that says they are not verified.
  ASSERT_EQ(Run("pack -o '" + P("bare") + "' --no-digests" + names).code, 0);
  Bytes bare;
  ASSERT_TRUE(ReadFile(P("bare"), bare));
  EXPECT_EQ(bare, container);
  const Outcome bareList = Run("list '" + P("bare") + "'");
  EXPECT_EQ(bareList.out, expectList);
  EXPECT_NE(bareList.err.find("no digests"), std::string::npos);
  ExpectFailure("sums '" + P("bare") + "' '" + P("SUMS2") + "' in0", "has no digests");

  WriteFile(P("out1"), Bytes(100, 'o'));  // an existing target is overwritten
  const Bytes users = {'m', 'i', 'n', 'e'};
  WriteFile(P("prog.tmp"), users);  // a file of the user's beside the first target is not
  const Outcome unpack = Run("unpack '" + P("payload") + "' '" + P("out0") + "' '" + P("out1") +
                             "' '" + P("out2") + "'");
  ASSERT_EQ(unpack.code, 0) << unpack.err;
  for (std::size_t k = 0; k < inputs.size(); ++k) {
    Bytes back;
    ASSERT_TRUE(ReadFile(P("out" + std::to_string(k)), back));
    EXPECT_TRUE(back == inputs[k]) << "file " << k;
    struct stat st {};
    ASSERT_EQ(stat(P("out" + std::to_string(k)).c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, 1376119200) << "file " << k;  // 2013-08-10 07:20:00 UTC
  }
  Bytes after;
  ASSERT_TRUE(ReadFile(P("prog.tmp"), after));
  EXPECT_EQ(after, users);
}

TEST_F(Mkpayload, LongPackReportsProgress) {
  WriteFile(P("big"), Text(1500000, 3));
  WriteFile(P("small"), Bytes{1, 2, 3, 4});
  const Outcome pack =
      Run("pack -o '" + P("payload") + "' '" + P("big") + "' '" + P("small") + "'");
  ASSERT_EQ(pack.code, 0) << pack.err;
  EXPECT_NE(pack.err.find("1/2"), std::string::npos);
  EXPECT_NE(pack.err.find("2/2"), std::string::npos);
}

TEST_F(Mkpayload, CompressAndExpandSingleFiles) {
  const Bytes data = Text(30000, 4);
  WriteFile(P("plain"), data);
  ASSERT_EQ(Run("compress '" + P("plain") + "' '" + P("packed") + "'").code, 0);
  Bytes packed;
  ASSERT_TRUE(ReadFile(P("packed"), packed));
  EXPECT_EQ(packed, SzddCompress(data));
  ASSERT_EQ(Run("expand '" + P("packed") + "' '" + P("back") + "'").code, 0);
  Bytes back;
  ASSERT_TRUE(ReadFile(P("back"), back));
  EXPECT_EQ(back, data);

  // The length field is not trusted: the file gets what the data expands to.
  packed[10] = 1;
  packed[11] = packed[12] = packed[13] = 0;
  WriteFile(P("lying"), packed);
  const Outcome lying = Run("expand '" + P("lying") + "' '" + P("back2") + "'");
  EXPECT_EQ(lying.code, 0);
  EXPECT_NE(lying.err.find("says 1 bytes"), std::string::npos);
  ASSERT_TRUE(ReadFile(P("back2"), back));
  EXPECT_EQ(back, data);
}

TEST_F(Mkpayload, BadInputsFailWithAMessage) {
  WriteFile(P("empty"), {});
  WriteFile(P("some"), Text(100, 5));
  WriteFile(P("notszdd"), Text(100, 6));

  ExpectFailure("pack -o '" + P("p") + "' '" + P("some") + "' '" + P("missing") + "'",
                "missing' does not exist");
  EXPECT_NE(access(P("p").c_str(), F_OK), 0);  // nothing half-made is left

  ExpectFailure("pack -o '" + P("p") + "' '" + P("empty") + "'", "is empty");

  EXPECT_EQ(Run("pack -o '" + P("no/such/dir/p") + "' '" + P("some") + "'").code, 1);
  ExpectFailure("pack -o '" + P("p") + "' '" + dir_ + "'", "is a folder");

  ExpectFailure("expand '" + P("notszdd") + "' '" + P("x") + "'", "not an SZDD file");
  EXPECT_EQ(Run("compress '" + P("missing") + "' '" + P("x") + "'").code, 1);
  EXPECT_EQ(Run("list '" + P("missing") + "'").code, 1);
}

TEST_F(Mkpayload, MalformedPayloadsAreRejected) {
  WriteFile(P("a"), Text(3000, 7));
  WriteFile(P("b"), Text(2000, 8));
  ASSERT_EQ(Run("pack -o '" + P("good") + "' '" + P("a") + "' '" + P("b") + "'").code, 0);
  Bytes good;
  ASSERT_TRUE(ReadFile(P("good"), good));

  const std::size_t end = good.size() - (16 + 3 * 32);  // where the digest block starts
  WriteFile(P("noend"), Bytes(good.begin(), good.begin() + end - 4));
  ExpectFailure("list '" + P("noend") + "'", "no terminator after record 2");

  // A byte changed in a record, or in the digest block, or a block cut short.
  Bytes changed = good;
  changed[end - 10] ^= 1;
  WriteFile(P("changed"), changed);
  ExpectFailure("list '" + P("changed") + "'", "damaged payload: the records' SHA-256 is ");
  changed = good;
  changed.back() ^= 1;
  WriteFile(P("changed"), changed);
  ExpectFailure("unpack '" + P("changed") + "' '" + P("u0") + "' '" + P("u1") + "'",
                "record 1: expands to SHA-256 ");
  EXPECT_NE(access(P("u0").c_str(), F_OK), 0);
  WriteFile(P("changed"), Bytes(good.begin(), good.end() - 1));
  ExpectFailure("list '" + P("changed") + "'", "malformed payload: a digest block whose length");

  WriteFile(P("cut"), Bytes(good.begin(), good.begin() + 100));
  ExpectFailure("list '" + P("cut") + "'", "record 0 is longer");
  EXPECT_EQ(Run("unpack '" + P("cut") + "' '" + P("x") + "'").code, 1);
  EXPECT_NE(access(P("x").c_str(), F_OK), 0);

  WriteFile(P("empty"), {});
  EXPECT_EQ(Run("list '" + P("empty") + "'").code, 1);

  // A record whose body is not SZDD mode 'A' (in a payload without digests, which would tell
  // the change first).
  Bytes badMode(good.begin(), good.begin() + end);
  badMode[4 + 4] = 'Q';
  WriteFile(P("badmode"), badMode);
  ExpectFailure("list '" + P("badmode") + "'", "record 0");

  // Count of files and records must agree before anything is written.
  ExpectFailure("unpack '" + P("good") + "' '" + P("only") + "'", "holds 2 records but 1 files");
  EXPECT_NE(access(P("only").c_str(), F_OK), 0);
}

TEST_F(Mkpayload, ReadsThePayloadOfABuiltSetup) {
  WriteFile(P("a"), Text(3000, 9));
  WriteFile(P("b"), Text(500, 10));
  ASSERT_EQ(Run("pack -o '" + P("payload") + "' '" + P("a") + "' '" + P("b") + "'").code, 0);
  Bytes payload;
  ASSERT_TRUE(ReadFile(P("payload"), payload));
  const Outcome direct = Run("list '" + P("payload") + "'");
  ASSERT_EQ(direct.code, 0) << direct.err;

  for (const bool plus : {false, true}) {
    SCOPED_TRACE(plus ? "PE32+" : "PE32");
    WriteFile(P("setup.exe"), testing::BuildPe(plus, {{3, 1, {1, 2}}, {10, 129, payload}}));
    const Outcome list = Run("list '" + P("setup.exe") + "'");
    ASSERT_EQ(list.code, 0) << list.err;
    EXPECT_EQ(list.out, direct.out);
    ASSERT_EQ(Run("unpack '" + P("setup.exe") + "' '" + P("x") + "' '" + P("y") + "'").code, 0);
    Bytes x, a;
    ASSERT_TRUE(ReadFile(P("x"), x));
    ASSERT_TRUE(ReadFile(P("a"), a));
    EXPECT_EQ(x, a);
  }

  // A program without the payload, a cut-off one and one with a broken header: a message that
  // says so and status 1.
  WriteFile(P("other.exe"), testing::BuildPe(false, {{10, 130, payload}}));
  ExpectFailure("list '" + P("other.exe") + "'", "without a payload (no resource RCDATA 129)");
  testing::PeLayout layout;
  const Bytes exe = testing::BuildPe(true, {{10, 129, payload}}, &layout);
  WriteFile(P("cut.exe"), Bytes(exe.begin(), exe.begin() + 0x1F0));
  ExpectFailure("unpack '" + P("cut.exe") + "' '" + P("z1") + "' '" + P("z2") + "'",
                "neither a payload nor a readable program");
  EXPECT_NE(access(P("z1").c_str(), F_OK), 0);
  Bytes broken = exe;
  broken[layout.peHeader + 6] = 0xFF;  // more sections than the file holds
  broken[layout.peHeader + 7] = 0xFF;
  WriteFile(P("broken.exe"), broken);
  ExpectFailure("list '" + P("broken.exe") + "'", "section table is cut off");
}

}  // namespace
}  // namespace corvane
