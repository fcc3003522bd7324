#include "system/known_folders.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/fake_registry.h"
#include "support/fake_shell.h"

namespace corvane {
namespace {

using testing::FakeKnownFolderSource;
using testing::FakeRegistry;

constexpr const char* kShellFolders =
    "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr const char* kLowId = "{A520A1A4-1780-4FF6-BD18-167343C5AF16}";
constexpr const char* kSub = "\\Tamarind Software\\Corvane\\";

FakeKnownFolderSource TypicalShell() {
  FakeKnownFolderSource s;
  s.special = {{26, "C:\\Users\\u\\AppData\\Roaming"},
               {35, "C:\\ProgramData"},
               {0, "C:\\Users\\u\\Desktop"},
               {38, "C:\\Program Files"},
               {2, "C:\\Users\\u\\Start Menu\\Programs"},
               {23, "C:\\ProgramData\\Start Menu\\Programs"},
               {25, "C:\\Users\\Public\\Desktop"},
               {39, "C:\\Users\\u\\Pictures"},
               {5, "C:\\Users\\u\\Documents"},
               {46, "C:\\Users\\Public\\Documents"},
               {24, "C:\\ProgramData\\Start Menu\\Programs\\Startup"},
               {7, "C:\\Users\\u\\Start Menu\\Programs\\Startup"},
               {59, "C:\\Users\\u\\AppData\\Local\\Burn"},
               {28, "C:\\Users\\u\\AppData\\Local"}};
  s.temp = "C:\\Users\\u\\AppData\\Local\\Temp\\";
  return s;
}

TEST(SetUpKnownFolders, BuildsEveryEntryFromItsSpecialFolder) {
  auto shell = TypicalShell();
  FakeRegistry reg;
  const KnownFolders f = SetUpKnownFolders(shell, reg, "Corvane", false);
  EXPECT_EQ(f.userData, std::string("C:\\Users\\u\\AppData\\Roaming") + kSub);
  EXPECT_EQ(f.commonData, std::string("C:\\ProgramData") + kSub);
  EXPECT_EQ(f.desktop, "C:\\Users\\u\\Desktop\\");
  EXPECT_EQ(f.defaultInstall, "C:\\Program Files\\Tamarind Software\\Corvane\\");
  EXPECT_EQ(f.programs, "C:\\Users\\u\\Start Menu\\Programs\\");
  EXPECT_EQ(f.commonPrograms, "C:\\ProgramData\\Start Menu\\Programs\\");
  EXPECT_EQ(f.commonDesktop, "C:\\Users\\Public\\Desktop\\");
  EXPECT_EQ(f.pictures, "C:\\Users\\u\\Pictures\\");
  EXPECT_EQ(f.documents, "C:\\Users\\u\\Documents\\");
  EXPECT_EQ(f.commonDocuments, "C:\\Users\\Public\\Documents\\");
  EXPECT_EQ(f.commonStartup, "C:\\ProgramData\\Start Menu\\Programs\\Startup\\");
  EXPECT_EQ(f.startup, "C:\\Users\\u\\Start Menu\\Programs\\Startup\\");
  EXPECT_EQ(f.cdBurn, "C:\\Users\\u\\AppData\\Local\\Burn\\");
  EXPECT_EQ(f.localData, std::string("C:\\Users\\u\\AppData\\Local") + kSub);
  EXPECT_EQ(f.lowData, f.localData);  // the registry has no LocalAppDataLow
  EXPECT_EQ(f.work, f.localData);
  EXPECT_EQ(f.helpFile, f.work + "help.bin");
  EXPECT_EQ(f.tempPath, "C:\\Users\\u\\AppData\\Local\\Temp\\");
}

TEST(SetUpKnownFolders, UnavailableFoldersLeaveOnlyWhatIsAppended) {
  FakeKnownFolderSource shell;  // answers nothing
  FakeRegistry reg;
  const KnownFolders f = SetUpKnownFolders(shell, reg, "Corvane", true);
  EXPECT_EQ(f.commonData, kSub);
  EXPECT_EQ(f.defaultInstall, kSub);
  EXPECT_EQ(f.commonDesktop, "\\");
  EXPECT_EQ(f.cdBurn, "\\");
  EXPECT_EQ(f.lowData, kSub);
  EXPECT_EQ(f.work, kSub);
  EXPECT_EQ(f.helpFile, std::string(kSub) + "help.bin");
  EXPECT_EQ(f.tempPath, "");
}

TEST(SetUpKnownFolders, LowDataFolderAndTheWorkFolderRule) {
  auto shell = TypicalShell();
  FakeRegistry reg;
  reg.SetValue(kShellFolders, kLowId, "C:\\Users\\u\\AppData\\LocalLow");
  const KnownFolders low = SetUpKnownFolders(shell, reg, "Corvane", true);
  EXPECT_EQ(low.lowData, "C:\\Users\\u\\AppData\\LocalLow\\Tamarind Software\\Corvane\\");
  EXPECT_EQ(low.work, low.lowData);
  EXPECT_EQ(low.helpFile, low.lowData + "help.bin");
  EXPECT_EQ(reg.OpenHandles(), 0u);

  const KnownFolders local = SetUpKnownFolders(shell, reg, "Corvane", false);
  EXPECT_EQ(local.lowData, low.lowData);
  EXPECT_EQ(local.work, local.localData);

  FakeRegistry empty;
  const KnownFolders missing = SetUpKnownFolders(shell, empty, "Corvane", true);
  EXPECT_EQ(missing.lowData, missing.localData);
  EXPECT_EQ(missing.work, missing.localData);

  FakeRegistry tooLong;
  tooLong.SetValue(kShellFolders, kLowId, "C:\\" + std::string(300, 'x'));
  EXPECT_EQ(SetUpKnownFolders(shell, tooLong, "Corvane", true).work, missing.localData);
  EXPECT_EQ(tooLong.OpenHandles(), 0u);
}

TEST(SetUpKnownFolders, ProductNameGoesIntoTheSubPathAndTempPathIntoLongNames) {
  auto shell = TypicalShell();
  shell.temp = "C:\\USERS~1\\u\\LOCALS~1\\Temp\\";
  shell.longNames = {{"C:\\USERS~1", "Users"},
                     {"C:\\USERS~1\\u", "u"},
                     {"C:\\USERS~1\\u\\LOCALS~1", "Local Settings"},
                     {"C:\\USERS~1\\u\\LOCALS~1\\Temp", "Temp"}};
  FakeRegistry reg;
  const KnownFolders f = SetUpKnownFolders(shell, reg, "Other", false);
  EXPECT_EQ(f.commonData, "C:\\ProgramData\\Tamarind Software\\Other\\");
  EXPECT_EQ(f.tempPath, "C:\\Users\\u\\Local Settings\\Temp\\");
}

TEST(ExpandLongPath, ExpandsEachComponentAndKeepsTrailingBackslash) {
  FakeKnownFolderSource s;
  s.longNames = {{"C:\\PROGRA~1", "Program Files"}, {"C:\\PROGRA~1\\COMMON~1", "Common Files"}};
  EXPECT_EQ(ExpandLongPath(s, "C:\\PROGRA~1\\COMMON~1\\"), "C:\\Program Files\\Common Files\\");
  EXPECT_EQ(s.lookedUp, (std::vector<std::string>{"C:\\PROGRA~1", "C:\\PROGRA~1\\COMMON~1"}));
  EXPECT_EQ(ExpandLongPath(s, "C:\\PROGRA~1\\COMMON~1"), "C:\\Program Files\\Common Files");
}

TEST(ExpandLongPath, UnchangedWithoutAnInnerBackslash) {
  FakeKnownFolderSource s;
  s.longNames = {{"\\x", "Y"}};
  EXPECT_EQ(ExpandLongPath(s, "name"), "name");
  EXPECT_EQ(ExpandLongPath(s, "\\x"), "\\x");
  EXPECT_EQ(ExpandLongPath(s, ""), "");
  EXPECT_EQ(ExpandLongPath(s, "C:"), "C:");
  EXPECT_TRUE(s.lookedUp.empty());
}

TEST(ExpandLongPath, KeepsComponentsTheLookupDoesNotFind) {
  FakeKnownFolderSource s;
  s.longNames = {{"C:\\PROGRA~1", "Program Files"}};
  EXPECT_EQ(ExpandLongPath(s, "C:\\PROGRA~1\\NEWDIR~1\\f.txt"),
            "C:\\Program Files\\NEWDIR~1\\f.txt");
  EXPECT_EQ(ExpandLongPath(s, "C:\\a\\\\b"), "C:\\a\\\\b");  // doubled backslash kept
  // Wildcards are never handed to the lookup, which would find some other entry.
  s.lookedUp.clear();
  EXPECT_EQ(ExpandLongPath(s, "C:\\*\\a?"), "C:\\*\\a?");
  EXPECT_TRUE(s.lookedUp.empty());
}

}  // namespace
}  // namespace corvane
