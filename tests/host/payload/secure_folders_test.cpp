#include "payload/secure_folders.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "payload/paths.h"
#include "support/fake_file_system.h"
#include "support/fake_folder_security.h"

namespace corvane {
namespace {

using testing::FakeFileSystem;
using testing::FakeFolderSecurity;

constexpr const char* kCompany = "C:\\ProgramData\\Tamarind Software";
constexpr const char* kData = "C:\\ProgramData\\Tamarind Software\\Corvane\\";
constexpr const char* kInstall = "C:\\Program Files\\Tamarind Software\\Corvane\\";
constexpr const char* kProfile = "C:\\users\\pat";
constexpr const char* kWork = "C:\\users\\pat\\AppData\\Local\\Tamarind Software\\Corvane\\";
const std::vector<std::string> kSystem = {"C:\\Windows", "C:\\Program Files (x86)",
                                          "C:\\Program Files", "C:\\ProgramData", "C:\\users\\pat"};

class SecureFoldersTest : public ::testing::Test {
 protected:
  SecureFoldersTest() {
    for (const char* d : {"C:\\ProgramData", "C:\\Program Files", "C:\\users\\pat\\AppData"}) {
      fs.AddDirectory(d);
    }
  }
  bool GuardElsewhere(const std::string& folder) {
    return GuardInstallFolder(fs, security, pins, folder, kInstall, kSystem, nullptr);
  }
  bool Logged(const std::string& entry) const {
    return std::find(fs.Log().begin(), fs.Log().end(), entry) != fs.Log().end();
  }
  // Folders `path` was moved aside to.
  std::vector<std::string> MovedAside(const std::string& path) {
    std::vector<std::string> out;
    for (const auto& e : fs.Log()) {
      const std::string prefix = "rename " + StripTrailingBackslash(path) + ">";
      if (e.rfind(prefix, 0) == 0) out.push_back(e.substr(prefix.size()));
    }
    return out;
  }

  FakeFileSystem fs;
  FakeFolderSecurity security{fs};
  FolderPins pins;
};

TEST(AdministratorsOnlyTest, OwnerAndRightsOfOthersDecide) {
  const FolderAccess programFiles{std::string(kTrustedInstallerSid),
                                  true,
                                  true,
                                  false,
                                  {{true, false, 0x1F01FF, std::string(kTrustedInstallerSid)},
                                   {true, false, 0x1301BF, std::string(kLocalSystemSid)},
                                   {true, false, 0x1301BF, std::string(kAdministratorsSid)},
                                   {true, false, 0x1200A9, std::string(kUsersSid)},
                                   {true, true, 0xA0000000, std::string(kUsersSid)},
                                   {true, true, 0x10000000, std::string(kCreatorOwnerSid)}}};
  EXPECT_TRUE(IsAdministratorsOnly(programFiles));
  EXPECT_TRUE(IsAdministratorsOnly(FakeFolderSecurity::Protected()));
  EXPECT_FALSE(IsAdministratorsOnly(FakeFolderSecurity::UserOwned()));

  auto with = [&](AccessEntry e) {
    FolderAccess a = programFiles;
    a.entries.push_back(e);
    return IsAdministratorsOnly(a);
  };
  // ProgramData lets Users add files and subfolders: inherited by what they create there.
  EXPECT_FALSE(with({true, false, 0x00000116, std::string(kUsersSid)}));
  EXPECT_FALSE(with({true, true, 0x40000000, std::string(kUsersSid)}));  // generic write
  EXPECT_FALSE(with({true, false, 0x00010000, "S-1-1-0"}));              // Everyone: delete
  EXPECT_FALSE(with({true, false, 0x00040000, "S-1-5-11"}));             // change the list
  EXPECT_FALSE(with({true, false, 0x10000000, std::string(kCreatorOwnerSid)}));
  EXPECT_FALSE(with({true, false, 0x00000002, ""}));  // an entry of a kind not read
  EXPECT_TRUE(with({false, false, 0x1F01FF, std::string(kUsersSid)}));  // a deny entry
  EXPECT_TRUE(with({true, false, 0x001200A9, "S-1-5-11"}));             // read and execute

  FolderAccess nullList = programFiles;
  nullList.hasAccessList = false;
  nullList.entries.clear();
  EXPECT_FALSE(IsAdministratorsOnly(nullList));
  FolderAccess ownedByAdmins = programFiles;
  ownedByAdmins.owner = std::string(kAdministratorsSid);
  EXPECT_TRUE(IsAdministratorsOnly(ownedByAdmins));
  ownedByAdmins.owner = "S-1-5-21-1-2-3-500";  // an administrator's own account
  EXPECT_FALSE(IsAdministratorsOnly(ownedByAdmins));
}

TEST(UsersCannotReplaceTest, OthersMayAddButNotRemoveOrTakeOver) {
  // ProgramData's own list, as a folder made in it inherits it.
  const FolderAccess programData{std::string(kAdministratorsSid),
                                 true,
                                 true,
                                 false,
                                 {{true, false, 0x1F01FF, std::string(kLocalSystemSid)},
                                  {true, false, 0x1F01FF, std::string(kAdministratorsSid)},
                                  {true, true, 0x10000000, std::string(kCreatorOwnerSid)},
                                  {true, false, 0x1200A9, std::string(kUsersSid)},
                                  {true, false, 0x00000116, std::string(kUsersSid)}}};
  EXPECT_TRUE(UsersCannotReplace(programData));
  EXPECT_FALSE(IsAdministratorsOnly(programData));
  for (std::uint32_t right : {0x00010000u, 0x00000040u, 0x00040000u, 0x00080000u, 0x10000000u}) {
    FolderAccess a = programData;
    a.entries.push_back({true, false, right, "S-1-1-0"});
    EXPECT_FALSE(UsersCannotReplace(a)) << std::hex << right;
  }
  FolderAccess userOwned = programData;
  userOwned.owner = "S-1-5-21-1-2-3-1001";
  EXPECT_FALSE(UsersCannotReplace(userOwned));

  // Where the system keeps no owners (Wine), the owner it reports and its entry are no one's:
  // the other entries decide.
  FolderAccess unstored{"S-1-5-21-0-0-0-1000",
                        false,
                        true,
                        false,
                        {{true, false, 0x1F01FF, std::string(kLocalSystemSid)},
                         {true, false, 0x1F01FF, "S-1-5-21-0-0-0-1000"}}};
  EXPECT_TRUE(IsAdministratorsOnly(unstored));
  unstored.entries.push_back({true, false, 0x1F01FF, "S-1-1-0"});
  EXPECT_FALSE(UsersCannotReplace(unstored));
}


// A level above a product folder: what applies to the level itself and its parent's right to
// delete children decide; what only passes on to children does not. Only the guard's own shut
// list counts as left shut.
TEST(LevelCannotBeReplacedTest, OwnRightsAndTheParentsDeleteChildDecide) {
  const FolderAccess root = FakeFolderSecurity::SystemOwned();
  FolderAccess driveRoot = root;  // C:\ lets users make folders and passes "modify" down
  driveRoot.entries.push_back({true, false, 0x00000004, "S-1-5-11"});
  driveRoot.entries.push_back({true, true, 0x1301BF, "S-1-5-11"});
  EXPECT_TRUE(LevelCannotBeReplaced(FakeFolderSecurity::SystemOwned(), driveRoot));
  EXPECT_FALSE(LevelCannotBeReplaced(FakeFolderSecurity::BelowDriveRoot(), driveRoot));
  EXPECT_FALSE(LevelCannotBeReplaced(FakeFolderSecurity::UserOwned(), driveRoot));
  FolderAccess deleteChild = root;
  deleteChild.entries.push_back({true, false, 0x00000040, "S-1-5-11"});
  EXPECT_FALSE(LevelCannotBeReplaced(root, deleteChild));
  // Where the system keeps no owners (Wine), the owner it reports for every folder, and its
  // entry, are no one's, the parent's included.
  FolderAccess unstored{"S-1-5-21-0-0-0-1000", false, true, false,
                        {{true, false, 0x1F01FF, "S-1-5-21-0-0-0-1000"}}};
  EXPECT_TRUE(LevelCannotBeReplaced(unstored, unstored));

  EXPECT_TRUE(IsLeftShut(FakeFolderSecurity::Protected()));
  FolderAccess adminsOwn = FakeFolderSecurity::Protected();
  adminsOwn.entries.pop_back();  // an administrator's own locked-down folder: no Users entry
  EXPECT_FALSE(IsLeftShut(adminsOwn));
  FolderAccess inherits = FakeFolderSecurity::Protected();
  inherits.protectedList = false;
  EXPECT_FALSE(IsLeftShut(inherits));
}

// From nothing: each level is made relative to the one above, shut in the creating call, and
// held from its first moment until the install is done.
TEST_F(SecureFoldersTest, MissingLevelsAreMadeShutRelativeToTheLevelAbove) {
  ASSERT_TRUE(GuardInstallFolder(fs, security, pins, kInstall, kInstall, kSystem, nullptr));
  ASSERT_TRUE(GuardDataFolder(fs, security, pins, kData, nullptr));
  for (const std::string& d : {std::string(kInstall), std::string(kData)}) {
    for (const std::string& level : {StripTrailingBackslash(Parent(d)), StripTrailingBackslash(d)}) {
      EXPECT_TRUE(security.IsHeld(level)) << level;
      EXPECT_TRUE(Logged("shut " + level)) << level;
    }
  }
  EXPECT_EQ(security.Held(), 6);  // two bases and four levels
  EXPECT_EQ(pins.shut.size(), 2u);  // the data folder's levels only
  EXPECT_FALSE(fs.Called("inherit"));
  pins.clear();
  EXPECT_EQ(security.Held(), 0);
}

// A product folder someone else made, with a handle kept to it from before: it is never
// adopted (no list of it is changed, nothing is written into it); it is moved aside with what
// it holds and a fresh, shut folder takes its name. A failed install gives it its name back.
TEST_F(SecureFoldersTest, ProductFolderSomeoneElseMadeIsMovedAsideNeverAdopted) {
  const std::string previous = "C:\\Corvane";
  security.SetAccess(previous, FakeFolderSecurity::UserOwned());
  fs.AddFile(previous + "\\version.dll", {'u'});
  fs.AddFile(previous + "\\~working.lst", {'u'});
  const std::uint64_t users = fs.DirId(previous);
  security.SetAccess(kData, FakeFolderSecurity::UserOwned());
  const std::uint64_t usersData = fs.DirId(kData);

  // A folder a user made once and an older setup protected in place: its list is right, but a
  // file in it is still the user's.
  const std::string protectedOld = "C:\\Old";
  security.SetAccess(protectedOld, FakeFolderSecurity::Protected());
  fs.AddFile(protectedOld + "\\version.dll", {'u'});
  fs.SetFileOwner(protectedOld + "\\version.dll", "S-1-5-21-1-2-3-1001");
  ASSERT_TRUE(GuardElsewhere(protectedOld + "\\"));
  EXPECT_EQ(MovedAside(protectedOld).size(), 1u);
  EXPECT_FALSE(fs.FileExists(protectedOld + "\\version.dll"));
  pins.clear();

  ASSERT_TRUE(GuardElsewhere(previous + "\\"));
  ASSERT_TRUE(GuardDataFolder(fs, security, pins, kData, nullptr));
  for (const auto& [path, old] : {std::pair{previous, users}, std::pair{std::string(kData), usersData}}) {
    SCOPED_TRACE(path);
    EXPECT_NE(fs.DirId(path), old);
    EXPECT_TRUE(IsAdministratorsOnly(security.Access(path)));
    const std::vector<std::string> aside = MovedAside(path);
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(fs.DirId(aside[0]), old);
    EXPECT_FALSE(IsAdministratorsOnly(security.Access(aside[0])));  // its list as it was
  }
  EXPECT_TRUE(fs.FileExists(MovedAside(previous)[0] + "\\version.dll"));
  EXPECT_FALSE(fs.FileExists(previous + "\\version.dll"));
  std::string list;
  auto files = HeldFolderFiles(fs, pins);
  EXPECT_FALSE(files->ReadSmallFile(previous + "\\~working.lst", list));

  UndoMovedAside(pins, nullptr);
  EXPECT_EQ(fs.DirId(previous), users);
  EXPECT_EQ(fs.DirId(kData), usersData);
  EXPECT_TRUE(fs.FileExists(previous + "\\version.dll"));
  EXPECT_EQ(MovedAside(MovedAside(previous)[0]).size(), 1u);  // renamed back to its name
}

// A level above that standard users could rename away afterwards (theirs, or an
// administrator's that inherits "modify" from the drive's root) stops the install with nothing
// made or written; a level made for the install, even when someone makes it first, is checked.
TEST_F(SecureFoldersTest, LevelsAboveThatUsersCouldReplaceAreRefused) {
  for (const FolderAccess& apps : {FakeFolderSecurity::UserOwned(), FakeFolderSecurity::BelowDriveRoot()}) {
    FakeFileSystem machine;
    FakeFolderSecurity sec(machine);
    FolderPins held;
    sec.SetAccess("C:\\Apps", apps);
    machine.AddFile("C:\\Apps\\Corvane\\kvx.exe", {'o'});
    EXPECT_FALSE(GuardInstallFolder(machine, sec, held, "C:\\Apps\\Corvane\\", kInstall, kSystem, nullptr));
    EXPECT_FALSE(machine.Called("mkdir") || machine.Called("rename"));
    EXPECT_EQ(held.install, nullptr);
  }
  // A drive whose root lets everyone delete what it holds: the install folder could be renamed
  // away after the setup has ended.
  FolderAccess open = FakeFolderSecurity::SystemOwned();
  open.entries.push_back({true, false, 0x1F01FF, "S-1-1-0"});
  security.SetAccess("D:\\", open);
  EXPECT_FALSE(GuardElsewhere("D:\\Corvane\\"));
  EXPECT_FALSE(fs.DirectoryExists("D:\\Corvane"));
  // Made by someone else between the look and the make: found, checked, refused.
  fs.beforeCall = [this](const std::string& e) {
    if (e == "mkdir C:\\Prog\\A") security.SetAccess("C:\\Prog\\A", FakeFolderSecurity::UserOwned());
  };
  EXPECT_FALSE(GuardElsewhere("C:\\Prog\\A\\Corvane\\"));
  EXPECT_FALSE(fs.DirectoryExists("C:\\Prog\\A\\Corvane"));
  fs.beforeCall = nullptr;
  // Missing levels of a previous path are made shut, never open for a moment.
  pins.clear();
  ASSERT_TRUE(GuardElsewhere("C:\\Neu\\Pr\xc3\xb6gramme\\Corvane\\"));
  EXPECT_TRUE(Logged("shut C:\\Neu"));
  EXPECT_TRUE(Logged("shut C:\\Neu\\Pr\xc3\xb6gramme"));
  EXPECT_TRUE(IsAdministratorsOnly(security.Access("C:\\Neu\\Pr\xc3\xb6gramme\\Corvane")));
}

// System folders and paths whose text hides one are refused before anything is opened; what
// the held folder resolves to is checked as well.
TEST_F(SecureFoldersTest, SystemFoldersAndDisguisedPathsAreRefused) {
  for (const char* folder : {"D:\\.\\", "C:\\.\\", "C:\\Program Files\\", "C:\\Program Files (x86)\\",
                             "C:\\users\\Public\\..\\..\\ProgramData\\", "C:\\", "C:\\Windows\\Temp\\x\\",
                             "C:\\users\\", "\\\\server\\share\\Corvane\\", "C:/Corvane/"}) {
    SCOPED_TRACE(folder);
    EXPECT_FALSE(GuardElsewhere(folder));
  }
  EXPECT_TRUE(security.Log().empty());
  // A drive letter that stands for a system folder: refused before anything is made below it.
  fs.AddDirectory("E:\\");
  security.ResolveTo("E:\\", "C:\\Windows\\System32");
  EXPECT_FALSE(GuardElsewhere("E:\\Corvane\\"));
  EXPECT_FALSE(fs.Called("mkdir"));
}

// An empty maker folder made a mount point while the setup holds it (Windows allows it on an
// empty folder whose attributes someone may write): the product level is made relative to the
// held folder, which then fails; nothing is made through the mount point.
TEST_F(SecureFoldersTest, MakerFolderMadeAMountPointWhileHeldRedirectsNothing) {
  fs.AddDirectory(kCompany);
  fs.AddDirectory("C:\\Elsewhere");
  bool mounted = false;
  security.beforeCall = [&](const std::string& e) {
    if (!mounted && e == "make " + StripTrailingBackslash(kData)) {
      security.MakeReparsePoint(kCompany);
      mounted = true;
    }
  };
  EXPECT_FALSE(GuardDataFolder(fs, security, pins, kData, nullptr));
  security.beforeCall = nullptr;
  EXPECT_TRUE(mounted);
  EXPECT_FALSE(fs.DirectoryExists(kData));
  EXPECT_FALSE(fs.DirectoryExists("C:\\Elsewhere\\Corvane"));
}

// Data folder levels stay shut until opened, outermost first; the next run opens what a failed
// run left shut, the maker folder included; an administrator's own locked-down folder is not
// touched.
TEST_F(SecureFoldersTest, ShutLevelsAreOpenedOnceAndThoseAFailedRunLeftToo) {
  FolderAccess programData = FakeFolderSecurity::SystemOwned();
  programData.entries.push_back({true, false, 0x116, std::string(kUsersSid)});
  security.SetInheritedAccess(programData);
  auto opened = [this] {
    std::vector<std::string> out;
    for (const auto& e : fs.Log()) {
      if (e.rfind("inherit ", 0) == 0) out.push_back(e.substr(8));
    }
    return out;
  };
  ASSERT_TRUE(GuardDataFolder(fs, security, pins, kData, nullptr));
  pins.clear();  // the install failed: both stay shut
  EXPECT_TRUE(opened().empty());
  ASSERT_TRUE(GuardDataFolder(fs, security, pins, kData, nullptr));
  EXPECT_TRUE(OpenShutFolders(pins));
  EXPECT_EQ(opened(), (std::vector<std::string>{kCompany, StripTrailingBackslash(kData)}));
  EXPECT_TRUE(UsersCannotReplace(security.Access(kData)));
  EXPECT_FALSE(IsAdministratorsOnly(security.Access(kData)));
  pins.clear();

  fs.ClearLog();
  FolderAccess adminsOwn = FakeFolderSecurity::Protected();
  adminsOwn.entries.pop_back();
  security.SetAccess(kCompany, adminsOwn);
  security.SetAccess(kData, adminsOwn);
  ASSERT_TRUE(GuardDataFolder(fs, security, pins, kData, nullptr));
  EXPECT_TRUE(OpenShutFolders(pins));
  EXPECT_TRUE(opened().empty());
}

// The install's files go only into the held folders; the working list, and what is deleted at
// the next restart, only when the administrators made it: a plain file with one name.
TEST_F(SecureFoldersTest, HeldFolderFilesTrustOnlyTheAdministratorsFiles) {
  ASSERT_TRUE(GuardInstallFolder(fs, security, pins, kInstall, kInstall, kSystem, nullptr));
  const std::unique_ptr<FileSystem> files = HeldFolderFiles(fs, pins);
  const std::string list = std::string(kInstall) + "~working.lst";
  const std::string planted = std::string(kInstall) + "~o0abcdefg";
  fs.AddFile(list, {'x'});
  fs.AddFile(planted, {'u'});
  fs.SetFileOwner(planted, "S-1-5-21-1-2-3-1001");
  std::string text;
  EXPECT_TRUE(files->ReadSmallFile(list, text));
  EXPECT_FALSE(files->RemoveAtRestart(planted));
  ASSERT_TRUE(fs.LinkFile(list, std::string(kInstall) + "second"));
  EXPECT_FALSE(files->ReadSmallFile(list, text));
  EXPECT_FALSE(files->RemoveAtRestart(list));
  EXPECT_TRUE(fs.RemovedAtRestart().empty());
  EXPECT_EQ(files->OpenForWriting(std::string(kData) + "default.rex", ShareMode::None,
                                  OpenMode::CreateNew),
            nullptr);  // the data folder is not held here
  EXPECT_EQ(files->OpenForWriting(std::string(kInstall) + "..\\x", ShareMode::None,
                                  OpenMode::CreateNew),
            nullptr);
}

// The work folder is the user's: made level by level below the profile folder the system
// records, with what each inherits; anywhere else, or through a link, nothing is made.
TEST_F(SecureFoldersTest, WorkFolderOnlyBelowTheUsersProfile) {
  EXPECT_TRUE(EnsureUserFolder(security, kProfile, kWork, nullptr));
  EXPECT_TRUE(fs.DirectoryExists(kWork));
  EXPECT_FALSE(fs.Called("shut"));
  EXPECT_EQ(security.Held(), 0);
  fs.ClearLog();
  EXPECT_FALSE(EnsureUserFolder(security, kProfile, "C:\\ProgramData\\Evil\\Corvane\\", nullptr));
  EXPECT_FALSE(EnsureUserFolder(security, kProfile, "C:\\users\\pat\\..\\sam\\x\\", nullptr));
  security.MakeReparsePoint("C:\\users\\pat\\Link");
  EXPECT_FALSE(EnsureUserFolder(security, kProfile, "C:\\users\\pat\\Link\\Corvane\\", nullptr));
  EXPECT_FALSE(fs.Called("mkdir"));
}

}  // namespace
}  // namespace corvane
