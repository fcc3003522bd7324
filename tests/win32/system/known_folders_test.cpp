// The known folder table of a real prefix.
#include "system/win32/win32_known_folders.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "system/known_folders.h"
#include "system/win32/wide.h"
#include "system/win32/win32_registry.h"
#include "win32/payload/scratch_folder.h"

namespace corvane {
namespace {

const std::string kSub = "\\Tamarind Software\\Corvane\\";
const wchar_t kShellFolders[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const wchar_t kLowId[] = L"{A520A1A4-1780-4FF6-BD18-167343C5AF16}";

std::string Base(const std::string& entry, const std::string& appended) {
  if (entry.size() < appended.size() ||
      entry.compare(entry.size() - appended.size(), appended.size(), appended) != 0) {
    return "<" + entry + " does not end with " + appended + ">";
  }
  return entry.substr(0, entry.size() - appended.size());
}

class KnownFoldersTest : public ::testing::Test {
 protected:
  // Tests that change the prefix's LocalAppDataLow value put the original back.
  void SetUp() override {
    wchar_t value[MAX_PATH] = {};
    DWORD bytes = sizeof(value);
    hadLow_ = RegGetValueW(HKEY_CURRENT_USER, kShellFolders, kLowId, RRF_RT_REG_SZ, nullptr, value,
                           &bytes) == ERROR_SUCCESS;
    originalLow_ = value;
  }
  void TearDown() override { SetLowValue(hadLow_ ? originalLow_.c_str() : nullptr); }
  void SetLowValue(const wchar_t* value) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kShellFolders, 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    if (value == nullptr) {
      RegDeleteValueW(key, kLowId);
    } else {
      RegSetValueExW(key, kLowId, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                     static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t)));
    }
    RegCloseKey(key);
  }
  Win32KnownFolderSource source;
  Win32Registry registry;

 private:
  bool hadLow_ = false;
  std::wstring originalLow_;
};

TEST_F(KnownFoldersTest, TableOfAFreshPrefix) {
  const KnownFolders f = SetUpKnownFolders(source, registry, "Corvane", false);
  // A 32-bit program's Program Files on 64-bit Windows.
  EXPECT_EQ(f.defaultInstall, "C:\\Program Files (x86)" + kSub);
  EXPECT_EQ(f.commonData, "C:\\ProgramData" + kSub);
  // The folders the install uses exist (the lookup creates them).
  for (const std::string& base :
       {Base(f.commonData, kSub), Base(f.localData, kSub), Base(f.userData, kSub),
        Base(f.commonDesktop, "\\"), Base(f.commonPrograms, "\\"), Base(f.desktop, "\\"),
        Base(f.programs, "\\"), Base(f.documents, "\\"), Base(f.startup, "\\")}) {
    EXPECT_TRUE(testing::IsFolder(ToWide(base))) << base;
    EXPECT_EQ(base.rfind("C:\\", 0), 0u) << base;
  }
  // The prefix records LocalAppDataLow under its id, as Windows does; the work folder stays the
  // local data folder.
  EXPECT_NE(f.lowData.find("\\AppData\\LocalLow" + kSub), std::string::npos) << f.lowData;
  EXPECT_EQ(f.work, f.localData);
  EXPECT_EQ(f.helpFile, f.localData + "help.bin");

  // The temp path is the system's, in its long form.
  wchar_t temp[MAX_PATH + 1] = {}, longTemp[MAX_PATH + 1] = {};
  ASSERT_GT(GetTempPathW(MAX_PATH + 1, temp), 0u);
  ASSERT_GT(GetLongPathNameW(temp, longTemp, MAX_PATH + 1), 0u);
  EXPECT_EQ(f.tempPath, FromWide(longTemp));
  EXPECT_EQ(f.tempPath.back(), '\\');
}

TEST_F(KnownFoldersTest, LowDataFolderFromTheShellFoldersKey) {
  SetLowValue(L"C:\\users\\someone\\AppData\\LocalLow");
  const KnownFolders low = SetUpKnownFolders(source, registry, "Corvane", true);
  EXPECT_EQ(low.lowData, "C:\\users\\someone\\AppData\\LocalLow" + kSub);
  EXPECT_EQ(low.work, low.lowData);
  EXPECT_EQ(SetUpKnownFolders(source, registry, "Corvane", false).work, low.localData);
  SetLowValue(nullptr);
  EXPECT_EQ(SetUpKnownFolders(source, registry, "Corvane", true).work, low.localData);
}

TEST_F(KnownFoldersTest, ShortNamesExpandToLongNames) {
  CreateDirectoryW(L"C:\\Long Folder Name", nullptr);
  CreateDirectoryW(L"C:\\Long Folder Name\\Another Long One", nullptr);
  wchar_t shortPath[MAX_PATH] = {};
  ASSERT_GT(GetShortPathNameW(L"C:\\Long Folder Name\\Another Long One\\", shortPath, MAX_PATH),
            0u);
  EXPECT_EQ(ExpandLongPath(source, FromWide(shortPath)),
            "C:\\Long Folder Name\\Another Long One\\");
  // A component that does not exist is kept as given.
  EXPECT_EQ(ExpandLongPath(source, FromWide(shortPath) + "NOT~1\\x"),
            "C:\\Long Folder Name\\Another Long One\\NOT~1\\x");
  EXPECT_EQ(source.FindName("C:\\no such thing"), "");
}

}  // namespace
}  // namespace corvane
