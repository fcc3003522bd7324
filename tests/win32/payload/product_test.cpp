// The sample product's two stand-in programs: started with CORVANE_START_LOG set they log one
// line and exit. (Its uninstall.exe is a real uninstaller, run by the lifecycle scenarios.)
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "system/win32/wide.h"
#include "win32/payload/scratch_folder.h"

namespace corvane {
namespace {

using testing::ReadAll;
using testing::ScratchFolder;

std::string ProductDir() {
  const char* bin = std::getenv("CORVANE_BINARY_DIR");
  if (bin == nullptr) return std::string();
  std::string p = std::string("Z:") + bin + "/product/";
  for (char& c : p) {
    if (c == '/') c = '\\';
  }
  return p;
}

// Runs `exe` in folder `cwd` and waits for it; the exit code, or -1 when it did not start.
long RunAndWait(const std::string& exe, const std::string& cwd) {
  std::wstring cmd = L"\"" + ToWide(exe) + L"\"";
  STARTUPINFOW si = {};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, ToWide(cwd).c_str(),
                      &si, &pi)) {
    return -1;
  }
  const DWORD waited = WaitForSingleObject(pi.hProcess, 30000);
  DWORD code = 0;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return waited == WAIT_OBJECT_0 ? static_cast<long>(code) : -2;
}

// The names of this process's enabled privileges, each followed by a comma.
std::string EnabledPrivileges() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return "?";
  DWORD size = 0;
  GetTokenInformation(token, TokenPrivileges, nullptr, 0, &size);
  std::vector<unsigned char> buffer(size);
  std::string names;
  if (GetTokenInformation(token, TokenPrivileges, buffer.data(), size, &size)) {
    const auto* privileges = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer.data());
    for (DWORD k = 0; k < privileges->PrivilegeCount; ++k) {
      if (!(privileges->Privileges[k].Attributes & SE_PRIVILEGE_ENABLED)) continue;
      wchar_t name[64];
      DWORD units = 64;
      LUID luid = privileges->Privileges[k].Luid;
      if (LookupPrivilegeNameW(nullptr, &luid, name, &units)) names += FromWide(name) + ",";
    }
  }
  CloseHandle(token);
  return names;
}

TEST(SampleProductTest, ProgramsLogTheirStartAndExit) {
  // From a folder named in Greek, so that the log shows the path in UTF-8.
  ScratchFolder dir("\xCE\xA0\xCF\x81\xCF\x8C\xCE\xB3\xCF\x81\xCE\xB1\xCE\xBC\xCE\xBC\xCE\xB1");
  ScratchFolder cwd("cwd");
  const std::string log = dir.Path() + "start.log";
  ASSERT_TRUE(SetEnvironmentVariableW(L"CORVANE_START_LOG", ToWide(log).c_str()));

  std::string expected;
  // The test runs with the privileges Wine enables for everyone; each program lists them.
  const std::string privileges = EnabledPrivileges();
  // And the program that started them: this test.
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  for (const char* name : {"kvxh.exe", "kvx.exe"}) {
    const std::string copy = dir.Path() + name;
    ASSERT_TRUE(CopyFileW(ToWide(ProductDir() + name).c_str(), ToWide(copy).c_str(), FALSE))
        << ProductDir() + name;
    EXPECT_EQ(RunAndWait(copy, cwd.Path()), 0) << name;
    // The current folder as the program sees it: no trailing backslash.
    expected += std::string(name) + "|" + copy + "|" + cwd.Path().substr(0, cwd.Path().size() - 1) +
                "|" + privileges + "|" + FromWide(self) + "\r\n";
  }
  SetEnvironmentVariableW(L"CORVANE_START_LOG", nullptr);
  const auto bytes = ReadAll(log);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), expected);
}

}  // namespace
}  // namespace corvane
