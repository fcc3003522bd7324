#include "payload/extract.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "payload/container.h"
#include "payload/paths.h"
#include "payload/sha256.h"
#include "payload/szdd.h"
#include "support/fake_file_system.h"
#include "support/fake_payload_services.h"

namespace corvane {
namespace {

using ::testing::ElementsAre;
using testing::FakeFileSystem;
using testing::FakeResources;
using testing::MemoryLog;
using testing::RecordingErrorReporter;

using Bytes = std::vector<std::uint8_t>;

const Timestamp kStamp{2013, 8, 10, 7, 20, 0};
constexpr std::uint64_t kUnixEpochAsFileTime = 116444736000000000ull;

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

// The path of a call's log entry ("open C:\\x", "rename C:\\x>C:\\y": the first path).
std::string CallPath(const std::string& entry) {
  const std::size_t start = entry.find(' ') + 1;
  return entry.substr(
      start, entry.find('>') == std::string::npos ? std::string::npos : entry.find('>') - start);
}

// The staged file of list entry `index` ("~n" and the index), from a call's path.
bool IsStagedOf(const std::string& path, char index) {
  const std::string name = LastName(path);
  return name.size() > 3 && name[0] == '~' && name[1] == 'n' && name[2] == index;
}

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

// The payload as the packaging tool makes it: with the digests of the container and of the
// files `packed` (by default the files themselves).
Bytes PayloadWithDigests(const std::vector<Bytes>& files, std::vector<Bytes> packed = {}) {
  if (packed.empty()) packed = files;
  Bytes payload = PayloadOf(files);
  std::vector<Sha256Digest> records;
  for (const Bytes& f : packed) records.push_back(Sha256Of(f));
  const Bytes block = DigestBlock(Sha256Of(payload), records);
  payload.insert(payload.end(), block.begin(), block.end());
  return payload;
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

std::vector<std::string> Targets(std::size_t n) {
  std::vector<std::string> t;
  for (std::size_t i = 0; i < n; ++i) {
    t.push_back("C:\\Program Files\\Corvane\\file" + std::to_string(i) + ".bin");
  }
  return t;
}

// The sample files as the payload, to be installed in a folder of their own.
class ExtractTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FreshFolder();
    resources.data[kPayloadResourceId] = PayloadOf(files);
  }
  // An empty file system but for the install folder.
  void FreshFolder() {
    fs = FakeFileSystem();
    fs.AddDirectory("C:\\Program Files\\Corvane");
  }
  bool Run(const std::vector<std::string>& list) {
    return ExtractPayload(services, list, kStamp, kPayloadResourceId);
  }
  void ExpectWritten(const std::string& path, const Bytes& bytes) {
    const FakeFileSystem::File* f = fs.FindFile(path);
    ASSERT_NE(f, nullptr) << path;
    EXPECT_EQ(f->bytes, bytes) << path;
    EXPECT_EQ(f->lastWriteTime, ToFileTime(kStamp)) << path;
  }
  // A previous installation: every target present with contents of its own.
  std::vector<Bytes> InstallOld(const std::vector<std::string>& paths) {
    std::vector<Bytes> old;
    for (const std::string& t : paths) {
      old.push_back(Text("old " + t));
      fs.AddFile(t, old.back());
    }
    return old;
  }
  // The targets hold exactly `old` and nothing else is left beside them.
  void ExpectUnchanged(const std::vector<Bytes>& old) {
    EXPECT_EQ(fs.FileCount(), old.size());
    for (std::size_t i = 0; i < old.size(); ++i) {
      ASSERT_TRUE(fs.FileExists(targets[i])) << targets[i];
      EXPECT_EQ(fs.FindFile(targets[i])->bytes, old[i]) << targets[i];
    }
    EXPECT_EQ(fs.OpenHandles(), 0);
  }

  const std::vector<Bytes> files = SampleFiles();
  const std::vector<std::string> targets = Targets(files.size());
  FakeFileSystem fs;
  FakeResources resources;
  RecordingErrorReporter errors;
  MemoryLog setupLog;
  ExtractServices services{fs, resources, errors, &setupLog};
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

TEST_F(ExtractTest, EveryFileIsStagedExclusivelyBeforeAnyTargetIsReplaced) {
  InstallOld(targets);

  EXPECT_TRUE(Run(targets));

  for (std::size_t i = 0; i < files.size(); ++i) ExpectWritten(targets[i], files[i]);
  EXPECT_EQ(fs.FileCount(), files.size());  // nothing staged or kept aside is left
  EXPECT_TRUE(errors.messages.empty());
  EXPECT_EQ(fs.OpenHandles(), 0);
  EXPECT_THAT(resources.lookups, ElementsAre(kPayloadResourceId));
  // Every file is opened once, new and for nobody else, beside its target, under a working
  // name as long as the target's (at least 7 characters); the only other file written is the
  // working list.
  std::vector<FakeFileSystem::OpenCall> staged;
  for (const auto& o : fs.Opens()) {
    if (LastName(o.path) != kWorkingListName) staged.push_back(o);
  }
  ASSERT_EQ(staged.size(), files.size());
  for (std::size_t i = 0; i < files.size(); ++i) {
    const std::string& path = staged[i].path;
    EXPECT_EQ(Parent(path), Parent(targets[i]));
    EXPECT_TRUE(IsWorkingFileName(LastName(path))) << path;
    EXPECT_EQ(LastName(path).size(), std::max<std::size_t>(7, LastName(targets[i]).size()));
    EXPECT_EQ(staged[i].share, ShareMode::None);
    EXPECT_EQ(staged[i].mode, OpenMode::CreateNew);
  }
  // The first target is touched only after the last file was written, stamped and closed: its
  // old file gets a second name, then the new one replaces it in one step.
  const auto& log = fs.Log();
  const auto lastClose = std::find(log.begin(), log.end(), "close " + staged.back().path);
  const auto firstChange = std::find_if(log.begin(), log.end(), [](const std::string& e) {
    return e.rfind("rename ", 0) == 0 || e.rfind("link ", 0) == 0;
  });
  ASSERT_NE(lastClose, log.end());
  EXPECT_LT(lastClose, firstChange);
  EXPECT_EQ(firstChange->rfind("link " + targets[0] + ">", 0), 0u) << *firstChange;
  EXPECT_EQ(*(firstChange + 1), "rename " + staged[0].path + ">" + targets[0]);
}

// However the install is cut off, every target always has its old file or its new one, and
// the next run finds what was left and removes it.
TEST_F(ExtractTest, EveryTargetKeepsAFileAtEveryStepAndLeftoversGoNextTime) {
  const auto old = InstallOld(targets);
  int steps = 0;
  fs.beforeCall = [&](const std::string&) {
    ++steps;
    for (std::size_t i = 0; i < targets.size(); ++i) {
      const FakeFileSystem::File* f = fs.FindFile(targets[i]);
      ASSERT_NE(f, nullptr) << "step " << steps << ": " << targets[i];
      EXPECT_TRUE(f->bytes == old[i] || f->bytes == files[i]) << targets[i];
    }
  };
  EXPECT_TRUE(Run(targets));
  fs.beforeCall = nullptr;
  EXPECT_GT(steps, 20);

  // A run cut off after its backups were made left these, and its working list names them. A
  // missing target gets its old file back (a volume without hard links). Names that are not
  // in the list, or not working names of this list's targets, stay: a user's file or folder
  // named like a staged file is neither touched nor scheduled for the restart.
  const std::string folder = "C:\\Program Files\\Corvane\\";
  fs.RemoveFile(targets[1]);
  fs.AddFile(folder + "~o1abcdef", Text("old 1"));  // "file1.bin": 9 characters
  fs.AddFile(folder + "~n2abcdef", Text("half"));
  fs.AddFile(folder + "~o3abcd", Text("too short for file3.bin"));
  fs.AddFile(folder + "~n0zzzzzz", Text("a user's"));
  fs.AddDirectory(folder + "~n1zzzzzz");
  fs.AddFile(folder + std::string(kWorkingListName),
             Text(folder + "~o1abcdef\n" + folder + "~n2abcdef\n" + folder + "~o3abcd\n"));
  fs.FailRemove(folder + "~n2abcdef");         // in use: goes at the next restart
  resources.data[kPayloadResourceId].clear();  // and this run fails after the clean-up
  EXPECT_FALSE(Run(targets));
  ASSERT_TRUE(fs.FileExists(targets[1]));
  EXPECT_EQ(fs.FindFile(targets[1])->bytes, Text("old 1"));
  EXPECT_FALSE(fs.FileExists(folder + "~o1abcdef"));
  EXPECT_EQ(fs.RemovedAtRestart(),
            std::set<std::string>{FakeFileSystem::Key(folder + "~n2abcdef")});
  EXPECT_TRUE(fs.FileExists(folder + "~o3abcd"));
  ASSERT_TRUE(fs.FileExists(folder + "~n0zzzzzz"));
  EXPECT_EQ(fs.FindFile(folder + "~n0zzzzzz")->bytes, Text("a user's"));
  EXPECT_TRUE(fs.DirectoryExists(folder + "~n1zzzzzz"));
  // The list keeps the one left until the restart, and only it.
  ASSERT_TRUE(fs.FileExists(folder + std::string(kWorkingListName)));
  EXPECT_EQ(fs.FindFile(folder + std::string(kWorkingListName))->bytes,
            Text(folder + "~n2abcdef\n"));
}

// Where the old file cannot be deleted after the update (Windows keeps a running program's
// file), it goes at the next restart and the update still succeeds; where the volume has no
// hard links the old file is renamed instead.
TEST_F(ExtractTest, OldFilesInUseAndVolumesWithoutHardLinks) {
  InstallOld(targets);
  fs.beforeCall = [&](const std::string& e) {
    if (e.rfind("link " + targets[1] + ">", 0) == 0) fs.FailRemove(e.substr(e.find('>') + 1));
  };
  EXPECT_TRUE(Run(targets));
  fs.beforeCall = nullptr;
  for (std::size_t i = 0; i < files.size(); ++i) ExpectWritten(targets[i], files[i]);
  ASSERT_EQ(fs.RemovedAtRestart().size(), 1u);
  // The one kept until the restart, and the working list that names it.
  EXPECT_EQ(fs.FileCount(), files.size() + 2);

  FreshFolder();
  fs.NoHardLinks();
  const auto old = InstallOld(targets);
  EXPECT_TRUE(Run(targets));
  for (std::size_t i = 0; i < files.size(); ++i) ExpectWritten(targets[i], files[i]);
  EXPECT_EQ(fs.FileCount(), files.size());
  // ... and a failure half way still puts every old file back.
  FreshFolder();
  fs.NoHardLinks();
  InstallOld(targets);
  fs.beforeCall = [&](const std::string& e) {
    if (e.rfind("rename ", 0) == 0 && IsStagedOf(CallPath(e), '2')) fs.FailRename(CallPath(e));
  };
  EXPECT_FALSE(Run(targets));
  fs.beforeCall = nullptr;
  ExpectUnchanged(old);
}

// No path the install writes is longer than the target's own: a target of 259 characters, the
// longest the system allows, installs.
TEST_F(ExtractTest, WorkingNamesAreNoLongerThanTheirTargets) {
  std::vector<std::string> longTargets;
  const std::string folder = "C:\\Program Files\\Corvane\\";
  for (std::size_t i = 0; i < files.size(); ++i) {
    const std::string suffix = "-" + std::to_string(i) + ".aws";
    longTargets.push_back(folder + std::string(259 - folder.size() - suffix.size(), 'w') + suffix);
  }
  InstallOld(longTargets);
  std::size_t longest = 0;
  fs.beforeCall = [&](const std::string& e) {
    longest = std::max(longest, CallPath(e).size());
    if (e.find('>') != std::string::npos) longest = std::max(longest, e.size() - e.find('>') - 1);
  };
  EXPECT_TRUE(Run(longTargets));
  EXPECT_EQ(longest, 259u);
}

TEST_F(ExtractTest, FreshTargetsAndAShorterList) {
  // A list shorter than the payload: the remaining records are ignored.
  EXPECT_TRUE(Run(Targets(2)));
  EXPECT_EQ(fs.FileCount(), 2u);
  ExpectWritten(targets[0], files[0]);
  ExpectWritten(targets[1], files[1]);
  EXPECT_TRUE(errors.messages.empty());
}

TEST_F(ExtractTest, EmptyListTouchesNothing) {
  EXPECT_TRUE(Run({}));
  EXPECT_TRUE(fs.Log().empty());
  EXPECT_TRUE(errors.messages.empty());
}

TEST_F(ExtractTest, WrongExpandedLengthFieldHasNoEffect) {
  Bytes szdd = SzddCompress(Text("the real contents"));
  szdd[10] = 0xFF;  // claims 255 bytes more
  resources.data[kPayloadResourceId] = BuildPayload({szdd});
  EXPECT_TRUE(Run(Targets(1)));
  ExpectWritten(targets[0], Text("the real contents"));
}

// A file that cannot be staged (the disk is full, or the name is held by someone else): no
// message, no target replaced, nothing staged left.
TEST_F(ExtractTest, StagingFailuresLeaveThePreviousInstallation) {
  const auto old = InstallOld(targets);
  // The staged file of the third entry, whatever its name.
  auto onStaged = [&](std::function<void(const std::string&)> act) {
    fs.beforeCall = [this, act](const std::string& e) {
      if (e.rfind("open ", 0) == 0 && IsStagedOf(CallPath(e), '2')) act(CallPath(e));
    };
  };
  struct Case {
    const char* what;
    std::function<void()> arrange;
  };
  const std::vector<Case> cases = {
      {"open", [&] { onStaged([&](const std::string& p) { fs.FailOpen(p); }); }},
      {"write", [&] { onStaged([&](const std::string& p) { fs.FailWrite(p); }); }},
      {"time", [&] { onStaged([&](const std::string& p) { fs.FailSetTime(p); }); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FreshFolder();
    InstallOld(targets);
    c.arrange();
    EXPECT_FALSE(Run(targets));
    fs.beforeCall = nullptr;
    EXPECT_TRUE(errors.messages.empty());
    ExpectUnchanged(old);
    EXPECT_FALSE(fs.Called("rename"));
  }

  // A name taken by someone else (a file, or a folder, put there at the last moment) is left
  // alone, and another name is used.
  for (const bool folder : {false, true}) {
    SCOPED_TRACE(folder ? "folder" : "file");
    fs = FakeFileSystem();
    fs.AddDirectory("C:\\Program Files\\Corvane");
    InstallOld(targets);
    std::string planted;
    onStaged([&](const std::string& p) {
      if (!planted.empty()) return;
      planted = p;
      folder ? fs.AddDirectory(p) : fs.AddFile(p, Text("planted"));
    });
    EXPECT_TRUE(Run(targets));
    fs.beforeCall = nullptr;
    for (std::size_t i = 0; i < files.size(); ++i) ExpectWritten(targets[i], files[i]);
    ASSERT_FALSE(planted.empty());
    EXPECT_EQ(folder ? fs.DirectoryExists(planted) : fs.FindFile(planted)->bytes == Text("planted"),
              true);
    EXPECT_EQ(fs.FileCount(), files.size() + (folder ? 0 : 1));
  }
}

// The targets cannot all be replaced (another program holds one open without delete
// sharing): those already replaced are put back, with their own contents and times, and
// nothing is added beside the held one, whose backup could not be deleted.
TEST_F(ExtractTest, ReplacementFailingHalfWayIsUndone) {
  const auto old = InstallOld(targets);
  fs.HoldOpen(targets[2]);
  EXPECT_FALSE(Run(targets));
  EXPECT_TRUE(errors.messages.empty());
  ExpectUnchanged(old);
  EXPECT_TRUE(fs.RemovedAtRestart().empty());
  EXPECT_FALSE(fs.FindFile(targets[0])->lastWriteTime.has_value());

  // Where held ones may wait for the restart, one whose replacement cannot be arranged still
  // undoes everything, and the restart finds nothing staged to put in place.
  std::vector<std::string> atRestart;
  services.replacedAtRestart = &atRestart;
  fs.HoldOpen(targets[1]);
  const std::string second = "replace-at-restart " + targets[2] + " with ";
  fs.beforeCall = [&](const std::string& e) {
    if (e.rfind(second, 0) == 0) fs.RemoveFile(e.substr(second.size()));
  };
  EXPECT_FALSE(Run(targets));
  fs.beforeCall = nullptr;
  services.replacedAtRestart = nullptr;
  fs.Release(targets[1]);
  fs.Release(targets[2]);
  fs.Restart();
  ExpectUnchanged(old);
  EXPECT_TRUE(atRestart.empty());

  // On a fresh install the files already placed are removed again.
  FreshFolder();
  fs.beforeCall = [&](const std::string& e) {
    if (e.rfind("rename ", 0) == 0 && IsStagedOf(CallPath(e), '3')) fs.FailRename(CallPath(e));
  };
  EXPECT_FALSE(Run(targets));
  fs.beforeCall = nullptr;
  EXPECT_EQ(fs.FileCount(), 0u);
}

TEST_F(ExtractTest, DamagedPayloadsShowTheMessageAndReplaceNothing) {
  Bytes lengthTooLarge = PayloadOf({Text("first")});
  const Bytes second = PayloadOf({Text("second")});
  lengthTooLarge.resize(lengthTooLarge.size() - 4);  // drop the terminator...
  lengthTooLarge.insert(lengthTooLarge.end(), second.begin(), second.end() - 5);  // cut the body
  Bytes halfLength = PayloadOf({files[0], files[1], files[2]});
  halfLength.resize(halfLength.size() - 2);  // half a length where the fourth should be
  Bytes badMode = PayloadOf(files);
  badMode[4 + 4] = 'B';  // the first record is not mode 'A'
  Bytes noTerminator = PayloadOf(files);
  noTerminator.resize(noTerminator.size() - 4);
  const std::vector<std::pair<const char*, Bytes>> cases = {
      {"missing payload", {}},
      {"length larger than the rest", lengthTooLarge},
      {"half a length", halfLength},
      {"terminator before the last entry", PayloadOf({files[0], files[1], files[2]})},
      {"record that does not expand", badMode},
      {"record that expands to nothing", PayloadOf({files[0], Bytes{}, files[2], files[3]})},
      // Enough records, but the container does not end where its digests would follow.
      {"no terminator", noTerminator},
  };
  for (const auto& [what, payload] : cases) {
    SCOPED_TRACE(what);
    FreshFolder();
    const auto old = InstallOld(targets);
    errors.messages.clear();
    resources.data[kPayloadResourceId] = payload;

    EXPECT_FALSE(Run(targets));
    EXPECT_THAT(errors.messages, ElementsAre("Error in installation"));
    ExpectUnchanged(old);
  }
}

// Only what was packed is installed: a payload that differs from its digests in any byte, or
// whose digests do not fit the list, installs nothing and keeps the previous installation; the
// log names the digests that differ. A payload without digests installs as before.
TEST_F(ExtractTest, PayloadThatDiffersFromItsDigestsInstallsNothing) {
  const Bytes good = PayloadWithDigests(files);
  Bytes changedLiteral = good;
  changedLiteral[4 + 11] ^= 0x01;  // the first literal of the first record: still expands
  Bytes changedBlock = good;
  changedBlock[good.size() - 1] ^= 0x01;  // the last file's digest
  std::vector<Bytes> fiveFiles = files;
  fiveFiles.push_back(Text("one more"));
  Bytes badMarker = good;
  badMarker[PayloadOf(files).size()] = 'c';
  const std::string other = DigestHex(Sha256Of(files[3]));
  const struct {
    const char* what;
    Bytes payload;
    std::string line;  // the start of the log line
  } cases[] = {
      {"a changed record", changedLiteral, "payload damaged: the records have SHA-256 "},
      {"a record that expands to other bytes than were packed",
       PayloadWithDigests(files, {files[0], files[1], Text("other"), files[3]}),
       "payload damaged: file2.bin expands to SHA-256 " + DigestHex(Sha256Of(files[2])) +
           ", packed as " + DigestHex(Sha256Of(Text("other")))},
      {"a changed digest", changedBlock, "payload damaged: file3.bin expands to SHA-256 " + other},
      {"digests of more files than the list", PayloadWithDigests(fiveFiles),
       "payload damaged: its digests are for another number of files than the install list"},
      {"a malformed block", badMarker,
       "payload damaged: bytes after the terminator that are not a digest block"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FreshFolder();
    const auto old = InstallOld(targets);
    errors.messages.clear();
    setupLog.lines.clear();
    resources.data[kPayloadResourceId] = c.payload;

    EXPECT_FALSE(Run(targets));
    EXPECT_THAT(errors.messages, ElementsAre("Error in installation"));
    ExpectUnchanged(old);
    ASSERT_EQ(setupLog.lines.size(), 1u);
    EXPECT_EQ(setupLog.lines[0].rfind(c.line, 0), 0u) << setupLog.lines[0];
  }

  for (const bool digests : {true, false}) {
    SCOPED_TRACE(digests ? "with digests" : "without");
    FreshFolder();
    InstallOld(targets);
    setupLog.lines.clear();
    resources.data[kPayloadResourceId] = digests ? good : PayloadOf(files);
    EXPECT_TRUE(Run(targets));
    for (std::size_t i = 0; i < files.size(); ++i) ExpectWritten(targets[i], files[i]);
    EXPECT_THAT(setupLog.lines, ElementsAre(digests ? "payload verified (SHA-256)"
                                               : "payload not verified (no digests)"));
  }
}

TEST_F(ExtractTest, FileLargerThanTheBufferIsRejectedOneOfItsSizeAccepted) {
  resources.data[kPayloadResourceId] =
      BuildPayload({SzddCompress(Text("fits")), SpacesSzdd(kExpansionBufferSize + 1)});
  EXPECT_FALSE(Run(Targets(2)));
  EXPECT_THAT(errors.messages, ElementsAre("Error in installation"));
  EXPECT_EQ(fs.FileCount(), 0u);
  // One byte less is exactly the buffer: accepted.
  resources.data[kPayloadResourceId] = BuildPayload({SpacesSzdd(kExpansionBufferSize)});
  EXPECT_TRUE(Run(Targets(1)));
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
