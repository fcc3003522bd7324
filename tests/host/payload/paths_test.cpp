#include "payload/paths.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "support/fake_file_system.h"
#include "support/folder_cases.h"

namespace corvane {
namespace {

// The shared double on a machine with a fixed drive C:, and the paths it was asked about by
// one kind of call ("attr", "mkdir"), in order.
struct FolderFs : testing::FakeFileSystem {
  FolderFs() {
    SetDriveType("C:\\", DriveType::Fixed);
    AddDirectory("C:\\");
  }
  std::vector<std::string> Calls(const std::string& op) const {
    std::vector<std::string> paths;
    for (const std::string& entry : Log()) {
      if (entry.rfind(op + " ", 0) == 0) paths.push_back(entry.substr(op.size() + 1));
    }
    return paths;
  }
};

// n UTF-16 units of path under C:\ : "C:\" followed by 'a's.
std::string PathOfUnits(std::size_t units) { return "C:\\" + std::string(units - 3, 'a'); }

// One table for the path string helpers: folders with and without their backslash, drive
// roots, UNC shares, files, '/' from other systems, doubled and lone backslashes, nothing.
TEST(PathStrings, OneBackslashEndsAFolder) {
  struct Case {
    const char *path, *stripped, *with, *parent, *last;
  };
  const Case cases[] = {
      {"C:\\Program Files\\", "C:\\Program Files", "C:\\Program Files\\", "C:\\", "Program Files"},
      {"C:\\a\\\\", "C:\\a\\", "C:\\a\\\\", "C:\\a\\", ""},
      {"C:\\", "C:", "C:\\", "", "C:"},
      {"\\\\server\\share", "\\\\server\\share", "\\\\server\\share\\", "\\\\server\\", "share"},
      {"/tmp/out/kvx.exe", "/tmp/out/kvx.exe", "/tmp/out/kvx.exe\\", "/tmp/out/", "kvx.exe"},
      {"C:/a/", "C:/a/", "C:/a/\\", "C:/a/", ""},
      {"C:\\a \\ ", "C:\\a \\ ", "C:\\a \\ \\", "C:\\a \\", " "},
      {"\\", "", "\\", "", ""},
      {"", "", "", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(StripTrailingBackslash(c.path), c.stripped);
    EXPECT_EQ(WithBackslash(c.path), c.with);
    EXPECT_EQ(Parent(c.path), c.parent);
    EXPECT_EQ(LastName(c.path), c.last);
  }
  EXPECT_EQ(LevelsOf("C:\\", "c:\\Apps\\Corvane\\"), (std::vector<std::string>{"Apps", "Corvane"}));
  EXPECT_TRUE(LevelsOf("C:\\Apps", "C:\\Apps2\\x").empty());  // a longer name is no folder below
  EXPECT_TRUE(Within("c:\\apps\\corvane\\kvx.exe", "C:\\Apps\\Corvane") &&
              Within("C:\\A", "C:\\A\\"));
  EXPECT_FALSE(Within("C:\\Apps\\Corvane2", "C:\\Apps\\Corvane") || Within("C:\\A", "C:\\A\\B"));
}

TEST(IsValidName, RefusesControlCharactersAndTheNineReservedOnes) {
  EXPECT_TRUE(IsValidName("Program Files"));
  EXPECT_TRUE(
      IsValidName("Ma\xC3\xB1"
                  "ana"));  // bytes of 128 and above are fine
  EXPECT_TRUE(IsValidName("a.b;c,d=e+f[g]"));
  EXPECT_FALSE(IsValidName(""));
  for (char c : std::string("\\/:*?\"<>|")) {
    EXPECT_FALSE(IsValidName(std::string("ab") + c + "cd")) << c;
  }
  EXPECT_FALSE(IsValidName(std::string("a\x1f", 2)));
  EXPECT_FALSE(IsValidName(std::string("a\t")));
  EXPECT_FALSE(IsValidName(std::string("a\0b", 3)));
  EXPECT_TRUE(IsValidName(std::string("a ")));
}

TEST(IsValidPath, DrivePrefixesAndComponents) {
  EXPECT_TRUE(IsValidPath("C:"));
  EXPECT_TRUE(IsValidPath("C:\\Program Files\\Example"));
  EXPECT_TRUE(IsValidPath("relative"));
  EXPECT_TRUE(IsValidPath("rel\\ative"));
  EXPECT_FALSE(IsValidPath(""));
  EXPECT_FALSE(IsValidPath("C:\\"));        // trailing backslash
  EXPECT_FALSE(IsValidPath("C:\\a\\\\b"));  // doubled backslash
  EXPECT_FALSE(IsValidPath("\\rooted"));
  EXPECT_FALSE(IsValidPath("\\\\server\\share\\dir"));  // UNC: empty first component
  EXPECT_FALSE(IsValidPath("C:\\a<b"));
  EXPECT_FALSE(IsValidPath("C:\\a|b"));
  EXPECT_FALSE(IsValidPath("C:\\a*"));
  EXPECT_FALSE(IsValidPath("C:\\dir/sub"));
  EXPECT_FALSE(IsValidPath("C:a"));  // a colon outside the drive prefix
  EXPECT_FALSE(IsValidPath("C:\\a:b"));
}

TEST(IsValidPath, LengthLimitIsCountedInUtf16Units) {
  EXPECT_TRUE(IsValidPath(PathOfUnits(259)));
  EXPECT_FALSE(IsValidPath(PathOfUnits(260)));
  // 2 + 1 + 64 * 4 = 259 units of UTF-16 but 3 + 64 * 4 * 2 bytes of UTF-8 is well past 260.
  std::string twoByte = "C:\\";
  for (int i = 0; i < 64 * 4; ++i) twoByte += "\xC3\xA9";
  EXPECT_TRUE(IsValidPath(twoByte));
  // A character outside the BMP counts twice: 3 + 128 * 2 = 259 fits, one more does not.
  std::string astral = "C:\\";
  for (int i = 0; i < 128; ++i) astral += "\xF0\x9F\x98\x80";
  EXPECT_TRUE(IsValidPath(astral));
  EXPECT_FALSE(IsValidPath(astral + "a"));
}

// Drive roots by their type: a CD-ROM exists but takes no folders, a RAM disk or unknown drive
// neither; white space is trimmed. EnsureFolder makes nothing for any of them.
TEST(FolderExists, DriveTypesAndTrimming) {
  FolderFs fs;
  fs.SetDriveType("A:\\", DriveType::Removable);
  fs.SetDriveType("N:\\", DriveType::Remote);
  fs.SetDriveType("D:\\", DriveType::CdRom);
  fs.SetDriveType("R:\\", DriveType::RamDisk);
  fs.SetDriveType("U:\\", DriveType::Unknown);
  for (const char* root : {"A:", "C:\\", "N:", "D:", "D:\\", "  D:\\ "}) {
    EXPECT_TRUE(FolderExists(fs, root)) << root;
    EXPECT_TRUE(EnsureFolder(fs, root)) << root;
  }
  for (const char* root : {"R:", "U:", "Q:", "Q:\\", "x", ""}) {  // Q: has no root directory
    EXPECT_FALSE(FolderExists(fs, root)) << root;
    EXPECT_FALSE(EnsureFolder(fs, root)) << root;
  }
  EXPECT_TRUE(fs.Calls("mkdir").empty());

  fs.AddDirectory("C:\\Data");
  EXPECT_TRUE(FolderExists(fs, " C:\\Data\\\t"));
  EXPECT_EQ(fs.Calls("attr").back(), "C:\\Data");
  EXPECT_FALSE(FolderExists(fs, "C:\\Other"));
  fs.AddFile("C:\\name");  // a file with the folder's name passes
  EXPECT_TRUE(EnsureFolder(fs, "C:\\name\\"));
  EXPECT_TRUE(fs.Calls("mkdir").empty());
}

TEST(FolderExists, PathsOf252UnitsOrMoreCountAsMissing) {
  FolderFs fs;
  fs.AddDirectory(PathOfUnits(251));
  fs.AddDirectory(PathOfUnits(252));
  EXPECT_TRUE(FolderExists(fs, PathOfUnits(251)));
  EXPECT_FALSE(FolderExists(fs, PathOfUnits(252)));
  // The limit is checked before the trailing backslash goes: 251 units plus one is too long.
  EXPECT_FALSE(FolderExists(fs, PathOfUnits(251) + "\\"));
}

TEST(CreateFolderTree, CreatesMissingParentsFromTheOutermostIn) {
  FolderFs fs;
  EXPECT_EQ(CreateFolderTree(fs, "C:\\A\\B\\C\\"), kFolderOk);
  EXPECT_EQ(fs.Calls("mkdir"), (std::vector<std::string>{"C:\\A\\B\\C", "C:\\A\\B", "C:\\A", "C:\\A\\B",
                                               "C:\\A\\B\\C"}));
  EXPECT_TRUE(fs.DirectoryExists("C:\\A\\B\\C"));
  EXPECT_EQ(CreateFolderTree(fs, "C:\\A\\B\\C"), kFolderOk);  // already there
}

TEST(CreateFolderTree, StatusCodes) {
  FolderFs fs;
  EXPECT_EQ(CreateFolderTree(fs, PathOfUnits(260)), kFolderPathTooLong);
  EXPECT_EQ(CreateFolderTree(fs, PathOfUnits(259)), kFolderOk);
  EXPECT_EQ(CreateFolderTree(fs, "C:\\a<b"), kFolderBadPathname);
  EXPECT_EQ(CreateFolderTree(fs, ""), kFolderBadPathname);
  fs.ForceMakeDirectory("C:\\locked", CreateDirResult::OtherError);
  EXPECT_EQ(CreateFolderTree(fs, "C:\\locked\\inner"), kFolderAccessDenied);
  // White space trimmed; a single relative component made in the current folder.
  EXPECT_EQ(CreateFolderTree(fs, "  C:\\Spaced\\ \t"), kFolderOk);
  EXPECT_TRUE(fs.DirectoryExists("C:\\Spaced"));
  EXPECT_EQ(CreateFolderTree(fs, "here"), kFolderOk);
  EXPECT_TRUE(fs.DirectoryExists("here"));
}

TEST(EnsureFolder, TwoCharacterPathUsesTheWritableDriveTable) {
  // With FolderExists failing (the drive type answers differ by root), a two-unit path is
  // judged by the drive type alone: removable, fixed and remote pass.
  struct Fs : FolderFs {
    int calls = 0;
    DriveType DriveTypeOf(const std::string&) override {
      return ++calls == 1 ? DriveType::Unknown : second;
    }
    DriveType second = DriveType::Fixed;
  };
  for (auto [type, want] : std::vector<std::pair<DriveType, bool>>{{DriveType::Removable, true},
                                                                   {DriveType::Fixed, true},
                                                                   {DriveType::Remote, true},
                                                                   {DriveType::CdRom, false},
                                                                   {DriveType::RamDisk, false},
                                                                   {DriveType::NoRootDir, false},
                                                                   {DriveType::Unknown, false}}) {
    Fs fs;
    fs.second = type;
    EXPECT_EQ(EnsureFolder(fs, "E:"), want) << static_cast<int>(type);
    EXPECT_EQ(fs.calls, 2);
  }
}

// An existing UNC path passes through PathExists even though it could not be created.
TEST(EnsureFolder, ExistingUncPathPassesWithoutACreation) {
  FolderFs fs;
  fs.AddDirectory("\\\\server\\share");
  EXPECT_TRUE(EnsureFolder(fs, "\\\\server\\share\\"));
  EXPECT_FALSE(EnsureFolder(fs, "\\\\server\\share\\new"));
}

// The table of tests/support/folder_cases.h, which the Win32 tests run against the system.
TEST(FolderCases, TheDoubleAnswersAsTheSystem) {
  FolderFs fs;
  fs.AddFile("C:\\fold\\blocker");
  testing::RunFolderSteps(fs);
}

}  // namespace
}  // namespace corvane
