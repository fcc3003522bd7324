// ExtractPayload for real: the packed sample product embedded in this test program as RCDATA
// 129, expanded in memory, staged and put in place by the Win32 file system.
#include "payload/extract.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "payload/win32/module_resources.h"
#include "payload/win32/win32_file_system.h"
#include "support/fake_payload_services.h"
#include "win32/payload/scratch_folder.h"

namespace corvane {
namespace {

using testing::LastWriteTime;
using testing::ReadAll;
using testing::ScratchFolder;

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint64_t kInstallTime = (1376119200ull + 11644473600ull) * 10'000'000ull;
const Timestamp kStamp{2013, 8, 10, 7, 20, 0};
const std::string kGreekUser = "\xCE\x9C\xCE\xB1\xCF\x81\xCE\xAF\xCE\xB1";

// Every name in `folder` (ending with a backslash), as FindFirstFileW lists them, sorted.
std::vector<std::string> NamesIn(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(ToWide(folder + "*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    const std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") names.push_back(FromWide(name));
  } while (FindNextFileW(search, &found));
  FindClose(search);
  std::sort(names.begin(), names.end());
  return names;
}

// A build-machine path as this program sees it through Wine's Z: drive.
std::string FromBuildMachine(const std::string& unixPath) {
  std::string p = "Z:" + unixPath;
  for (char& c : p) {
    if (c == '/') c = '\\';
  }
  return p;
}

// The product files that were packed, in record order (written by the build next to the
// payload).
std::vector<std::string> PackedFiles() {
  std::vector<std::string> files;
  const char* bin = std::getenv("CORVANE_BINARY_DIR");
  if (bin == nullptr) return files;
  const Bytes list = ReadAll(FromBuildMachine(std::string(bin) + "/payload/payload.files"));
  std::string line;
  for (std::uint8_t c : list) {
    if (c == '\n') {
      if (!line.empty()) files.push_back(FromBuildMachine(line));
      line.clear();
    } else {
      line.push_back(static_cast<char>(c));
    }
  }
  return files;
}

std::string FileName(const std::string& path) { return path.substr(path.rfind('\\') + 1); }

class ExtractWin32Test : public ::testing::Test {
 protected:
  void SetUp() override {
    packed = PackedFiles();
    ASSERT_EQ(packed.size(), 11u) << "CORVANE_BINARY_DIR/payload/payload.files not readable";
  }
  bool Run(const std::vector<std::string>& targets) {
    return ExtractPayload(services, targets, kStamp, kPayloadResourceId);
  }
  // Targets like the setup's: three programs in the install folder, the rest in the data folder.
  std::vector<std::string> Targets(const ScratchFolder& install, const ScratchFolder& data) {
    std::vector<std::string> t;
    for (std::size_t i = 0; i < packed.size(); ++i) {
      t.push_back((i < 3 ? install.Path() : data.Path()) + FileName(packed[i]));
    }
    return t;
  }
  // The names of the targets in `folder`, sorted: what the folder should list and no more.
  static std::vector<std::string> TargetNamesIn(const std::vector<std::string>& targets,
                                                const ScratchFolder& folder) {
    std::vector<std::string> names;
    for (const std::string& t : targets) {
      if (t.rfind(folder.Path(), 0) == 0) names.push_back(FileName(t));
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  std::vector<std::string> packed;
  Win32FileSystem files;
  ModuleResources resources;
  testing::RecordingErrorReporter errors;
  ExtractServices services{files, resources, errors};
};

TEST_F(ExtractWin32Test, InstallsTheSampleProductByteForByte) {
  ScratchFolder install("Program Files\\Corvane");
  ScratchFolder data("ProgramData\\" + kGreekUser);
  const auto targets = Targets(install, data);

  ASSERT_TRUE(Run(targets));

  EXPECT_TRUE(errors.messages.empty());
  for (std::size_t i = 0; i < targets.size(); ++i) {
    SCOPED_TRACE(targets[i]);
    const Bytes expected = ReadAll(packed[i]);
    ASSERT_FALSE(expected.empty());
    const Bytes got = ReadAll(targets[i]);
    EXPECT_EQ(got.size(), expected.size());
    EXPECT_TRUE(got == expected);
    EXPECT_EQ(LastWriteTime(targets[i]), kInstallTime);
  }
  EXPECT_EQ(NamesIn(install.Path()), TargetNamesIn(targets, install));
  EXPECT_EQ(NamesIn(data.Path()), TargetNamesIn(targets, data));
}

// help.bin held open by another program without delete sharing: it cannot be replaced. That is
// found before anything is added beside it; every file already put in place is put back, and
// both folders list exactly what they held before. Once it is let go, the install goes through.
TEST_F(ExtractWin32Test, HeldTargetFailsWithNothingAdded) {
  ScratchFolder install("Program Files\\Corvane");
  ScratchFolder data("ProgramData\\Corvane");
  const auto targets = Targets(install, data);
  std::vector<Bytes> old;
  for (std::size_t i = 0; i < targets.size(); ++i) {
    old.push_back(Bytes(10 + i, static_cast<std::uint8_t>('a' + i)));
    HANDLE h = CreateFileW(ToWide(targets[i]).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(h, old[i].data(), static_cast<DWORD>(old[i].size()), &written, nullptr);
    CloseHandle(h);
  }
  const std::string help = data.Path() + "help.bin";
  ASSERT_NE(std::find(targets.begin(), targets.end(), help), targets.end());
  HANDLE holder = CreateFileW(ToWide(help).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(Run(targets));
  CloseHandle(holder);
  EXPECT_TRUE(errors.messages.empty());
  for (std::size_t i = 0; i < targets.size(); ++i) {
    SCOPED_TRACE(targets[i]);
    EXPECT_TRUE(ReadAll(targets[i]) == old[i]);
  }
  EXPECT_EQ(NamesIn(install.Path()), TargetNamesIn(targets, install));
  EXPECT_EQ(NamesIn(data.Path()), TargetNamesIn(targets, data));
  ASSERT_TRUE(Run(targets));
  EXPECT_EQ(NamesIn(data.Path()), TargetNamesIn(targets, data));
}

TEST_F(ExtractWin32Test, StagedFileIsOpenToNobodyWhileWritten) {
  ScratchFolder dir("staging");
  const std::string path = dir.Path() + "~n0abcd";
  auto file = files.OpenForWriting(path, ShareMode::None, OpenMode::CreateNew);
  ASSERT_NE(file, nullptr);
  for (DWORD access : {static_cast<DWORD>(GENERIC_READ), static_cast<DWORD>(GENERIC_WRITE),
                       static_cast<DWORD>(DELETE)}) {
    HANDLE other = CreateFileW(ToWide(path).c_str(), access,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(other, INVALID_HANDLE_VALUE) << access;
    if (other != INVALID_HANDLE_VALUE) CloseHandle(other);
  }
  // A name that is taken is never opened, so nothing planted there is written through.
  EXPECT_EQ(files.OpenForWriting(path, ShareMode::None, OpenMode::CreateNew), nullptr);
}

TEST(ModuleResourcesTest, FindsTheEmbeddedPayloadOnly) {
  ModuleResources resources;
  const auto payload = resources.RcData(kPayloadResourceId);
  ASSERT_GT(payload.size(), 8u);
  // The first record's body starts with the second half of the SZDD magic.
  EXPECT_EQ(payload[4], 0x88);
  EXPECT_EQ(payload[5], 0xF0);
  EXPECT_EQ(payload[6], 0x27);
  EXPECT_EQ(payload[7], 0x33);
  EXPECT_TRUE(resources.RcData(130).empty());
}

}  // namespace
}  // namespace corvane
