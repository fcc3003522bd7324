#include "payload/win32/win32_file_system.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "payload/extract.h"
#include "payload/win32/win32_folder_security.h"
#include "win32/payload/scratch_folder.h"

namespace corvane {
namespace {

using testing::ReadAll;
using testing::ScratchFolder;

using Bytes = std::vector<std::uint8_t>;

// Greek folder name: the wide API must see the same characters.
const std::string kGreek = "\xCE\xA7\xCF\x81\xCE\xAE\xCF\x83\xCF\x84\xCE\xB7\xCF\x82";

HANDLE OpenForReading(const std::string& path) {
  return CreateFileW(ToWide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                     nullptr, OPEN_EXISTING, 0, nullptr);
}

TEST(Win32FileSystemTest, OpenModes) {
  ScratchFolder dir(kGreek);
  Win32FileSystem fs;
  const std::string path = dir.Path() + "data.bin";
  {
    auto f = fs.OpenForWriting(path, ShareMode::None, OpenMode::CreateAlways);
    ASSERT_NE(f, nullptr);
    EXPECT_TRUE(f->Write(Bytes(100, 'a')));
  }
  EXPECT_EQ(ReadAll(path), Bytes(100, 'a'));
  {
    auto f = fs.OpenForWriting(path, ShareMode::Read, OpenMode::OpenExisting);
    ASSERT_NE(f, nullptr);
  }
  EXPECT_EQ(ReadAll(path).size(), 100u);
  EXPECT_EQ(fs.OpenForWriting(path, ShareMode::None, OpenMode::CreateNew), nullptr);
  EXPECT_EQ(fs.OpenForWriting(path, ShareMode::Read, OpenMode::CreateNewGone), nullptr);
  EXPECT_EQ(ReadAll(path).size(), 100u);
  const std::string absent = dir.Path() + "absent.bin";
  EXPECT_EQ(fs.OpenForWriting(absent, ShareMode::Read, OpenMode::OpenExisting), nullptr);
  {
    // The write probe of a fresh folder: a file that is gone once closed.
    auto f = fs.OpenForWriting(absent, ShareMode::Read, OpenMode::CreateNewGone);
    ASSERT_NE(f, nullptr);
    EXPECT_TRUE(fs.HasAttributes(absent));
  }
  EXPECT_FALSE(fs.HasAttributes(absent));
  {
    auto f = fs.OpenForWriting(path, ShareMode::Read, OpenMode::CreateAlways);
    ASSERT_NE(f, nullptr);
    EXPECT_TRUE(f->Write(Bytes(3, 'b')));
  }
  EXPECT_EQ(ReadAll(path), Bytes(3, 'b'));
  EXPECT_EQ(
      fs.OpenForWriting(dir.Path() + "missing\\x.bin", ShareMode::Read, OpenMode::CreateAlways),
      nullptr);
}

TEST(Win32FileSystemTest, ShareModeDecidesWhetherOthersMayRead) {
  ScratchFolder dir("share");
  Win32FileSystem fs;
  const std::string path = dir.Path() + "f.bin";
  {
    auto exclusive = fs.OpenForWriting(path, ShareMode::None, OpenMode::CreateAlways);
    ASSERT_NE(exclusive, nullptr);
    HANDLE reader = OpenForReading(path);
    EXPECT_EQ(reader, INVALID_HANDLE_VALUE);
    if (reader != INVALID_HANDLE_VALUE) CloseHandle(reader);
  }
  {
    auto shared = fs.OpenForWriting(path, ShareMode::Read, OpenMode::CreateAlways);
    ASSERT_NE(shared, nullptr);
    HANDLE reader = OpenForReading(path);
    EXPECT_NE(reader, INVALID_HANDLE_VALUE);
    if (reader != INVALID_HANDLE_VALUE) CloseHandle(reader);
    // A second writer is refused while the first holds the file: a running program's exe.
    EXPECT_EQ(fs.OpenForWriting(path, ShareMode::Read, OpenMode::CreateAlways), nullptr);
  }
  // Destroying the file closed the handle: the file can be replaced now.
  EXPECT_NE(fs.OpenForWriting(path, ShareMode::None, OpenMode::CreateAlways), nullptr);
}

TEST(Win32FileSystemTest, SetsOnlyTheLastWriteTime) {
  ScratchFolder dir("time");
  Win32FileSystem fs;
  const std::string path = dir.Path() + "t.bin";
  const std::uint64_t stamp = ToFileTime({2013, 8, 10, 7, 20, 0});
  {
    auto f = fs.OpenForWriting(path, ShareMode::Read, OpenMode::CreateAlways);
    ASSERT_NE(f, nullptr);
    EXPECT_TRUE(f->Write(Bytes(10, 'x')));
    EXPECT_TRUE(f->SetLastWriteTime(stamp));
  }
  WIN32_FILE_ATTRIBUTE_DATA data;
  ASSERT_TRUE(GetFileAttributesExW(ToWide(path).c_str(), GetFileExInfoStandard, &data));
  const auto ticks = [](const FILETIME& ft) {
    return (static_cast<std::uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
  };
  EXPECT_EQ(ticks(data.ftLastWriteTime), stamp);
  // Unix time 1376119200 as the system converts it.
  SYSTEMTIME st;
  ASSERT_TRUE(FileTimeToSystemTime(&data.ftLastWriteTime, &st));
  EXPECT_EQ(st.wYear, 2013);
  EXPECT_EQ(st.wMonth, 8);
  EXPECT_EQ(st.wDay, 10);
  EXPECT_EQ(st.wHour, 7);
  EXPECT_EQ(st.wMinute, 20);
}

TEST(Win32FileSystemTest, RemoveAttributesDriveTypeAndFolders) {
  ScratchFolder dir(kGreek);
  Win32FileSystem fs;
  const std::string file = dir.Path() + "r.bin";
  { ASSERT_NE(fs.OpenForWriting(file, ShareMode::None, OpenMode::CreateAlways), nullptr); }
  EXPECT_TRUE(fs.HasAttributes(file));
  EXPECT_TRUE(fs.HasAttributes(dir.Path()));
  EXPECT_TRUE(fs.RemoveFile(file));
  EXPECT_FALSE(fs.HasAttributes(file));
  EXPECT_FALSE(fs.RemoveFile(file));

  EXPECT_EQ(fs.DriveTypeOf("C:\\"), DriveType::Fixed);

  const std::string sub = dir.Path() + kGreek;
  EXPECT_EQ(fs.MakeDirectory(sub), CreateDirResult::Created);
  EXPECT_EQ(fs.MakeDirectory(sub), CreateDirResult::AlreadyExists);
  EXPECT_EQ(fs.MakeDirectory(dir.Path() + "no\\such"), CreateDirResult::PathNotFound);
  EXPECT_EQ(fs.MakeDirectory(dir.Path() + "bad|name"), CreateDirResult::OtherError);
  EXPECT_TRUE(fs.HasAttributes(sub));
}

TEST(Win32FileSystemTest, RenameReplacesOnlyWhenAsked) {
  ScratchFolder dir("rename");
  Win32FileSystem fs;
  const std::string a = dir.Path() + "a.bin", b = dir.Path() + "b.bin";
  { ASSERT_TRUE(fs.OpenForWriting(a, ShareMode::None, OpenMode::CreateNew)->Write(Bytes(1, 'a'))); }
  { ASSERT_TRUE(fs.OpenForWriting(b, ShareMode::None, OpenMode::CreateNew)->Write(Bytes(2, 'b'))); }
  EXPECT_FALSE(fs.RenameFile(a, b, false));
  EXPECT_EQ(ReadAll(b), Bytes(2, 'b'));
  EXPECT_TRUE(fs.RenameFile(a, b, true));
  EXPECT_EQ(ReadAll(b), Bytes(1, 'a'));
  EXPECT_FALSE(fs.HasAttributes(a));
  EXPECT_TRUE(fs.RenameFile(b, a, false));
  EXPECT_EQ(ReadAll(a), Bytes(1, 'a'));
}

// A second name shares the file: after the first name is replaced, the old contents are still
// there under the link. The folder listing gives exactly the names with the prefix.
TEST(Win32FileSystemTest, HardLinkKeepsTheOldFileAcrossAReplace) {
  ScratchFolder dir("link");
  Win32FileSystem fs;
  const std::string target = dir.Path() + "kvx.exe", link = dir.Path() + "~o0abcd",
                    staged = dir.Path() + "~n0abcd";
  {
    ASSERT_TRUE(
        fs.OpenForWriting(target, ShareMode::None, OpenMode::CreateNew)->Write(Bytes(3, 'o')));
  }
  {
    ASSERT_TRUE(
        fs.OpenForWriting(staged, ShareMode::None, OpenMode::CreateNew)->Write(Bytes(2, 'n')));
  }
  ASSERT_TRUE(fs.LinkFile(target, link));
  EXPECT_FALSE(fs.LinkFile(target, link));  // the name is taken
  ASSERT_TRUE(fs.RenameFile(staged, target, true));
  EXPECT_EQ(ReadAll(target), Bytes(2, 'n'));
  EXPECT_EQ(ReadAll(link), Bytes(3, 'o'));
  EXPECT_NE(fs.RandomNumber(), fs.RandomNumber());
}

// A held folder cannot be renamed or deleted by anyone until it is released, and its owner and
// access list are read from the handle. A file is not taken for a folder.
TEST(Win32FolderSecurityTest, PinnedFolderCannotBeMovedUntilReleased) {
  ScratchFolder dir("pin");
  Win32FolderSecurity security;
  const std::string folder = dir.Path() + "Corvane";
  const std::string moved = dir.Path() + "Elsewhere";
  ASSERT_TRUE(CreateDirectoryW(ToWide(folder).c_str(), nullptr));
  std::unique_ptr<PinnedFolder> pin;
  ASSERT_EQ(security.Pin(folder, pin), PinResult::Pinned);
  ASSERT_NE(pin, nullptr);
  FolderAccess access;
  EXPECT_TRUE(pin->ReadAccess(access));
  EXPECT_FALSE(access.owner.empty());
  EXPECT_EQ(_wcsicmp(ToWide(pin->FinalPath()).c_str(), ToWide(folder).c_str()), 0)
      << pin->FinalPath();
  // Its list is changed through the handle (Wine keeps none, but the calls must succeed).
  EXPECT_TRUE(pin->Protect());
  EXPECT_TRUE(pin->InheritFromParent());
  EXPECT_FALSE(MoveFileExW(ToWide(folder).c_str(), ToWide(moved).c_str(), 0));
  EXPECT_FALSE(RemoveDirectoryW(ToWide(folder).c_str()));
  pin.reset();
  EXPECT_TRUE(MoveFileExW(ToWide(folder).c_str(), ToWide(moved).c_str(), 0));

  EXPECT_EQ(security.Pin(folder, pin), PinResult::Missing);
  Win32FileSystem fs;
  { ASSERT_NE(fs.OpenForWriting(folder, ShareMode::None, OpenMode::CreateNew), nullptr); }
  EXPECT_EQ(security.Pin(folder, pin), PinResult::NotAFolder);
  EXPECT_EQ(pin, nullptr);
  EXPECT_EQ(security.MakeProtectedFolder(moved + "\\Shut"), CreateDirResult::Created);
  EXPECT_EQ(security.MakeProtectedFolder(moved + "\\Shut"), CreateDirResult::AlreadyExists);
}

}  // namespace
}  // namespace corvane
