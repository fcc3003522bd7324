// The uninstaller's removal through open folders, on the real file system: what the cleanup
// copy checks, and what it removes.
#include "uninstall/win32/win32_removal.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "system/win32/file_paths.h"
#include "system/win32/wide.h"
#include "win32/payload/scratch_folder.h"

namespace corvane {
namespace {

using testing::Exists;

bool WriteText(const std::wstring& path) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = WriteFile(file, "text", 4, &written, nullptr) != FALSE;
  CloseHandle(file);
  return ok;
}

TEST(Win32RemovalTest, OpenFoldersAreCheckedAndEmptiedThroughTheirHandles) {
  wchar_t temp[MAX_PATH];
  ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
  const std::wstring root =
      std::wstring(temp) + L"corvane-removal-" + std::to_wstring(GetCurrentProcessId()) + L"\\";
  const std::wstring product = root + L"Corvane\\";
  ASSERT_TRUE(CreateDirectoryW(root.c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW(product.c_str(), nullptr));
  ASSERT_TRUE(CopyFileW(ModulePath().c_str(), (product + L"uninstall.exe").c_str(), TRUE));
  ASSERT_TRUE(WriteText(product + L"other.exe"));
  ASSERT_TRUE(WriteText(root + L"file.txt"));

  Win32RemovalFileSystem files;
  RemovalFileSystem::Folder base = 0, folder = 0, none = 0;
  ASSERT_EQ(files.OpenBase(FromWide(root), base), FolderOpen::Opened);
  for (const char* name : {"file.txt", "..", "Corvane\\..", "Corvane:stream"}) {
    EXPECT_EQ(files.OpenFolder(base, name, none), FolderOpen::Refused) << name;
  }
  EXPECT_EQ(files.OpenFolder(base, "missing", none), FolderOpen::Missing);
  ASSERT_EQ(files.OpenFolder(base, "CORVANE", folder), FolderOpen::Opened);
  EXPECT_EQ(
      CompareStringOrdinal(ToWide(files.PathOf(folder)).c_str(), -1, product.c_str(), -1, TRUE),
      CSTR_EQUAL)
      << files.PathOf(folder);
  EXPECT_EQ(files.PathOf(0x12345), "");
  // Held without delete sharing: nobody can move it away and put something else there.
  EXPECT_FALSE(MoveFileW(product.c_str(), (root + L"moved").c_str()));

  // The copy removes only a file that is this very program.
  EXPECT_TRUE(files.IsThisProgram(folder, "uninstall.exe"));
  EXPECT_FALSE(files.IsThisProgram(folder, "other.exe"));
  EXPECT_EQ(files.RemoveFile(folder, "other.exe"), RemoveResult::Removed);
  EXPECT_FALSE(Exists(product + L"other.exe"));
  EXPECT_EQ(files.RemoveFile(folder, "other.exe"), RemoveResult::Missing);

  // A folder with something in it stays; the call closes the folder either way.
  EXPECT_EQ(files.RemoveFolder(folder), RemoveResult::Failed);
  EXPECT_TRUE(Exists(product + L"uninstall.exe"));
  ASSERT_EQ(files.OpenFolder(base, "Corvane", folder), FolderOpen::Opened);
  EXPECT_EQ(files.RemoveFile(folder, "uninstall.exe"), RemoveResult::Removed);
  EXPECT_EQ(files.RemoveFolder(folder), RemoveResult::Removed);
  EXPECT_FALSE(Exists(product));
  files.Close(base);

  DeleteFileW((root + L"file.txt").c_str());
  RemoveDirectoryW(root.c_str());
}

}  // namespace
}  // namespace corvane
