// ExtractPayload for real: the packed sample product embedded in this test program as RCDATA
// 129, expanded by LZ32 through the temporary file, written by the Win32 file system.
#include "payload/extract.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "payload/win32/lz32_expander.h"
#include "payload/win32/module_resources.h"
#include "payload/win32/win32_file_system.h"
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

class RecordingErrors : public ErrorReporter {
 public:
  void ShowError(std::string_view text) override { messages.emplace_back(text); }
  std::vector<std::string> messages;
};

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
  bool Run(const std::vector<std::string>& targets, const std::string& temp) {
    return ExtractPayload(services, targets, temp, kStamp, kPayloadResourceId);
  }
  // Targets like the setup's: three programs in the install folder, the rest in the data folder.
  std::vector<std::string> Targets(const ScratchFolder& install, const ScratchFolder& data) {
    std::vector<std::string> t;
    for (std::size_t i = 0; i < packed.size(); ++i) {
      t.push_back((i < 3 ? install.Path() : data.Path()) + FileName(packed[i]));
    }
    return t;
  }

  std::vector<std::string> packed;
  Win32FileSystem files;
  Lz32Expander lz;
  ModuleResources resources;
  RecordingErrors errors;
  ExtractServices services{files, lz, resources, errors};
};

TEST_F(ExtractWin32Test, InstallsTheSampleProductByteForByte) {
  ScratchFolder install("Program Files\\Corvane");
  ScratchFolder data("ProgramData\\Corvane");
  ScratchFolder work("Work");
  const auto targets = Targets(install, data);
  const std::string temp = work.Path() + "prog.tmp";

  ASSERT_TRUE(Run(targets, temp));

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
  EXPECT_EQ(GetFileAttributesW(ToWide(temp).c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(ExtractWin32Test, WorksThroughALongGreekWorkFolder) {
  // A user profile named in Greek, nested deep enough that the temporary file's path is far
  // beyond the 128 characters OpenFile accepts.
  ScratchFolder install("Program Files\\Corvane");
  ScratchFolder data("ProgramData\\Corvane");
  ScratchFolder work("Users\\" + kGreekUser +
                     "\\AppData\\Local\\a rather long folder name for the work folder of the "
                     "setup\\\xCE\xB5\xCE\xB3\xCE\xBA\xCE\xB1\xCF\x84\xCE\xAC\xCF\x83\xCF\x84"
                     "\xCE\xB1\xCF\x83\xCE\xB7 Corvane");
  ASSERT_TRUE(work.Exists());
  const std::string temp = work.Path() + "prog.tmp";
  ASSERT_GT(temp.size(), 160u);
  const auto targets = Targets(install, data);

  ASSERT_TRUE(Run(targets, temp));
  EXPECT_TRUE(errors.messages.empty());
  EXPECT_TRUE(ReadAll(targets[7]) == ReadAll(packed[7]));  // help.bin, the largest file
  EXPECT_EQ(LastWriteTime(targets[10]), kInstallTime);
  EXPECT_EQ(GetFileAttributesW(ToWide(temp).c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(ExtractWin32Test, RunningProgramMakesItFailWithoutMessage) {
  ScratchFolder install("Program Files\\Corvane");
  ScratchFolder data("ProgramData\\Corvane");
  ScratchFolder work("Work");
  const auto targets = Targets(install, data);
  const std::string temp = work.Path() + "prog.tmp";
  ASSERT_TRUE(Run(targets, temp));

  // A running kvxh.exe: its image is open for reading and executing, not for writing.
  HANDLE running = CreateFileW(ToWide(targets[1]).c_str(), GENERIC_READ | GENERIC_EXECUTE,
                               FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(running, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(Run(targets, temp));
  CloseHandle(running);
  EXPECT_TRUE(errors.messages.empty());
  // The record before it was written again; the temporary file stays with kvxh.exe's image.
  EXPECT_TRUE(ReadAll(targets[0]) == ReadAll(packed[0]));
  EXPECT_NE(GetFileAttributesW(ToWide(temp).c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(ExtractWin32Test, MissingTempFolderShowsTheMessageOnce) {
  ScratchFolder install("Program Files\\Corvane");
  ScratchFolder data("ProgramData\\Corvane");
  EXPECT_FALSE(Run(Targets(install, data), install.Path() + "missing\\prog.tmp"));
  ASSERT_EQ(errors.messages.size(), 1u);
  EXPECT_EQ(errors.messages[0], "Error in installation");
  EXPECT_EQ(GetFileAttributesW(ToWide(install.Path() + "kvx.exe").c_str()),
            INVALID_FILE_ATTRIBUTES);
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
