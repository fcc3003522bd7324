// One table of writes and reads of the product's registry entries, run against the host's
// FakeRegistry (tests/host/system/registry_test.cpp) and against the registry of a fresh prefix
// (tests/win32/system/registry_test.cpp): what the double answers is what the system answers.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "system/registry.h"

namespace corvane::testing {

struct RegistryStep {
  enum Kind { kWriteAppPath, kWriteUninstallEntry, kRead };
  Kind kind;
  std::string key;   // the App Paths subkey, the entry's name, or for kRead the path below
                     // HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion
  std::string name;  // the value's name (not for kWriteUninstallEntry)
  std::string text;  // what is written (the uninstaller's path), or what is read back
  long status = 0;   // of the write, or of the first open or query of the read that fails
};

// "C:\Program Files\Tamarind Software\Café 😀中"
inline const std::string kRegistryNonAscii =
    "C:\\Program Files\\Tamarind Software\\Caf\xC3\xA9 \xF0\x9F\x98\x80\xE4\xB8\xAD";
inline const std::string kRegistryUninstaller =
    "C:\\Program Files\\Tamarind Software\\Corvane\\Uninstall.exe";
// 129 characters of two UTF-16 units each and two of one: 260 units, with the terminator the
// 261 units a read takes.
inline const std::string kRegistryAstral260 = [] {
  std::string s;
  for (int i = 0; i < 129; ++i) s += "\xF0\x9F\x98\x80";
  return s + "ab";
}();

inline const std::vector<RegistryStep> kRegistrySteps = {
    {RegistryStep::kRead, "App Paths\\kvx.exe", "Path", "", kRegistryNotFound},
    {RegistryStep::kWriteAppPath, "kvx.exe", "Path", "C:\\old"},
    {RegistryStep::kWriteAppPath, "kvx.exe", "FileVersion", "6, 1, 0, 0"},
    {RegistryStep::kWriteAppPath, "kvx.exe", "Path", kRegistryNonAscii},
    {RegistryStep::kWriteAppPath, "kvx.exe", "", kRegistryNonAscii + "\\kvx.exe"},
    {RegistryStep::kRead, "App Paths\\kvx.exe", "Path", kRegistryNonAscii},
    {RegistryStep::kRead, "App Paths\\kvx.exe", "FileVersion", "6, 1, 0, 0"},
    {RegistryStep::kRead, "App Paths\\kvx.exe", "", kRegistryNonAscii + "\\kvx.exe"},
    {RegistryStep::kRead, "App Paths\\kvx.exe", "Missing", "", kRegistryNotFound},
    {RegistryStep::kRead, "App Paths\\nosuch.exe", "Path", "", kRegistryNotFound},
    {RegistryStep::kWriteAppPath, "kvx.exe", "Fits", std::string(260, 'f')},
    {RegistryStep::kWriteAppPath, "kvx.exe", "TooLong", std::string(261, 't')},
    {RegistryStep::kWriteAppPath, "kvx.exe", "Astral", kRegistryAstral260},
    {RegistryStep::kWriteAppPath, "kvx.exe", "AstralTooLong", kRegistryAstral260 + "c"},
    {RegistryStep::kRead, "App Paths\\kvx.exe", "Fits", std::string(260, 'f')},
    {RegistryStep::kRead, "App Paths\\kvx.exe", "TooLong", "", 234},  // ERROR_MORE_DATA
    {RegistryStep::kRead, "App Paths\\kvx.exe", "Astral", kRegistryAstral260},
    {RegistryStep::kRead, "App Paths\\kvx.exe", "AstralTooLong", "", 234},
    // The command is quoted only when the path holds a space.
    {RegistryStep::kWriteUninstallEntry, "Corvane", "", kRegistryUninstaller},
    {RegistryStep::kRead, "Uninstall\\Corvane", "DisplayName", "Corvane"},
    {RegistryStep::kRead, "Uninstall\\Corvane", "DisplayIcon", kRegistryUninstaller},
    {RegistryStep::kRead, "Uninstall\\Corvane", "UninstallString",
     "\"" + kRegistryUninstaller + "\""},
    {RegistryStep::kWriteUninstallEntry, "Corvane", "", "C:\\Apps\\Uninstall.exe"},
    {RegistryStep::kRead, "Uninstall\\Corvane", "UninstallString", "C:\\Apps\\Uninstall.exe"},
};

// Opens the key level by level and queries the value: the status of the first call that fails.
inline long ReadProductValue(RegistryApi& reg, const std::string& path, const std::string& name,
                             std::string& value) {
  KeyChain chain(reg);
  const std::string full = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\" + path + "\\";
  for (std::size_t start = 0, cut; (cut = full.find('\\', start)) != std::string::npos;
       start = cut + 1) {
    if (const long status = chain.Open(full.substr(start, cut - start)); status != 0) {
      return status;
    }
  }
  return reg.QueryString(chain.Innermost(), name, value);
}

inline void RunRegistrySteps(RegistryApi& reg) {
  for (const RegistryStep& step : kRegistrySteps) {
    SCOPED_TRACE(step.key + " [" + step.name + "]");
    std::string value;
    switch (step.kind) {
      case RegistryStep::kWriteAppPath:
        EXPECT_EQ(WriteAppPath(reg, step.key, step.name, step.text), step.status);
        break;
      case RegistryStep::kWriteUninstallEntry:
        EXPECT_EQ(WriteUninstallEntry(reg, step.key, step.text), step.status);
        break;
      case RegistryStep::kRead:
        EXPECT_EQ(ReadProductValue(reg, step.key, step.name, value), step.status);
        EXPECT_EQ(value, step.text);
        break;
    }
  }
}

}  // namespace corvane::testing
