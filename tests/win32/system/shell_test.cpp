// Shortcuts, shell launches and the version record against the real shell of a fresh prefix.
#include "system/win32/win32_shell.h"

#include <windows.h>

#include <objidl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

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

void Touch(const std::wstring& path) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
}

class ShellTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    CreateDirectoryW(L"C:\\links", nullptr);
    CreateDirectoryW(L"C:\\Program Files\\Caf\u00e9 Ma\u00f1ana", nullptr);
    Touch(L"C:\\Program Files\\Caf\u00e9 Ma\u00f1ana\\kvx.exe");
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

TEST_F(ShellTest, ShortcutWithoutArgumentsPointsAtTheTarget) {
  const HRESULT hr =
      shell.CreateShortcut(target, "C:\\links\\Corvane.lnk", "Search and compare file utility", "");
  ASSERT_EQ(hr, S_OK);
  const LinkContents c = ReadLink(L"C:\\links\\Corvane.lnk");
  ASSERT_EQ(c.status, S_OK);
  EXPECT_EQ(c.path, wideTarget);
  EXPECT_EQ(c.arguments, L"");
  EXPECT_EQ(c.description, L"Search and compare file utility");
}

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

// Both start in the working folder given, whichever way they were started.
TEST_F(ShellTest, LaunchAndShellOpenStartAProgramInItsFolder) {
  // A batch file writes its current folder when the shell runs it.
  const std::wstring script = L"C:\\links\\mark.cmd";
  HANDLE h = CreateFileW(script.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  const char body[] = "@cd> C:\\links\\mark.txt\r\n";
  DWORD written = 0;
  WriteFile(h, body, sizeof(body) - 1, &written, nullptr);
  CloseHandle(h);
  CreateDirectoryW(L"C:\\links\\work", nullptr);

  for (bool useOpen : {false, true}) {
    DeleteFileW(L"C:\\links\\mark.txt");
    const ShellStart start = useOpen ? shell.ShellOpen("C:\\links\\mark.cmd", "C:\\links\\work", 0)
                                     : shell.Launch("C:\\links\\mark.cmd", "C:\\links\\work");
    EXPECT_TRUE(start.started) << useOpen;
    std::printf("%s: %s\n", useOpen ? "open" : "start",
                start.way == StartWay::DesktopShell ? "through the desktop shell" : "direct");
    bool seen = false;
    for (int i = 0; i < 100 && !seen; ++i) {
      seen = Exists(L"C:\\links\\mark.txt");
      if (!seen) Sleep(100);
    }
    ASSERT_TRUE(seen) << useOpen;
    // The file opens for reading once cmd has written it and closed it.
    HANDLE mark = INVALID_HANDLE_VALUE;
    for (int i = 0; i < 100 && mark == INVALID_HANDLE_VALUE; ++i) {
      mark = CreateFileW(L"C:\\links\\mark.txt", GENERIC_READ, FILE_SHARE_READ, nullptr,
                         OPEN_EXISTING, 0, nullptr);
      if (mark == INVALID_HANDLE_VALUE) Sleep(100);
    }
    ASSERT_NE(mark, INVALID_HANDLE_VALUE) << "mark.txt did not open for 10 s, error " << GetLastError();
    char text[64] = {};
    DWORD read = 0;
    ReadFile(mark, text, sizeof text - 1, &read, nullptr);
    CloseHandle(mark);
    EXPECT_STREQ(text, "C:\\links\\work\r\n") << useOpen;
  }
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
