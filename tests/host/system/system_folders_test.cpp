#include "system/system_folders.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/fake_shell.h"

namespace corvane {
namespace {

// A 32-bit program on 64-bit Windows: the special folders give the "(x86)" Program Files and
// Common Files, the registry's 64-bit view the system's own.
testing::FakeKnownFolderSource Wow64Machine() {
  testing::FakeKnownFolderSource s;
  s.special = {{0, "C:\\Users\\admin\\Desktop"},
               {5, "C:\\Users\\admin\\Documents"},
               {23, "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs"},
               {25, "C:\\Users\\Public\\Desktop"},
               {26, "C:\\Users\\admin\\AppData\\Roaming"},
               {28, "C:\\Users\\admin\\AppData\\Local"},
               {35, "C:\\ProgramData"},
               {36, "C:\\Windows"},
               {37, "C:\\Windows\\system32"},
               {38, "C:\\Program Files (x86)"},
               {40, "C:\\Users\\admin"},
               {42, "C:\\Program Files (x86)"},
               {43, "C:\\Program Files (x86)\\Common Files"},
               {44, "C:\\Program Files (x86)\\Common Files"},
               {46, "C:\\Users\\Public\\Documents"}};
  s.nativeProgramFiles = "C:\\Program Files";
  s.nativeCommonFiles = "C:\\Program Files\\Common Files\\";
  s.temp = "C:\\Users\\admin\\AppData\\Local\\Temp\\";
  return s;
}

TEST(SystemFoldersTest, OneListAndOneComparisonForSetupAndUninstaller) {
  testing::FakeKnownFolderSource source = Wow64Machine();
  const std::vector<std::string> system = SystemFolders(source);
  ASSERT_FALSE(system.empty());
  EXPECT_EQ(system.front(), "C:\\Windows");
  for (const std::string& folder : system) {
    EXPECT_FALSE(folder.empty());
    EXPECT_NE(folder.back(), '\\') << folder;
  }
  for (const char* folder :
       {"C:\\Program Files", "C:\\Program Files (x86)", "C:\\Program Files\\Common Files",
        "C:\\Program Files (x86)\\Common Files", "C:\\ProgramData", "C:\\Users\\admin",
        "C:\\Users\\admin\\AppData\\Local\\Temp",
        "C:\\ProgramData\\Tamarind Software\\Corvane"}) {
    EXPECT_NE(std::find(system.begin(), system.end(), folder), system.end()) << folder;
  }

  // Refused: a system folder, one above it, anything inside the Windows folder, and paths whose
  // text does not say which folder Windows opens.
  for (const char* refused :
       {"C:\\Program Files", "c:\\PROGRAM FILES\\common files\\", "C:\\Program Files (x86)",
        "C:\\Program Files (x86)\\Common Files", "C:\\", "C:\\Windows\\Temp\\Corvane",
        "C:\\ProgramData\\Tamarind Software", "C:\\Users", "D:\\.",
        "C:\\Users\\Public\\..\\..\\ProgramData", "C:\\ProgramData.", "C:\\ProgramData \\x",
        "C:/ProgramData", "C:\\Program Files\\\\Corvane"}) {
    EXPECT_TRUE(IsSystemFolderOrAbove(refused, system)) << refused;
  }
  for (const char* accepted :
       {"C:\\Program Files\\Tamarind Software\\Corvane",
        "C:\\Program Files (x86)\\Tamarind Software\\Corvane\\", "C:\\Windows2\\Corvane",
        "C:\\Users\\admin\\Corvane", "E:\\Corvane", "\\\\server\\share\\Corvane"}) {
    EXPECT_FALSE(IsSystemFolderOrAbove(accepted, system)) << accepted;
  }
}

}  // namespace
}  // namespace corvane
