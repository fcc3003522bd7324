// Folder creation and the drive rules against the real file system of a fresh prefix.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "payload/paths.h"
#include "payload/win32/win32_file_system.h"
#include "support/folder_cases.h"
#include "win32/payload/scratch_folder.h"
#include "system/win32/wide.h"

namespace corvane {
namespace {

using testing::IsFolder;

class FoldersOnDisk : public ::testing::Test {
 protected:
  void SetUp() override { CreateDirectoryW(L"C:\\fold", nullptr); }
  Win32FileSystem fs;
};

// The table of tests/support/folder_cases.h, which the host tests run against their double.
TEST_F(FoldersOnDisk, TheSharedCases) {
  ASSERT_EQ(fs.DriveTypeOf("Q:\\"), DriveType::NoRootDir);
  HANDLE h =
      CreateFileW(L"C:\\fold\\blocker", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
  testing::RunFolderSteps(fs);
  EXPECT_TRUE(IsFolder(L"C:\\fold\\A\\B\\C"));
  EXPECT_TRUE(IsFolder(L"C:\\fold\\Trimmed"));
  // The non-ASCII names arrive as they were given.
  EXPECT_TRUE(IsFolder(L"C:\\fold\\Donn\u00e9es\\\u4e2d\u6587\\\U0001F600"));
  EXPECT_TRUE(IsFolder(ToWide(testing::FoldPathOfUnits(255))));
  EXPECT_FALSE(IsFolder(ToWide(testing::FoldPathOfUnits(260))));
}

TEST_F(FoldersOnDisk, RelativeFolderIsCreatedInTheCurrentFolder) {
  wchar_t previous[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, previous);
  ASSERT_TRUE(SetCurrentDirectoryW(L"C:\\fold"));
  const bool made = EnsureFolder(fs, "relative");
  SetCurrentDirectoryW(previous);
  EXPECT_TRUE(made);
  EXPECT_TRUE(IsFolder(L"C:\\fold\\relative"));
}

// Needs a prefix with a CD-ROM drive (tests/win32/system/wine-run-with-cdrom.sh).
TEST(FoldersOnDrives, CdRomDriveCountsAsExisting) {
  const char* drive = std::getenv("CORVANE_CDROM_DRIVE");
  if (drive == nullptr || *drive == '\0') GTEST_SKIP() << "no CD-ROM drive in this prefix";
  Win32FileSystem fs;
  const std::string root = drive;
  ASSERT_EQ(fs.DriveTypeOf(root + "\\"), DriveType::CdRom);
  EXPECT_TRUE(FolderExists(fs, root));
  EXPECT_TRUE(EnsureFolder(fs, root));
  EXPECT_TRUE(EnsureFolder(fs, root + "\\"));
  EXPECT_TRUE(EnsureFolder(fs, root + "\\existing\\"));
  EXPECT_TRUE(PathExists(fs, root + "\\readme.txt"));
}

}  // namespace
}  // namespace corvane
