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
    return GuardInstallFolder(fs, security, pins, kInstall, kInstall) &&
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
                      : GuardInstallFolder(freshFs, sec, held, kInstall, kInstall));
    for (const auto& e : freshFs.Log()) {
      EXPECT_NE(e.rfind("mkdir", 0), 0u) << e;
      EXPECT_NE(e.rfind("rename", 0), 0u) << e;
    }
    EXPECT_EQ(sec.Held(), 0);

    // A link there is refused the same way, and never moved.
    FakeFileSystem linkFs;
    FakeFolderSecurity linkSec(linkFs);
    for (const char* d : {"C:\\ProgramData", "C:\\Program Files"}) linkFs.AddDirectory(d);
    linkSec.MakeReparsePoint(company);
    EXPECT_FALSE(data ? GuardDataFolder(linkFs, linkSec, held, kData)
                      : GuardInstallFolder(linkFs, linkSec, held, kInstall, kInstall));
    for (const auto& e : linkFs.Log()) EXPECT_NE(e.rfind("rename", 0), 0u) << e;
  }
}

TEST_F(SecureFoldersTest, FreshFolderThatInheritsOthersRightsFails) {
  FolderAccess inherited = FakeFolderSecurity::Protected();
  inherited.entries.push_back({true, false, 0x1F01FF, "S-1-1-0"});
  security.SetInheritedAccess(inherited);
  EXPECT_FALSE(GuardDataFolder(fs, security, pins, kData));
  EXPECT_TRUE(MovedAside(kCompany).empty());
  EXPECT_EQ(security.Held(), 0);
}

TEST_F(SecureFoldersTest, PreviousInstallationElsewhereNeedsAdministratorsOnlyParents) {
  fs.SetDriveType("D:\\", DriveType::Fixed);
  fs.AddDirectory("D:\\Tools\\Tamarind Software\\Corvane");
  ASSERT_TRUE(
      GuardInstallFolder(fs, security, pins, "D:\\Tools\\Tamarind Software\\Corvane\\", kInstall));
  EXPECT_EQ(security.Held(), 3);  // D:\Tools, D:\Tools\Tamarind Software and the folder
  EXPECT_FALSE(fs.DirectoryExists(kProgramCompany));
  pins.clear();

  // A parent that users may change, a missing parent, a share, a drive root: refused, and
  // nothing made or moved.
  security.SetAccess("D:\\Tools", FakeFolderSecurity::UserOwned());
  fs.ClearLog();
  for (const char* folder : {"D:\\Tools\\Tamarind Software\\Corvane\\", "D:\\Gone\\Corvane\\",
                             "\\\\server\\share\\Corvane\\", "D:\\"}) {
    SCOPED_TRACE(folder);
    EXPECT_FALSE(GuardInstallFolder(fs, security, pins, folder, kInstall));
  }
  for (const auto& e : fs.Log()) {
    EXPECT_NE(e.rfind("mkdir", 0), 0u) << e;
    EXPECT_NE(e.rfind("rename", 0), 0u) << e;
  }
  EXPECT_EQ(security.Held(), 0);
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
  for (const auto& e : fs2.Log()) EXPECT_NE(e.rfind("mkdir", 0), 0u) << e;
}

}  // namespace
}  // namespace corvane
