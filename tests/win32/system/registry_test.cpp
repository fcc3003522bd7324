// The registry entries against the real registry of a fresh prefix.
#include "system/win32/win32_registry.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "system/registry.h"

namespace corvane {
namespace {

const wchar_t kKvxKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\kvx.exe";
const wchar_t kEntryKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Corvane";

struct RawValue {
  LONG status = ERROR_FILE_NOT_FOUND;
  DWORD type = 0;
  std::vector<BYTE> data;
};

// Reads a value with the system's own calls, independent of the code under test.
RawValue ReadRaw(const wchar_t* keyPath, const wchar_t* name) {
  RawValue v;
  HKEY key = nullptr;
  v.status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_READ, &key);
  if (v.status != ERROR_SUCCESS) return v;
  DWORD size = 0;
  v.status = RegQueryValueExW(key, name, nullptr, &v.type, nullptr, &size);
  if (v.status == ERROR_SUCCESS) {
    v.data.resize(size);
    v.status = RegQueryValueExW(key, name, nullptr, &v.type, v.data.data(), &size);
    v.data.resize(size);
  }
  RegCloseKey(key);
  return v;
}

std::wstring AsText(const RawValue& v) {
  std::wstring s(reinterpret_cast<const wchar_t*>(v.data.data()), v.data.size() / sizeof(wchar_t));
  if (!s.empty() && s.back() == L'\0') s.pop_back();
  return s;
}

void DeleteTree(const wchar_t* path) { RegDeleteTreeW(HKEY_LOCAL_MACHINE, path); }

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    DeleteTree(kKvxKey);
    DeleteTree(kEntryKey);
  }
  void TearDown() override { SetUp(); }
  Win32Registry reg;
};

TEST_F(RegistryTest, AppPathWrittenAndReadBackIncludingNonAsciiText) {
  EXPECT_EQ(ReadAppPath(reg, "kvx.exe", "Path"), "");  // no previous installation

  // "C:\Program Files\Tamarind Software\Caf<e acute> <U+1F600>"
  const std::string folder =
      "C:\\Program Files\\Tamarind Software\\Caf\xC3\xA9 \xF0\x9F\x98\x80\xE4\xB8\xAD";
  ASSERT_EQ(WriteAppPath(reg, "kvx.exe", "Path", folder), 0);
  ASSERT_EQ(WriteAppPath(reg, "kvx.exe", "", folder + "\\kvx.exe"), 0);
  EXPECT_EQ(ReadAppPath(reg, "kvx.exe", "Path"), folder);
  EXPECT_EQ(ReadAppPath(reg, "kvx.exe", ""), folder + "\\kvx.exe");

  const RawValue raw = ReadRaw(kKvxKey, L"Path");
  ASSERT_EQ(raw.status, ERROR_SUCCESS);
  EXPECT_EQ(raw.type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(AsText(raw), L"C:\\Program Files\\Tamarind Software\\Caf\u00e9 \U0001F600\u4e2d");
  // The stored size counts the terminating zero unit.
  EXPECT_EQ(raw.data.size(), (AsText(raw).size() + 1) * sizeof(wchar_t));
}

TEST_F(RegistryTest, EmptyValueIsOneTerminatingZero) {
  ASSERT_EQ(WriteAppPath(reg, "kvx.exe", "SpecialBuild", ""), 0);
  const RawValue raw = ReadRaw(kKvxKey, L"SpecialBuild");
  ASSERT_EQ(raw.status, ERROR_SUCCESS);
  EXPECT_EQ(raw.type, static_cast<DWORD>(REG_SZ));
  ASSERT_EQ(raw.data.size(), sizeof(wchar_t));
  EXPECT_EQ(raw.data[0], 0);
  EXPECT_EQ(raw.data[1], 0);
}

TEST_F(RegistryTest, ValueLongerThanTheReadBufferReadsAsEmpty) {
  const std::string fits(260, 'f');
  const std::string tooLong(261, 't');
  ASSERT_EQ(WriteAppPath(reg, "kvx.exe", "Fits", fits), 0);
  ASSERT_EQ(WriteAppPath(reg, "kvx.exe", "TooLong", tooLong), 0);
  EXPECT_EQ(ReadAppPath(reg, "kvx.exe", "Fits"), fits);
  EXPECT_EQ(ReadAppPath(reg, "kvx.exe", "TooLong"), "");
  EXPECT_EQ(ReadAppPath(reg, "kvx.exe", "Missing"), "");
  EXPECT_EQ(ReadAppPath(reg, "nosuch.exe", "Path"), "");
}

TEST_F(RegistryTest, UnterminatedValueIsReadNoFurtherThanItsData) {
  // 261 units without a terminator fill the read buffer exactly.
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKvxKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &key, nullptr),
            ERROR_SUCCESS);
  const std::wstring full(261, L'u');
  ASSERT_EQ(RegSetValueExW(key, L"Raw", 0, REG_SZ, reinterpret_cast<const BYTE*>(full.data()),
                           static_cast<DWORD>(full.size() * sizeof(wchar_t))),
            ERROR_SUCCESS);
  RegCloseKey(key);
  // Windows hands the 261 units over as they are; Wine wants room for a terminator and reports
  // more data. Either way nothing past the stored units may show up.
  const std::string read = ReadAppPath(reg, "kvx.exe", "Raw");
  EXPECT_TRUE(read.empty() || read == std::string(261, 'u')) << read;

  const std::wstring shortRaw(10, L's');
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKvxKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &key, nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExW(key, L"Short", 0, REG_SZ, reinterpret_cast<const BYTE*>(shortRaw.data()),
                           static_cast<DWORD>(shortRaw.size() * sizeof(wchar_t))),
            ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_EQ(ReadAppPath(reg, "kvx.exe", "Short"), std::string(10, 's'));
}

TEST_F(RegistryTest, RewritingOneValueKeepsTheOthers) {
  ASSERT_EQ(WriteAppPath(reg, "kvx.exe", "Path", "C:\\old"), 0);
  ASSERT_EQ(WriteAppPath(reg, "kvx.exe", "FileVersion", "6, 1, 0, 0"), 0);
  ASSERT_EQ(WriteAppPath(reg, "kvx.exe", "Path", "C:\\new"), 0);
  EXPECT_EQ(ReadAppPath(reg, "kvx.exe", "Path"), "C:\\new");
  EXPECT_EQ(ReadAppPath(reg, "kvx.exe", "FileVersion"), "6, 1, 0, 0");
}

TEST_F(RegistryTest, UninstallEntryValues) {
  const std::string path = "C:\\Program Files\\Tamarind Software\\Corvane\\Uninstall.exe";
  ASSERT_EQ(WriteUninstallEntry(reg, "Corvane", path), 0);
  EXPECT_EQ(AsText(ReadRaw(kEntryKey, L"DisplayName")), L"Corvane");
  EXPECT_EQ(AsText(ReadRaw(kEntryKey, L"DisplayIcon")),
            L"C:\\Program Files\\Tamarind Software\\Corvane\\Uninstall.exe");
  EXPECT_EQ(AsText(ReadRaw(kEntryKey, L"UninstallString")),
            L"\"C:\\Program Files\\Tamarind Software\\Corvane\\Uninstall.exe\"");

  ASSERT_EQ(WriteUninstallEntry(reg, "Corvane", "C:\\Apps\\Uninstall.exe"), 0);
  EXPECT_EQ(AsText(ReadRaw(kEntryKey, L"UninstallString")), L"C:\\Apps\\Uninstall.exe");
}

}  // namespace
}  // namespace corvane
