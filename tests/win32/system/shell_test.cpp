// Shortcuts, shell launches and the version record against the real shell of a fresh prefix.
#include "system/win32/win32_shell.h"

#include <windows.h>

#include <exdisp.h>
#include <objidl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "system/shell.h"
#include "system/win32/wide.h"

namespace corvane {
namespace {

struct LinkContents {
  HRESULT status = E_FAIL;
  std::wstring path, arguments, description;
};

// Loads a shortcut file through the shell-link object, independently of the code under test.
LinkContents ReadLink(const std::wstring& file) {
  LinkContents c;
  IShellLinkW* link = nullptr;
  c.status = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(&link));
  if (FAILED(c.status)) return c;
  IPersistFile* persist = nullptr;
  c.status = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist));
  if (SUCCEEDED(c.status)) {
    c.status = persist->Load(file.c_str(), STGM_READ);
    persist->Release();
  }
  if (SUCCEEDED(c.status)) {
    wchar_t buffer[1024] = {};
    link->GetPath(buffer, 1024, nullptr, 0);
    c.path = buffer;
    buffer[0] = 0;
    link->GetArguments(buffer, 1024);
    c.arguments = buffer;
    buffer[0] = 0;
    link->GetDescription(buffer, 1024);
    c.description = buffer;
  }
  link->Release();
  return c;
}

bool Exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void WriteText(const std::wstring& path, std::string_view text = {}) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(h);
}

class ShellTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    CreateDirectoryW(L"C:\\links", nullptr);
    CreateDirectoryW(L"C:\\Program Files\\Caf\u00e9 Ma\u00f1ana", nullptr);
    WriteText(L"C:\\Program Files\\Caf\u00e9 Ma\u00f1ana\\kvx.exe");
  }
  void TearDown() override { CoUninitialize(); }
  Win32Shell shell;
  // Wine's shell link stores the target in the ANSI code page only, so the non-ASCII letters
  // here are ones that code page has.
  const std::string target =
      "C:\\Program Files\\Caf\xC3\xA9 Ma\xC3\xB1"
      "ana\\kvx.exe";
  const std::wstring wideTarget = L"C:\\Program Files\\Caf\u00e9 Ma\u00f1ana\\kvx.exe";
};

TEST_F(ShellTest, ShortcutWithArgumentsAndReplacingAnExistingOne) {
  ASSERT_EQ(shell.CreateShortcut(target, "C:\\links\\Args.lnk", "with", "/x \"a b\""), S_OK);
  LinkContents c = ReadLink(L"C:\\links\\Args.lnk");
  ASSERT_EQ(c.status, S_OK);
  EXPECT_EQ(c.path, wideTarget);
  EXPECT_EQ(c.arguments, L"/x \"a b\"");
  EXPECT_EQ(c.description, L"with");

  ASSERT_EQ(shell.CreateShortcut("C:\\windows\\notepad.exe", "C:\\links\\Args.lnk", "plain", ""),
            S_OK);
  c = ReadLink(L"C:\\links\\Args.lnk");
  ASSERT_EQ(c.status, S_OK);
  EXPECT_EQ(c.arguments, L"");
  EXPECT_EQ(c.description, L"plain");
  EXPECT_NE(c.path.find(L"notepad.exe"), std::wstring::npos) << FromWide(c.path);
}

TEST_F(ShellTest, ShortcutIntoAMissingFolderFailsAndLeavesNoFile) {
  const HRESULT hr = shell.CreateShortcut(target, "C:\\no such folder\\Corvane.lnk", "d", "");
  EXPECT_TRUE(FAILED(hr)) << std::hex << hr;
  EXPECT_FALSE(Exists(L"C:\\no such folder\\Corvane.lnk"));
}

TEST_F(ShellTest, ShortcutWithoutComFails) {
  CoUninitialize();
  EXPECT_TRUE(FAILED(shell.CreateShortcut(target, "C:\\links\\NoCom.lnk", "d", "")));
  EXPECT_FALSE(Exists(L"C:\\links\\NoCom.lnk"));
  ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
}

// Writes both kinds of shortcut where a check outside Wine can read them (the folder is given
// as a Windows path in CORVANE_LINK_OUT); skipped in ordinary runs.
TEST_F(ShellTest, ShortcutsForAnOutsideReader) {
  const char* out = std::getenv("CORVANE_LINK_OUT");
  if (out == nullptr || *out == '\0') GTEST_SKIP() << "CORVANE_LINK_OUT not set";
  const std::string folder = std::string(out) + "\\";
  ASSERT_EQ(
      shell.CreateShortcut(target, folder + "plain.lnk", "Search and compare file utility", ""),
      S_OK);
  ASSERT_EQ(shell.CreateShortcut(target, folder + "args.lnk", "Search and compare file utility",
                                 "/quiet \"C:\\some file.txt\""),
            S_OK);
}

// The whole of a small file once it ends with a line end (a starting program may still be
// writing it), or "" when that does not happen within ten seconds.
std::string WaitForLine(const std::wstring& path) {
  for (int i = 0; i < 100; ++i) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      char text[1024] = {};
      DWORD read = 0;
      ReadFile(file, text, sizeof text - 1, &read, nullptr);
      CloseHandle(file);
      const std::string line(text, read);
      if (line.size() >= 2 && line.compare(line.size() - 2, 2, "\r\n") == 0) return line;
    }
    Sleep(100);
  }
  return {};
}

// A visible top-level window of this process, destroyed with it. Wine starts its desktop shell
// (explorer.exe /desktop, which then answers for the desktop) for the first process that shows
// one; a console test program never does by itself.
class TopWindow {
 public:
  TopWindow()
      : hwnd_(CreateWindowExW(0, L"STATIC", L"shell test", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                              80, 60, nullptr, nullptr, nullptr, nullptr)) {}
  ~TopWindow() {
    if (hwnd_ != nullptr) DestroyWindow(hwnd_);
  }
  TopWindow(const TopWindow&) = delete;
  TopWindow& operator=(const TopWindow&) = delete;
  HWND Get() const { return hwnd_; }

 private:
  HWND hwnd_;
};

// Whether a desktop shell serves the shell windows list at all (asked directly).
bool ShellWindowsServed() {
  IShellWindows* windows = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows,
                              reinterpret_cast<void**>(&windows)))) {
    return false;
  }
  windows->Release();
  return true;
}

// Through the desktop shell, as the signed-in user: a batch file writes the folder it was started
// in. A program that is not there is refused by the shell itself.
TEST_F(ShellTest, LaunchGoesThroughTheDesktopShellInTheFolderGiven) {
  WriteText(L"C:\\links\\mark.cmd", "@cd> C:\\links\\mark.txt\r\n");
  CreateDirectoryW(L"C:\\links\\work", nullptr);
  DeleteFileW(L"C:\\links\\mark.txt");
  const TopWindow window;
  ASSERT_NE(window.Get(), nullptr);
  bool served = ShellWindowsServed();
  for (int i = 0; i < 150 && !served; ++i, served = ShellWindowsServed()) Sleep(100);
  if (!served) {
    // Wine 10, in about one fresh prefix in four: the desktop shell the window above started never
    // serves its windows list (CoCreateInstance gives REGDB_E_KEYMISSING for 15 s and more), and
    // then there is no desktop way to check.
    GTEST_SKIP() << "the desktop shell serves no windows list";
  }

  const ShellStart start = shell.Launch("C:\\links\\mark.cmd", "C:\\links\\work", kShowNormal);
  EXPECT_TRUE(start.started);
  EXPECT_EQ(start.way, StartWay::DesktopShell);
  EXPECT_EQ(WaitForLine(L"C:\\links\\mark.txt"), "C:\\links\\work\r\n")
      << "mark.cmd did not write its folder within 10 s";

  const ShellStart missing = shell.Launch("C:\\links\\missing.exe", "C:\\links", kShowNormal);
  EXPECT_FALSE(missing.started);
  EXPECT_EQ(missing.way, StartWay::DesktopShell);
}

// The setup's ways with a desktop shell that does not answer (hung or suspended): what is left
// is the token of the shell's process.
class SilentDesktop final : public StartWays {
 public:
  Desktop AskDesktop(const std::string&, const std::string&, int) override {
    return Desktop::NoAnswer;
  }
  std::uint32_t ShellProcessId() override { return ways_.ShellProcessId(); }
  std::unique_ptr<ShellProcess> OpenShellProcess(std::uint32_t processId) override {
    return ways_.OpenShellProcess(processId);
  }

 private:
  Win32StartWays ways_;
};

// StartProgram from a thread on a desktop that no shell serves.
struct NoShellRun {
  HDESK desktop;
  const std::string& program;
  std::uint32_t shellId = 1;
  ShellStart start{true, StartWay::ShellUser};
};
DWORD WINAPI StartWithoutShell(void* parameter) {
  auto& run = *static_cast<NoShellRun*>(parameter);
  if (!SetThreadDesktop(run.desktop)) return 1;
  SilentDesktop ways;
  run.shellId = ways.ShellProcessId();
  run.start = StartProgram(ways, run.program, "C:\\links\\work", kShowNormal);
  return 0;
}

// Without an answering desktop shell the program starts only with the token of the shell's
// process, and only where that is an ordinary user's. Wine 10 gives every process, its shell
// too, a token at high integrity (not marked elevated): it is read, refused, and nothing runs.
// What that token's start does where one is accepted is shown by starting with it directly (Wine
// starts the program with the caller's own token there). Without a shell process (a desktop of
// its own that no shell serves) nothing runs either. The product's stand-in, copied in, records
// its path and current folder in CORVANE_START_LOG, which it inherits from here.
TEST_F(ShellTest, WithoutTheDesktopShellOnlyTheShellUsersTokenStartsTheProgram) {
  const char* build = std::getenv("CORVANE_BINARY_DIR");
  ASSERT_NE(build, nullptr) << "CORVANE_BINARY_DIR names the build folder";
  const std::wstring standIn = L"Z:" + ToWide(build) + L"/product/kvx.exe";
  CreateDirectoryW(L"C:\\links\\prog", nullptr);
  CreateDirectoryW(L"C:\\links\\work", nullptr);
  ASSERT_TRUE(CopyFileW(standIn.c_str(), L"C:\\links\\prog\\kvx.exe", FALSE)) << FromWide(standIn);
  ASSERT_TRUE(SetEnvironmentVariableW(L"CORVANE_START_LOG", L"C:\\links\\start.log"));
  const std::string kvx = "C:\\links\\prog\\kvx.exe";
  DeleteFileW(L"C:\\links\\start.log");

  const TopWindow window;
  for (int i = 0; i < 50 && GetShellWindow() == nullptr; ++i) Sleep(100);
  SilentDesktop ways;
  const std::uint32_t shellId = ways.ShellProcessId();
  ASSERT_NE(shellId, 0u);
  ASSERT_NE(shellId, GetCurrentProcessId());
  const std::unique_ptr<StartWays::ShellProcess> shellProcess = ways.OpenShellProcess(shellId);
  ASSERT_NE(shellProcess, nullptr);
  const StartWays::TokenFacts token = shellProcess->Token();
  EXPECT_FALSE(token.elevated);
  EXPECT_FALSE(token.setupsOwn);
  EXPECT_EQ(token.integrity, 0x3000u) << "not read as Wine's high integrity level";
  const std::unique_ptr<StartWays::ShellProcess> self =
      ways.OpenShellProcess(GetCurrentProcessId());
  ASSERT_NE(self, nullptr);
  EXPECT_TRUE(self->Token().setupsOwn);

  const ShellStart refused = StartProgram(ways, kvx, "C:\\links\\work", kShowNormal);
  EXPECT_FALSE(refused.started);
  EXPECT_EQ(refused.way, StartWay::NotStarted);

  // A thread on a desktop of its own sees no shell window.
  NoShellRun noShell{CreateDesktopW(L"corvane-no-shell", nullptr, nullptr, 0, GENERIC_ALL, nullptr),
                     kvx};
  ASSERT_NE(noShell.desktop, nullptr);
  const HANDLE thread = CreateThread(nullptr, 0, StartWithoutShell, &noShell, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  WaitForSingleObject(thread, INFINITE);
  DWORD ran = 1;
  GetExitCodeThread(thread, &ran);
  CloseHandle(thread);
  CloseDesktop(noShell.desktop);
  ASSERT_EQ(ran, 0u) << "no desktop of its own";
  EXPECT_EQ(noShell.shellId, 0u);
  EXPECT_FALSE(noShell.start.started);
  EXPECT_EQ(noShell.start.way, StartWay::NotStarted);
  Sleep(1000);
  EXPECT_FALSE(Exists(L"C:\\links\\start.log")) << "the stand-in ran";

  ASSERT_TRUE(shellProcess->Start(kvx, "C:\\links\\work", kShowNormal));
  const std::string line = WaitForLine(L"C:\\links\\start.log");
  EXPECT_EQ(line.rfind("kvx.exe|C:\\links\\prog\\kvx.exe|C:\\links\\work|", 0), 0u) << line;
  SetEnvironmentVariableW(L"CORVANE_START_LOG", nullptr);
}

TEST(VersionRecord, StringsOfTheRunningProgram) {
  Win32Shell shell;
  EXPECT_EQ(VersionString(shell, "FileVersion"), "6, 1, 0, 0");
  EXPECT_EQ(VersionString(shell, "SpecialBuild"), "0");
  EXPECT_EQ(shell.RawVersionString("Comments"), "  padded on both sides \t");
  EXPECT_EQ(VersionString(shell, "Comments"), "padded on both sides");
  EXPECT_EQ(VersionString(shell, "PrivateBuild"), "");
  EXPECT_EQ(VersionString(shell, ""), "");
}

}  // namespace
}  // namespace corvane
