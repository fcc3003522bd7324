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
  bool Guard() { return GuardInstallFolders(fs, security, kInstall, kInstall, kData); }
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
};

TEST(AdministratorsOnlyTest, OwnerAndRightsOfOthersDecide) {
  const FolderAccess programFiles{std::string(kTrustedInstallerSid),
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

TEST_F(SecureFoldersTest, MissingLevelsAreCreatedProtectedOutermostFirst) {
  ASSERT_TRUE(Guard());
  EXPECT_EQ(Calls("mkdir"),
            (std::vector<std::string>{kProgramCompany, StripTrailingBackslash(kInstall), kCompany,
                                      StripTrailingBackslash(kData)}));
  for (const char* d : {kProgramCompany, kInstall, kCompany, kData}) {
    EXPECT_TRUE(security.Guarded(d)) << d;
    EXPECT_TRUE(fs.DirectoryExists(d)) << d;
  }
  EXPECT_TRUE(Calls("protect").empty());
  // Nothing is asked of the folders above.
  EXPECT_FALSE(Logged("read C:\\ProgramData"));
  EXPECT_FALSE(Logged("reparse C:\\ProgramData"));
}

TEST_F(SecureFoldersTest, FoundFoldersAreTakenOverUnlessAlreadyTheAdministrators) {
  fs.AddDirectory(kData);
  fs.AddDirectory(kInstall);
  security.SetAccess(kCompany, FakeFolderSecurity::UserOwned());
  FolderAccess inherited = FakeFolderSecurity::Protected();
  inherited.entries.push_back({true, false, 0x116, std::string(kUsersSid)});
  security.SetAccess(kData, inherited);
  security.FailRead(kProgramCompany);  // unreadable counts as not the administrators'
  // Above the guarded levels: left as it is, however open.
  security.SetAccess("C:\\ProgramData", FakeFolderSecurity::UserOwned());

  ASSERT_TRUE(Guard());
  // Per level: is it a reparse point, whose is it, then take it over.
  std::vector<std::string> company;
  for (const auto& e : security.Log()) {
    if (e.size() > 18 && e.compare(e.size() - 18, 18, "\\Tamarind Software") == 0 &&
        e.find("ProgramData") != std::string::npos) {
      company.push_back(e);
    }
  }
  EXPECT_EQ(company, (std::vector<std::string>{"reparse " + std::string(kCompany),
                                               "read " + std::string(kCompany),
                                               "protect " + std::string(kCompany)}));
  EXPECT_EQ(Calls("protect"),
            (std::vector<std::string>{kProgramCompany, kCompany, StripTrailingBackslash(kData)}));
  EXPECT_TRUE(Calls("mkdir").empty());
  EXPECT_FALSE(security.Guarded(kInstall));  // already the administrators': not rewritten
  EXPECT_FALSE(security.Guarded("C:\\ProgramData"));
  for (const auto& e : security.Log()) EXPECT_EQ(e.find("C:\\ProgramData "), std::string::npos);
}

TEST_F(SecureFoldersTest, ReparsePointAtAnyGuardedLevelStopsBeforeWritingBelowIt) {
  for (const char* level : {kProgramCompany, kInstall, kCompany, kData}) {
    SCOPED_TRACE(level);
    FakeFileSystem freshFs;
    FakeFolderSecurity sec(freshFs);
    freshFs.AddDirectory("C:\\ProgramData");
    freshFs.AddDirectory("C:\\Program Files");
    freshFs.SetDriveType("C:\\", DriveType::Fixed);
    sec.SetAccess(level, FakeFolderSecurity::UserOwned());
    sec.MakeReparsePoint(level);
    EXPECT_FALSE(GuardInstallFolders(freshFs, sec, kInstall, kInstall, kData));
    const auto& log = sec.Log();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), "reparse " + StripTrailingBackslash(level));
    for (const auto& e : log) EXPECT_NE(e.rfind("protect ", 0), 0u) << e;
    EXPECT_FALSE(freshFs.DirectoryExists(std::string(level) + "\\Corvane"));
  }
}

TEST_F(SecureFoldersTest, PreviousInstallationElsewhereGuardsOnlyItsOwnFolder) {
  fs.SetDriveType("D:\\", DriveType::Fixed);
  fs.AddDirectory("D:\\Tools\\Tamarind Software\\Corvane");
  security.SetAccess("D:\\Tools\\Tamarind Software", FakeFolderSecurity::UserOwned());
  security.SetAccess("D:\\Tools\\Tamarind Software\\Corvane", FakeFolderSecurity::UserOwned());
  ASSERT_TRUE(GuardInstallFolders(fs, security, "D:\\Tools\\Tamarind Software\\Corvane\\", kInstall,
                                  kData));
  EXPECT_TRUE(security.Guarded("D:\\Tools\\Tamarind Software\\Corvane"));
  EXPECT_FALSE(Logged("read D:\\Tools\\Tamarind Software"));
  EXPECT_FALSE(security.Guarded("D:\\Tools\\Tamarind Software"));
  EXPECT_FALSE(fs.DirectoryExists(kProgramCompany));

  // The same folder as a reparse point: refused, even though it is the only guarded level.
  security.MakeReparsePoint("D:\\Elsewhere\\Corvane");
  EXPECT_FALSE(GuardInstallFolders(fs, security, "D:\\Elsewhere\\Corvane\\", kInstall, kData));
}

TEST_F(SecureFoldersTest, FolderThatCannotBeMadeOrTakenOverFails) {
  fs.AddDirectory(kCompany);
  security.SetAccess(kCompany, FakeFolderSecurity::UserOwned());
  security.FailProtect(kCompany);
  EXPECT_FALSE(Guard());
  EXPECT_FALSE(fs.DirectoryExists(kData));

  // Created by someone else between the look and the creation: checked like a found folder.
  FakeFileSystem fs2;
  FakeFolderSecurity sec2(fs2);
  fs2.AddDirectory("C:\\ProgramData\\Tamarind Software");
  fs2.HideAttributes("C:\\ProgramData\\Tamarind Software");
  sec2.SetAccess(kCompany, FakeFolderSecurity::UserOwned());
  fs2.SetDriveType("C:\\", DriveType::Fixed);
  EXPECT_TRUE(EnsureGuardedFolder(fs2, sec2, kData, kProductLevels));
  EXPECT_TRUE(sec2.Guarded(kCompany));
}

TEST_F(SecureFoldersTest, WorkFolderStaysTheUsersAndIsNotMadeThroughAReparsePoint) {
  EXPECT_TRUE(EnsureUserFolder(fs, security, kWork, kProductLevels));
  EXPECT_TRUE(fs.DirectoryExists(kWork));
  EXPECT_FALSE(security.Guarded(kWork));
  EXPECT_TRUE(Calls("mkdir").empty());
  EXPECT_TRUE(Calls("protect").empty());

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
