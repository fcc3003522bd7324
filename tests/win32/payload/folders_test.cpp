// Folder creation and the drive rules against the real file system of a fresh prefix.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "payload/paths.h"
#include "payload/win32/win32_file_system.h"
#include "system/win32/wide.h"

namespace corvane {
namespace {

bool IsFolder(const std::wstring& path) {
  const DWORD a = GetFileAttributesW(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// "C:\fold\" followed by 'x's up to the given number of UTF-16 units.
std::string LongPath(std::size_t units) { return "C:\\fold\\" + std::string(units - 8, 'x'); }

class FoldersOnDisk : public ::testing::Test {
 protected:
  void SetUp() override { CreateDirectoryW(L"C:\\fold", nullptr); }
  Win32FileSystem fs;
};

TEST_F(FoldersOnDisk, NestedFoldersAreCreatedFromTheOutermostIn) {
  ASSERT_FALSE(IsFolder(L"C:\\fold\\A"));
  EXPECT_TRUE(EnsureFolder(fs, "C:\\fold\\A\\B\\C\\"));
  EXPECT_TRUE(IsFolder(L"C:\\fold\\A\\B\\C"));
  EXPECT_TRUE(EnsureFolder(fs, "C:\\fold\\A\\B\\C\\"));  // existing
  EXPECT_EQ(CreateFolderTree(fs, "C:\\fold\\A\\B\\C"), kFolderOk);
}

TEST_F(FoldersOnDisk, NonAsciiNamesArriveAsTheyWereGiven) {
  // "C:\fold\Données\中文\😀"
  EXPECT_TRUE(EnsureFolder(fs,
                           "C:\\fold\\Donn\xC3\xA9"
                           "es\\\xE4\xB8\xAD\xE6\x96\x87\\\xF0\x9F\x98\x80\\"));
  EXPECT_TRUE(IsFolder(L"C:\\fold\\Donn\u00e9es\\\u4e2d\u6587\\\U0001F600"));
  EXPECT_TRUE(FolderExists(fs,
                           "C:\\fold\\Donn\xC3\xA9"
                           "es\\"));
}

TEST_F(FoldersOnDisk, DriveRoots) {
  EXPECT_EQ(fs.DriveTypeOf("C:\\"), DriveType::Fixed);
  EXPECT_TRUE(EnsureFolder(fs, "C:\\"));
  EXPECT_TRUE(EnsureFolder(fs, "C:"));
  EXPECT_TRUE(FolderExists(fs, "C:"));
}

TEST_F(FoldersOnDisk, LengthLimits) {
  // 252 to 259 units: FolderExists does not find it, CreateFolderTree still creates it.
  const std::string p255 = LongPath(255);
  EXPECT_TRUE(EnsureFolder(fs, p255 + "\\"));
  EXPECT_TRUE(IsFolder(ToWide(p255)));
  EXPECT_FALSE(FolderExists(fs, p255));
  EXPECT_TRUE(PathExists(fs, p255));

  const std::string p260 = LongPath(260);
  EXPECT_EQ(CreateFolderTree(fs, p260), kFolderPathTooLong);
  EXPECT_FALSE(EnsureFolder(fs, p260));
  EXPECT_FALSE(IsFolder(ToWide(p260)));
}

TEST_F(FoldersOnDisk, InvalidNamesAndUncPathsAreRefused) {
  EXPECT_EQ(CreateFolderTree(fs, "C:\\fold\\a<b"), kFolderBadPathname);
  EXPECT_FALSE(EnsureFolder(fs, "C:\\fold\\a|b\\"));
  EXPECT_FALSE(EnsureFolder(fs, "C:\\fold\\a*"));
  EXPECT_FALSE(EnsureFolder(fs, "\\\\nosuchserver\\share\\new\\"));
}

TEST_F(FoldersOnDisk, AParentThatIsAFileEndsTheCreation) {
  HANDLE h =
      CreateFileW(L"C:\\fold\\blocker", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
  EXPECT_EQ(CreateFolderTree(fs, "C:\\fold\\blocker\\sub\\leaf"), kFolderAccessDenied);
  EXPECT_FALSE(EnsureFolder(fs, "C:\\fold\\blocker\\sub\\"));
  // The file itself passes: neither existence test tells files from folders.
  EXPECT_TRUE(EnsureFolder(fs, "C:\\fold\\blocker\\"));
}

TEST_F(FoldersOnDisk, SurroundingWhiteSpaceIsTrimmedForCreation) {
  EXPECT_TRUE(EnsureFolder(fs, "  C:\\fold\\Trimmed\\  "));
  EXPECT_TRUE(IsFolder(L"C:\\fold\\Trimmed"));
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

TEST(FoldersOnDrives, MissingDriveFails) {
  Win32FileSystem fs;
  ASSERT_EQ(fs.DriveTypeOf("Q:\\"), DriveType::NoRootDir);
  EXPECT_FALSE(FolderExists(fs, "Q:"));
  EXPECT_FALSE(EnsureFolder(fs, "Q:"));
  EXPECT_FALSE(EnsureFolder(fs, "Q:\\"));
  EXPECT_FALSE(EnsureFolder(fs, "Q:\\x\\y\\"));
  EXPECT_NE(CreateFolderTree(fs, "Q:\\x\\y"), kFolderOk);
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
