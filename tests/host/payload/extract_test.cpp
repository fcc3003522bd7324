#include "payload/extract.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "payload/container.h"
#include "payload/szdd.h"
#include "support/fake_file_system.h"
#include "support/fake_payload_services.h"

namespace corvane {
namespace {

using ::testing::ElementsAre;
using testing::FakeFileSystem;
using testing::FakeLzExpander;
using testing::FakeResources;
using testing::RecordingErrorReporter;

using Bytes = std::vector<std::uint8_t>;

const Timestamp kStamp{2013, 8, 10, 7, 20, 0};
constexpr std::uint64_t kUnixEpochAsFileTime = 116444736000000000ull;
const std::string kTemp = "C:\\Work\\prog.tmp";

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

// Product-like contents: text, binary, repetitive.
std::vector<Bytes> SampleFiles() {
  Bytes binary(3000);
  for (std::size_t i = 0; i < binary.size(); ++i) {
    binary[i] = static_cast<std::uint8_t>((i * 7919) ^ (i >> 3));
  }
  return {Text("MZ main program"), binary, Bytes(5000, 'x'), Text("[settings]\r\nA=1\r\n")};
}

Bytes PayloadOf(const std::vector<Bytes>& files) {
  std::vector<Bytes> szdd;
  for (const Bytes& f : files) szdd.push_back(SzddCompress(f));
  return BuildPayload(szdd);
}

// An SZDD file of n spaces (n >= 3) made only of references into the initial space fill, so
// that tens of megabytes take a few megabytes and no encoder time.
Bytes SpacesSzdd(std::size_t n) {
  Bytes out(kSzddMagic.begin(), kSzddMagic.end());
  out.push_back(kSzddModeA);
  out.push_back(0);
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(n >> (8 * i)));
  std::size_t items = 0;
  while (n > 0) {
    std::size_t len = n;
    if (n > 18) len = n - 18 >= 3 ? 18 : n - 3;
    if (items++ % 8 == 0) out.push_back(0x00);  // control byte: eight references
    out.push_back(0x00);                        // window position 0, a space
    out.push_back(static_cast<std::uint8_t>(len - 3));
    n -= len;
  }
  return out;
}

class ExtractTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs.AddDirectory("C:\\Program Files\\Corvane");
    fs.AddDirectory("C:\\Work");
  }
  std::vector<std::string> Targets(std::size_t n) {
    std::vector<std::string> t;
    for (std::size_t i = 0; i < n; ++i) {
      t.push_back("C:\\Program Files\\Corvane\\file" + std::to_string(i) + ".bin");
    }
    return t;
  }
  bool Run(const std::vector<std::string>& targets, const std::string& temp = kTemp) {
    return ExtractPayload(services, targets, temp, kStamp, kPayloadResourceId);
  }
  void ExpectWritten(const std::string& path, const Bytes& bytes) {
    const FakeFileSystem::File* f = fs.FindFile(path);
    ASSERT_NE(f, nullptr) << path;
    EXPECT_EQ(f->bytes, bytes) << path;
    EXPECT_EQ(f->lastWriteTime, ToFileTime(kStamp)) << path;
  }

  FakeFileSystem fs;
  FakeLzExpander lz{fs};
  FakeResources resources;
  RecordingErrorReporter errors;
  ExtractServices services{fs, lz, resources, errors};
};

TEST(FileTimeTest, CalendarFieldsAreReadAsUtc) {
  // The install timestamp is Unix time 1376119200 on every machine.
  EXPECT_EQ(ToFileTime(kStamp), kUnixEpochAsFileTime + 1376119200ull * 10'000'000ull);
  EXPECT_EQ(ToFileTime({1601, 1, 1, 0, 0, 0}), 0u);
  EXPECT_EQ(ToFileTime({1970, 1, 1, 0, 0, 0}), kUnixEpochAsFileTime);
  // Leap day of a century leap year, and the day after it.
  EXPECT_EQ(ToFileTime({2000, 2, 29, 12, 0, 0}),
            kUnixEpochAsFileTime + 951825600ull * 10'000'000ull);
  EXPECT_EQ(ToFileTime({2000, 3, 1, 0, 0, 1}), kUnixEpochAsFileTime + 951868801ull * 10'000'000ull);
}

TEST_F(ExtractTest, EveryRecordGoesToItsTargetInOrderAndTheTempFileIsRemoved) {
  const auto files = SampleFiles();
  resources.data[kPayloadResourceId] = PayloadOf(files);
  const auto targets = Targets(files.size());

  EXPECT_TRUE(Run(targets));

  for (std::size_t i = 0; i < files.size(); ++i) ExpectWritten(targets[i], files[i]);
  EXPECT_FALSE(fs.FileExists(kTemp));
  EXPECT_TRUE(errors.messages.empty());
  EXPECT_EQ(fs.OpenHandles(), 0);
  EXPECT_THAT(resources.lookups, ElementsAre(kPayloadResourceId));
  // Per record: the temporary SZDD file is written and closed, then expanded, then the target
  // is written, stamped and closed before the next record is read.
  const std::vector<std::string> firstRecord = {
      "open " + kTemp,       "write " + kTemp,        "close " + kTemp,     "open " + targets[0],
      "write " + targets[0], "settime " + targets[0], "close " + targets[0]};
  ASSERT_GE(fs.Log().size(), firstRecord.size());
  EXPECT_TRUE(std::equal(firstRecord.begin(), firstRecord.end(), fs.Log().begin()));
  EXPECT_EQ(fs.Log().back(), "remove " + kTemp);
  EXPECT_EQ(lz.paths.size(), files.size());
}

TEST_F(ExtractTest, TempFileIsExclusiveAndTargetsShareReading) {
  resources.data[kPayloadResourceId] = PayloadOf({Text("one")});
  ASSERT_TRUE(Run(Targets(1)));
  ASSERT_EQ(fs.Opens().size(), 2u);
  EXPECT_EQ(fs.Opens()[0].share, ShareMode::None);
  EXPECT_EQ(fs.Opens()[0].mode, OpenMode::CreateAlways);
  EXPECT_EQ(fs.Opens()[1].share, ShareMode::Read);
  EXPECT_EQ(fs.Opens()[1].mode, OpenMode::CreateAlways);
}

TEST_F(ExtractTest, ListLengthDecidesHowManyRecordsAreUsed) {
  const auto files = SampleFiles();
  resources.data[kPayloadResourceId] = PayloadOf(files);

  // Shorter list: the remaining records are ignored.
  const auto shortList = Targets(2);
  EXPECT_TRUE(Run(shortList));
  EXPECT_EQ(fs.FileCount(), 2u);
  ExpectWritten(shortList[1], files[1]);
  EXPECT_FALSE(fs.FileExists(kTemp));

  // Longer list: the terminator ends the walk; the extra entries are not touched.
  const auto longList = Targets(files.size() + 2);
  EXPECT_TRUE(Run(longList));
  ExpectWritten(longList[files.size() - 1], files.back());
  EXPECT_FALSE(fs.FileExists(longList[files.size()]));
  EXPECT_FALSE(fs.FileExists(longList[files.size() + 1]));
  EXPECT_TRUE(errors.messages.empty());
}

TEST_F(ExtractTest, EmptyListWritesNothingButStillTriesTheDelete) {
  resources.data[kPayloadResourceId] = PayloadOf(SampleFiles());
  EXPECT_TRUE(Run({}));
  EXPECT_THAT(fs.Log(), ElementsAre("remove " + kTemp));
  EXPECT_TRUE(lz.paths.empty());
  EXPECT_TRUE(errors.messages.empty());
}

TEST_F(ExtractTest, ExistingTargetIsTruncated) {
  const auto targets = Targets(1);
  fs.AddFile(targets[0], Bytes(10000, 0xEE));
  resources.data[kPayloadResourceId] = PayloadOf({Text("short")});
  EXPECT_TRUE(Run(targets));
  ExpectWritten(targets[0], Text("short"));
}

TEST_F(ExtractTest, WrongExpandedLengthFieldHasNoEffect) {
  Bytes szdd = SzddCompress(Text("the real contents"));
  szdd[10] = 0xFF;  // claims 255 bytes more
  resources.data[kPayloadResourceId] = BuildPayload({szdd});
  const auto targets = Targets(1);
  EXPECT_TRUE(Run(targets));
  ExpectWritten(targets[0], Text("the real contents"));
}

TEST_F(ExtractTest, TargetFailuresStopSilentlyAndKeepEarlierFiles) {
  const auto files = SampleFiles();
  resources.data[kPayloadResourceId] = PayloadOf(files);
  const auto targets = Targets(files.size());
  fs.FailOpen(targets[2]);  // held open by a running program

  EXPECT_FALSE(Run(targets));
  EXPECT_TRUE(errors.messages.empty());
  ExpectWritten(targets[1], files[1]);
  EXPECT_FALSE(fs.FileExists(targets[3]));
  // The temporary file stays behind with the failing record's SZDD image.
  ASSERT_TRUE(fs.FileExists(kTemp));
  EXPECT_EQ(fs.FindFile(kTemp)->bytes, SzddCompress(files[2]));
  EXPECT_EQ(fs.OpenHandles(), 0);
}

TEST_F(ExtractTest, FailedTargetWriteOrTimeIsAFailureWithoutMessage) {
  const auto files = SampleFiles();
  resources.data[kPayloadResourceId] = PayloadOf(files);
  const auto targets = Targets(files.size());

  fs.FailWrite(targets[0]);
  EXPECT_FALSE(Run(targets));
  // The time is set only after a successful write; the handle is closed either way.
  EXPECT_EQ(std::count(fs.Log().begin(), fs.Log().end(), "settime " + targets[0]), 0);
  EXPECT_EQ(fs.OpenHandles(), 0);

  FakeFileSystem other;
  other.AddDirectory("C:\\Program Files\\Corvane");
  other.AddDirectory("C:\\Work");
  other.FailSetTime(targets[1]);
  FakeLzExpander otherLz(other);
  ExtractServices otherServices{other, otherLz, resources, errors};
  EXPECT_FALSE(ExtractPayload(otherServices, targets, kTemp, kStamp, kPayloadResourceId));
  EXPECT_FALSE(other.FileExists(targets[2]));
  EXPECT_EQ(other.OpenHandles(), 0);
  EXPECT_TRUE(errors.messages.empty());
}

TEST_F(ExtractTest, MissingTempFolderShowsTheMessageOnce) {
  resources.data[kPayloadResourceId] = PayloadOf(SampleFiles());
  EXPECT_FALSE(Run(Targets(4), "C:\\Missing\\prog.tmp"));
  EXPECT_THAT(errors.messages, ElementsAre("Error in installation"));
  EXPECT_EQ(fs.FileCount(), 0u);
  EXPECT_TRUE(lz.paths.empty());
}

TEST_F(ExtractTest, FailedExpansionShowsTheMessageAndKeepsTheTempFile) {
  resources.data[kPayloadResourceId] = PayloadOf(SampleFiles());
  const auto targets = Targets(4);
  for (long result : {0L, -1L}) {
    lz.forcedResult = result;
    errors.messages.clear();
    EXPECT_FALSE(Run(targets));
    EXPECT_THAT(errors.messages, ElementsAre("Error in installation"));
    EXPECT_TRUE(fs.FileExists(kTemp));
    EXPECT_FALSE(fs.FileExists(targets[0]));
  }
}

TEST_F(ExtractTest, MalformedPayloadsAreExpansionFailures) {
  const Bytes good = PayloadOf(SampleFiles());
  const auto targets = Targets(8);
  struct Case {
    const char* what;
    Bytes payload;
    std::size_t filesBeforeFailure;
  };
  Bytes lengthTooLarge = PayloadOf({Text("first")});
  const Bytes second = PayloadOf({Text("second")});
  lengthTooLarge.resize(lengthTooLarge.size() - 4);  // drop the terminator...
  lengthTooLarge.insert(lengthTooLarge.end(), second.begin(), second.end() - 5);  // cut the body
  Bytes noTerminator = good;
  noTerminator.resize(good.size() - 4);
  Bytes halfLength = good;
  halfLength.resize(good.size() - 2);  // two bytes where a length of four should stand
  const std::vector<Case> cases = {
      {"missing payload", {}, 0},
      {"length larger than the rest", lengthTooLarge, 1},
      {"no terminator", noTerminator, 4},
      {"cut-off terminator", halfLength, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakeFileSystem clean;
    clean.AddDirectory("C:\\Program Files\\Corvane");
    clean.AddDirectory("C:\\Work");
    FakeLzExpander cleanLz(clean);
    RecordingErrorReporter cleanErrors;
    ExtractServices s{clean, cleanLz, resources, cleanErrors};
    resources.data[kPayloadResourceId] = c.payload;

    EXPECT_FALSE(ExtractPayload(s, targets, kTemp, kStamp, kPayloadResourceId));
    EXPECT_THAT(cleanErrors.messages, ElementsAre("Error in installation"));
    for (std::size_t i = 0; i < targets.size(); ++i) {
      EXPECT_EQ(clean.FileExists(targets[i]), i < c.filesBeforeFailure) << i;
    }
  }
}

TEST_F(ExtractTest, PayloadIsNotNeededWhenTheListEndsFirst) {
  // Without a terminator but with exactly as many entries as records, nothing is missing.
  Bytes noTerminator = PayloadOf(SampleFiles());
  noTerminator.resize(noTerminator.size() - 4);
  resources.data[kPayloadResourceId] = noTerminator;
  EXPECT_TRUE(Run(Targets(SampleFiles().size())));
  EXPECT_TRUE(errors.messages.empty());
}

TEST_F(ExtractTest, FileLargerThanTheBufferIsRejected) {
  const auto targets = Targets(2);
  resources.data[kPayloadResourceId] =
      BuildPayload({SzddCompress(Text("fits")), SpacesSzdd(kExpansionBufferSize + 1)});
  EXPECT_FALSE(Run(targets));
  EXPECT_THAT(errors.messages, ElementsAre("Error in installation"));
  ExpectWritten(targets[0], Text("fits"));
  EXPECT_FALSE(fs.FileExists(targets[1]));
}

TEST_F(ExtractTest, FileOfExactlyTheBufferSizeIsAccepted) {
  const auto targets = Targets(1);
  resources.data[kPayloadResourceId] = BuildPayload({SpacesSzdd(kExpansionBufferSize)});
  EXPECT_TRUE(Run(targets));
  const FakeFileSystem::File* f = fs.FindFile(targets[0]);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->bytes.size(), kExpansionBufferSize);
  EXPECT_TRUE(
      std::all_of(f->bytes.begin(), f->bytes.end(), [](std::uint8_t b) { return b == ' '; }));
}

TEST(FilePrimitivesTest, OpenModesAndResults) {
  FakeFileSystem fs;
  fs.AddDirectory("C:\\Dir");
  const Bytes data = Text("abc");

  EXPECT_TRUE(WriteWholeFile(fs, "C:\\Dir\\a", data));
  EXPECT_FALSE(WriteWholeFile(fs, "C:\\Nope\\a", data));
  fs.FailWrite("C:\\Dir\\b");
  EXPECT_FALSE(WriteWholeFile(fs, "C:\\Dir\\b", data));

  auto probe = CreateFileForWriting(fs, "C:\\Dir\\kvx.exe");
  ASSERT_NE(probe, nullptr);
  EXPECT_EQ(fs.Opens().back().share, ShareMode::Read);
  EXPECT_EQ(fs.OpenHandles(), 1);  // handed to the caller, still open
  probe.reset();
  EXPECT_EQ(CreateFileForWriting(fs, "C:\\Nope\\kvx.exe"), nullptr);

  EXPECT_TRUE(WriteFileStamped(fs, "C:\\Dir\\c", data, kStamp));
  EXPECT_EQ(fs.FindFile("C:\\Dir\\c")->lastWriteTime, ToFileTime(kStamp));
  fs.FailSetTime("C:\\Dir\\d");
  EXPECT_FALSE(WriteFileStamped(fs, "C:\\Dir\\d", data, kStamp));
  EXPECT_EQ(fs.FindFile("C:\\Dir\\d")->bytes, data);  // written, only the stamp failed
  EXPECT_EQ(fs.OpenHandles(), 0);
}

}  // namespace
}  // namespace corvane
