// The registry entries against the real registry of a fresh prefix.
#include "system/win32/win32_registry.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/registry_cases.h"
#include "system/registry.h"
#include "system/win32/wide.h"

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

// The table of tests/support/registry_cases.h, which the host tests run against their double.
TEST_F(RegistryTest, TheSharedCases) { testing::RunRegistrySteps(reg); }

// Values are stored as REG_SZ in UTF-16 with their terminating zero, also when empty.
TEST_F(RegistryTest, ValuesAreStoredAsUtf16WithTheirTerminator) {
  struct Case {
    const wchar_t* name;
    std::string text;
    std::wstring stored;
  } cases[] = {{L"Path", testing::kRegistryNonAscii,
                L"C:\\Program Files\\Tamarind Software\\Caf\u00e9 \U0001F600\u4e2d"},
               {L"SpecialBuild", "", L""}};
  for (const Case& c : cases) {
    ASSERT_EQ(WriteAppPath(reg, "kvx.exe", FromWide(c.name), c.text), 0);
    const RawValue raw = ReadRaw(kKvxKey, c.name);
    ASSERT_EQ(raw.status, ERROR_SUCCESS);
    EXPECT_EQ(raw.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(raw.data.size(), (c.stored.size() + 1) * sizeof(wchar_t));
    EXPECT_EQ(AsText(raw), c.stored);
  }
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

}  // namespace
}  // namespace corvane
