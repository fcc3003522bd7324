#include "payload/paths.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

namespace corvane {
namespace {

// Folders and files by exact path; a directory creation succeeds only under an existing folder
// or drive root, as the system's does.
class FolderFs : public FileSystem {
 public:
  std::set<std::string> folders, files;
  std::map<std::string, DriveType> drives{{"C:\\", DriveType::Fixed}};
  std::set<std::string> denied;   // creation fails with some other error
  std::vector<std::string> made;  // every MakeDirectory call, in order
  std::vector<std::string> queried;

  std::unique_ptr<OutputFile> OpenForWriting(const std::string&, ShareMode, OpenMode) override {
    return nullptr;
  }
  bool RemoveFile(const std::string&) override { return false; }
  std::unique_ptr<HeldFile> HoldForReplacing(const std::string&) override { return nullptr; }
  bool ReadSmallFile(const std::string&, std::string&) override { return false; }
  bool RenameFile(const std::string&, const std::string&, bool) override { return false; }
  bool LinkFile(const std::string&, const std::string&) override { return false; }
  bool RemoveAtRestart(const std::string&) override { return false; }
  std::uint64_t RandomNumber() override { return 0; }
  bool HasAttributes(const std::string& path) override {
    queried.push_back(path);
    return folders.count(path) || files.count(path) || IsUsableRoot(path + "\\");
  }
  DriveType DriveTypeOf(const std::string& root) override {
    auto it = drives.find(root);
    return it == drives.end() ? DriveType::NoRootDir : it->second;
  }
  CreateDirResult MakeDirectory(const std::string& path) override {
    made.push_back(path);
    if (folders.count(path) || files.count(path)) return CreateDirResult::AlreadyExists;
    if (denied.count(path)) return CreateDirResult::OtherError;
    if (!path.empty() && path.back() == ':') {
      return IsUsableRoot(path + "\\") ? CreateDirResult::AlreadyExists
                                       : CreateDirResult::PathNotFound;
    }
    const std::size_t cut = path.rfind('\\');
    const std::string parent = cut == std::string::npos ? "." : path.substr(0, cut);
    const bool parentOk = parent == "." || folders.count(parent) || IsUsableRoot(parent + "\\");
    if (!parentOk) return CreateDirResult::PathNotFound;
    folders.insert(path);
    return CreateDirResult::Created;
  }

 private:
  bool IsUsableRoot(const std::string& root) {
    auto it = drives.find(root);
    return it != drives.end() && it->second != DriveType::NoRootDir;
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
  fs.drives = {{"A:\\", DriveType::Removable}, {"C:\\", DriveType::Fixed},
               {"N:\\", DriveType::Remote},    {"D:\\", DriveType::CdRom},
               {"R:\\", DriveType::RamDisk},   {"U:\\", DriveType::Unknown}};
  for (const char* root : {"A:", "C:\\", "N:", "D:", "D:\\", "  D:\\ "}) {
    EXPECT_TRUE(FolderExists(fs, root)) << root;
    EXPECT_TRUE(EnsureFolder(fs, root)) << root;
  }
  for (const char* root : {"R:", "U:", "Q:", "Q:\\", "x", ""}) {  // Q: has no root directory
    EXPECT_FALSE(FolderExists(fs, root)) << root;
    EXPECT_FALSE(EnsureFolder(fs, root)) << root;
  }
  EXPECT_TRUE(fs.made.empty());

  fs.folders.insert("C:\\Data");
  EXPECT_TRUE(FolderExists(fs, " C:\\Data\\\t"));
  EXPECT_EQ(fs.queried.back(), "C:\\Data");
  EXPECT_FALSE(FolderExists(fs, "C:\\Other"));
  fs.files.insert("C:\\name");  // a file with the folder's name passes
  EXPECT_TRUE(EnsureFolder(fs, "C:\\name\\"));
  EXPECT_TRUE(fs.made.empty());
}

TEST(FolderExists, PathsOf252UnitsOrMoreCountAsMissing) {
  FolderFs fs;
  fs.folders.insert(PathOfUnits(251));
  fs.folders.insert(PathOfUnits(252));
  EXPECT_TRUE(FolderExists(fs, PathOfUnits(251)));
  EXPECT_FALSE(FolderExists(fs, PathOfUnits(252)));
  // The limit is checked before the trailing backslash goes: 251 units plus one is too long.
  EXPECT_FALSE(FolderExists(fs, PathOfUnits(251) + "\\"));
}

TEST(CreateFolderTree, CreatesMissingParentsFromTheOutermostIn) {
  FolderFs fs;
  EXPECT_EQ(CreateFolderTree(fs, "C:\\A\\B\\C\\"), kFolderOk);
  EXPECT_EQ(fs.made, (std::vector<std::string>{"C:\\A\\B\\C", "C:\\A\\B", "C:\\A", "C:\\A\\B",
                                               "C:\\A\\B\\C"}));
  EXPECT_TRUE(fs.folders.count("C:\\A\\B\\C"));
  EXPECT_EQ(CreateFolderTree(fs, "C:\\A\\B\\C"), kFolderOk);  // already there
}

TEST(CreateFolderTree, StatusCodes) {
  FolderFs fs;
  EXPECT_EQ(CreateFolderTree(fs, PathOfUnits(260)), kFolderPathTooLong);
  EXPECT_EQ(CreateFolderTree(fs, PathOfUnits(259)), kFolderOk);
  EXPECT_EQ(CreateFolderTree(fs, "C:\\a<b"), kFolderBadPathname);
  EXPECT_EQ(CreateFolderTree(fs, ""), kFolderBadPathname);
  fs.denied.insert("C:\\locked");
  EXPECT_EQ(CreateFolderTree(fs, "C:\\locked\\inner"), kFolderAccessDenied);
  // A missing drive: the recursion reaches "Q:", whose parent is empty.
  EXPECT_EQ(CreateFolderTree(fs, "Q:\\x\\y"), kFolderBadPathname);
  EXPECT_TRUE(fs.made.size() < 20u);
  // White space trimmed; a single relative component made in the current folder.
  EXPECT_EQ(CreateFolderTree(fs, "  C:\\Spaced\\ \t"), kFolderOk);
  EXPECT_TRUE(fs.folders.count("C:\\Spaced"));
  EXPECT_EQ(CreateFolderTree(fs, "here"), kFolderOk);
  EXPECT_TRUE(fs.folders.count("here"));
}

TEST(CreateFolderTree, ParentThatIsAFileEndsWithAccessDenied) {
  FolderFs fs;
  fs.files.insert("C:\\blocker");
  EXPECT_EQ(CreateFolderTree(fs, "C:\\blocker\\sub\\leaf"), kFolderAccessDenied);
  EXPECT_LE(fs.made.size(), 6u);
  EXPECT_FALSE(EnsureFolder(fs, "C:\\blocker\\sub\\"));
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

TEST(EnsureFolder, CreatesNestedFoldersAndRefusesBadOrLongPaths) {
  FolderFs fs;
  EXPECT_TRUE(EnsureFolder(fs, "C:\\A\\B\\C\\"));
  EXPECT_TRUE(fs.folders.count("C:\\A") && fs.folders.count("C:\\A\\B"));
  EXPECT_FALSE(EnsureFolder(fs, PathOfUnits(260)));
  // 252..259 units: not found by FolderExists, but created.
  EXPECT_TRUE(EnsureFolder(fs, PathOfUnits(255) + "\\"));
  EXPECT_TRUE(fs.folders.count(PathOfUnits(255)));
  // An existing UNC path passes through PathExists even though it could not be created.
  fs.folders.insert("\\\\server\\share");
  EXPECT_TRUE(EnsureFolder(fs, "\\\\server\\share\\"));
  EXPECT_FALSE(EnsureFolder(fs, "\\\\server\\share\\new"));
}

}  // namespace
}  // namespace corvane
