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
constexpr const char* kProgramCompany = "C:\\Program Files\\Tamarind Software";
constexpr const char* kInstall = "C:\\Program Files\\Tamarind Software\\Corvane\\";
constexpr const char* kLocal = "C:\\users\\pat\\AppData\\Local";
constexpr const char* kWork = "C:\\users\\pat\\AppData\\Local\\Tamarind Software\\Corvane\\";

class SecureFoldersTest : public ::testing::Test {
 protected:
  SecureFoldersTest() {
    for (const char* d : {"C:\\ProgramData", "C:\\Program Files", kLocal}) fs.AddDirectory(d);
    fs.SetDriveType("C:\\", DriveType::Fixed);
  }
  bool Guard() {
    return GuardInstallFolder(fs, security, pins, kInstall, kInstall, {}) &&
           GuardDataFolder(fs, security, pins, kData);
  }
  // Folders beside `path` that it was moved aside to.
  std::vector<std::string> MovedAside(const std::string& path) {
    std::vector<std::string> out;
    for (const auto& e : fs.Log()) {
      const std::string prefix = "rename " + StripTrailingBackslash(path) + ">";
      if (e.rfind(prefix, 0) == 0) out.push_back(e.substr(prefix.size()));
    }
    return out;
  }
  bool Logged(const std::string& entry) const {
    const auto& log = security.Log();
    return std::find(log.begin(), log.end(), entry) != log.end();
  }
  std::vector<std::string> Calls(const std::string& op) const {
    std::vector<std::string> out;
    for (const auto& e : security.Log()) {
      if (e.rfind(op + " ", 0) == 0) out.push_back(e.substr(op.size() + 1));
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
                        {{true, false, 0x1F01FF, std::string(kLocalSystemSid)},
                         {true, false, 0x1F01FF, "S-1-5-21-0-0-0-1000"}}};
  EXPECT_TRUE(IsAdministratorsOnly(unstored));
  unstored.entries.push_back({true, false, 0x1F01FF, "S-1-1-0"});
  EXPECT_FALSE(UsersCannotReplace(unstored));
}

TEST_F(SecureFoldersTest, MissingLevelsAreMadeAndEveryLevelStaysHeld) {
  ASSERT_TRUE(Guard());
  for (const char* d : {kProgramCompany, kInstall, kCompany, kData}) {
    EXPECT_TRUE(fs.MadeByCall(d)) << d;
    EXPECT_TRUE(security.IsHeld(d)) << d;
  }
  EXPECT_EQ(security.Held(), 4);
  pins.clear();
  EXPECT_EQ(security.Held(), 0);
  // The system's own folders above are neither checked nor held.
  EXPECT_FALSE(Logged("pin C:\\ProgramData"));
}

TEST_F(SecureFoldersTest, ProductFolderMadeBySomeoneElseIsMovedAsideAndMadeAfresh) {
  fs.AddFile(std::string(kData) + "default.rex", {'x'});
  security.SetAccess(kData, FakeFolderSecurity::UserOwned());
  fs.AddFile(kInstall + std::string("x"), {});  // a file where the install folder goes
  fs.RemoveFile(kInstall + std::string("x"));
  fs.AddFile(StripTrailingBackslash(kInstall), {'f'});

  ASSERT_TRUE(Guard());
  for (const char* level : {kInstall, kData}) {
    SCOPED_TRACE(level);
    const std::vector<std::string> aside = MovedAside(level);
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(aside[0].rfind(StripTrailingBackslash(level) + ".moved-", 0), 0u) << aside[0];
    EXPECT_TRUE(fs.MadeByCall(level));
    EXPECT_TRUE(security.IsHeld(level));
  }
  // What was in it is kept, under the new name.
  EXPECT_TRUE(fs.FileExists(MovedAside(kData)[0] + "\\default.rex"));
  EXPECT_FALSE(fs.FileExists(std::string(kData) + "default.rex"));
  // "Tamarind Software" was the administrators' and stays as it was.
  EXPECT_TRUE(MovedAside(kCompany).empty());
}

TEST_F(SecureFoldersTest, SharedFolderThatFailsItsCheckStopsWithNothingChanged) {
  for (const char* company : {kCompany, kProgramCompany}) {
    SCOPED_TRACE(company);
    FakeFileSystem freshFs;
    FakeFolderSecurity sec(freshFs);
    FolderPins held;
    for (const char* d : {"C:\\ProgramData", "C:\\Program Files"}) freshFs.AddDirectory(d);
    freshFs.AddDirectory(company);
    sec.SetAccess(company, FakeFolderSecurity::UserOwned());
    const bool data = std::string(company) == kCompany;
    EXPECT_FALSE(data ? GuardDataFolder(freshFs, sec, held, kData)
                      : GuardInstallFolder(freshFs, sec, held, kInstall, kInstall, {}));
    EXPECT_FALSE(freshFs.Called("mkdir") || freshFs.Called("rename"));
    EXPECT_EQ(sec.Held(), 0);

    // A link there is refused the same way, and never moved.
    FakeFileSystem linkFs;
    FakeFolderSecurity linkSec(linkFs);
    for (const char* d : {"C:\\ProgramData", "C:\\Program Files"}) linkFs.AddDirectory(d);
    linkSec.MakeReparsePoint(company);
    EXPECT_FALSE(data ? GuardDataFolder(linkFs, linkSec, held, kData)
                      : GuardInstallFolder(linkFs, linkSec, held, kInstall, kInstall, {}));
    EXPECT_FALSE(linkFs.Called("rename"));
  }
}

TEST_F(SecureFoldersTest, FreshFolderThatInheritsOthersRightsFails) {
  FolderAccess inherited = FakeFolderSecurity::Protected();
  inherited.entries.push_back({true, false, 0x1F01FF, "S-1-1-0"});
  security.SetInheritedAccess(inherited);
  EXPECT_FALSE(GuardInstallFolder(fs, security, pins, kInstall, kInstall, {}));
  EXPECT_TRUE(MovedAside(kInstall).empty());
  EXPECT_EQ(security.Held(), 0);
}

// A previous installation outside the default layout is installed over in place, whatever the
// lists above it: Windows gives a folder made below a drive root "Authenticated Users: Modify",
// and another may carry a stranger's own entry. Each is protected through its held handle,
// never moved; missing folders above it are made.
TEST_F(SecureFoldersTest, PreviousInstallationElsewhereIsProtectedInPlace) {
  FolderAccess belowRoot = FakeFolderSecurity::Protected();
  belowRoot.entries.push_back({true, false, 0x1301BF, "S-1-5-11"});
  FolderAccess stranger = FakeFolderSecurity::Protected();
  stranger.entries.push_back({true, false, 0x1F01FF, "S-1-5-21-1-2-3-1001"});
  const std::string missing = "D:\\Pr\xC3\xB6gramme\\Tamarind S\xC3\xB3" "ftware\\Corvan\xC3\xAB";
  struct Case {
    std::string folder;
    FolderAccess access;
    std::size_t levels;
  };
  for (const Case& c : {Case{"C:\\Corvane", belowRoot, 1}, Case{"D:\\Tools\\Corvane", stranger, 2},
                        Case{missing, {}, 3}}) {
    SCOPED_TRACE(c.folder);
    fs = FakeFileSystem();
    FakeFolderSecurity sec(fs);
    FolderPins held;
    fs.AddDirectory("D:\\");
    if (c.levels != 3) {
      fs.AddFile(c.folder + "\\kvx.exe", {'o', 'l', 'd'});
      sec.SetAccess(c.folder, c.access);
      sec.SetAccess("D:\\Tools", FakeFolderSecurity::UserOwned());  // does not matter
    }
    ASSERT_TRUE(GuardInstallFolder(fs, sec, held, c.folder + "\\", kInstall, {}));
    EXPECT_TRUE(IsAdministratorsOnly(sec.Access(c.folder)));
    EXPECT_EQ(sec.Held(), static_cast<int>(c.levels));
    EXPECT_TRUE(sec.IsHeld(c.folder));
    EXPECT_TRUE(fs.DirectoryExists(c.folder));
    EXPECT_FALSE(fs.Called("rename"));
    if (c.levels != 3) {
      ASSERT_TRUE(fs.FileExists(c.folder + "\\kvx.exe"));
      EXPECT_EQ(fs.FindFile(c.folder + "\\kvx.exe")->bytes.size(), 3u);
    }
  }
}

// Refused with nothing made, moved or protected: a link at the folder or above it, a share, a
// drive root, a system folder or one above it or inside the Windows folder, and a folder that
// cannot be protected (its list stays as it was).
TEST_F(SecureFoldersTest, PreviousInstallationElsewhereRefusals) {
  const std::vector<std::string> system = {"C:\\Windows", kLocal};
  fs.AddDirectory("C:\\Windows\\Corvane");
  fs.AddDirectory("C:\\Linked\\Corvane");
  security.MakeReparsePoint("C:\\Linked");
  security.MakeReparsePoint("C:\\Tools\\Corvane");
  fs.AddDirectory("C:\\Shut\\Corvane");
  security.SetAccess("C:\\Shut\\Corvane", FakeFolderSecurity::UserOwned());
  security.FailProtect("C:\\Shut\\Corvane");
  fs.ClearLog();
  for (const char* folder : {"C:\\Linked\\Corvane\\", "C:\\Tools\\Corvane\\",
                             "\\\\server\\share\\Corvane\\", "C:\\", "C:\\Windows\\",
                             "C:\\users\\", "C:\\Windows\\Corvane\\", "C:\\Shut\\Corvane\\"}) {
    SCOPED_TRACE(folder);
    EXPECT_FALSE(GuardInstallFolder(fs, security, pins, folder, kInstall, system));
    pins.clear();
  }
  EXPECT_FALSE(fs.Called("mkdir") || fs.Called("rename") || fs.Called("protect"));
  EXPECT_FALSE(IsAdministratorsOnly(security.Access("C:\\Shut\\Corvane")));
  EXPECT_EQ(security.Held(), 0);
}

// The data folder levels the guard makes are shut to all but the administrators from their
// first moment, and get the access they inherit only when asked, outermost first. A data
// folder a failed run left shut is opened the same way; "Tamarind Software" found in place is
// never changed.
TEST_F(SecureFoldersTest, NewDataFolderLevelsStayShutUntilOpened) {
  // What a folder made in ProgramData inherits: users may add files and folders.
  FolderAccess programData = FakeFolderSecurity::Protected();
  programData.entries.push_back({true, false, 0x116, std::string(kUsersSid)});
  security.SetInheritedAccess(programData);
  auto changes = [this] {
    std::vector<std::string> out;
    for (const auto& e : fs.Log()) {
      if (e.rfind("inherit ", 0) == 0 || e.rfind("protect ", 0) == 0) out.push_back(e);
    }
    return out;
  };
  ASSERT_TRUE(GuardDataFolder(fs, security, pins, kData));
  for (const char* level : {kCompany, kData}) {
    EXPECT_TRUE(IsAdministratorsOnly(security.Access(level))) << level;
  }
  ASSERT_EQ(pins.shut.size(), 2u);
  fs.ClearLog();
  EXPECT_TRUE(OpenShutFolders(pins));
  EXPECT_EQ(changes(), (std::vector<std::string>{"inherit " + std::string(kCompany),
                                                 "inherit " + StripTrailingBackslash(kData)}));
  EXPECT_FALSE(IsAdministratorsOnly(security.Access(kData)));
  EXPECT_TRUE(pins.shut.empty());
  pins.clear();

  // The next run: "Tamarind Software" as the product left it (users may add), the data folder
  // shut by a run that failed.
  fs = FakeFileSystem();
  FakeFolderSecurity next(fs);
  next.SetAccess(kCompany, programData);
  fs.AddDirectory(kData);
  ASSERT_TRUE(GuardDataFolder(fs, next, pins, kData));
  ASSERT_EQ(pins.shut.size(), 1u);
  EXPECT_TRUE(OpenShutFolders(pins));
  EXPECT_EQ(changes(), std::vector<std::string>{"inherit " + StripTrailingBackslash(kData)});
  pins.clear();  // its pins belong to `next`, which goes first
}

// A level made by someone else between the look and the make is checked like any found
// folder: never taken for one the guard made, never shut or moved. One that cannot be opened
// is moved aside; a name taken by the first name tried for it is left alone.
TEST_F(SecureFoldersTest, RacesAndFoldersThatCannotBeOpened) {
  fs.beforeCall = [this](const std::string& e) {
    if (e != "mkdir " + std::string(kCompany)) return;
    fs.AddDirectory(kCompany);
    security.SetAccess(kCompany, FakeFolderSecurity::UserOwned());
  };
  EXPECT_FALSE(GuardDataFolder(fs, security, pins, kData));
  fs.beforeCall = nullptr;
  EXPECT_FALSE(fs.MadeByCall(kCompany));
  EXPECT_TRUE(pins.shut.empty());
  EXPECT_EQ(security.Held(), 0);
  EXPECT_FALSE(fs.Called("protect"));

  fs = FakeFileSystem();
  fs.AddDirectory(kData);
  security.SetAccess(kCompany, FakeFolderSecurity::Protected());
  security.FailPin(kData);
  std::string taken;
  fs.beforeCall = [&](const std::string& e) {
    const std::string probe = "attr " + StripTrailingBackslash(kData) + ".moved-";
    if (taken.empty() && e.rfind(probe, 0) == 0) fs.AddDirectory(taken = e.substr(5));
  };
  fs.AddFile(std::string(kData) + "default.rex", {'x'});
  EXPECT_TRUE(GuardDataFolder(fs, security, pins, kData));
  fs.beforeCall = nullptr;
  ASSERT_FALSE(taken.empty());
  const std::vector<std::string> aside = MovedAside(kData);
  ASSERT_EQ(aside.size(), 1u);
  EXPECT_NE(FakeFileSystem::Key(aside[0]), FakeFileSystem::Key(taken));
  EXPECT_TRUE(fs.FileExists(aside[0] + "\\default.rex"));
  EXPECT_TRUE(fs.DirectoryExists(taken));
}

TEST_F(SecureFoldersTest, WorkFolderStaysTheUsersAndIsNotMadeThroughAReparsePoint) {
  EXPECT_TRUE(EnsureUserFolder(fs, security, kWork, kProductLevels));
  EXPECT_TRUE(fs.DirectoryExists(kWork));
  EXPECT_EQ(security.Held(), 0);

  FakeFileSystem fs2;
  FakeFolderSecurity sec2(fs2);
  fs2.SetDriveType("C:\\", DriveType::Fixed);
  sec2.MakeReparsePoint(std::string(kLocal) + "\\Tamarind Software");
  fs2.ClearLog();
  EXPECT_FALSE(EnsureUserFolder(fs2, sec2, kWork, kProductLevels));
  EXPECT_FALSE(fs2.DirectoryExists(kWork));
  EXPECT_FALSE(fs2.Called("mkdir"));

  // Made, then turned into a link before it is used: its handle resolves elsewhere.
  FakeFileSystem fs3;
  FakeFolderSecurity sec3(fs3);
  fs3.SetDriveType("C:\\", DriveType::Fixed);
  fs3.AddDirectory(kLocal);
  sec3.ResolveTo(std::string(kLocal) + "\\Tamarind Software", "C:\\users\\mallory\\x");
  EXPECT_FALSE(EnsureUserFolder(fs3, sec3, kWork, kProductLevels));
  EXPECT_EQ(sec3.Held(), 0);
}

}  // namespace
}  // namespace corvane
