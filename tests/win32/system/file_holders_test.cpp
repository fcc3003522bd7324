// The holders of a file that a helper process holds. Wine's Restart Manager is made of stubs
// (it lists no process and closes none), so most checks give the holders a Restart Manager of
// this test's own that lists the helper; the processes, their image paths and the waiting for
// them to end are still the system's.
#include "system/win32/win32_file_holders.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "system/win32/handle.h"
#include "system/win32/wide.h"

namespace corvane {
namespace {

const char kHeld[] = "C:\\holders\\held.txt";
const wchar_t kRelease[] = L"C:\\holders\\release";  // the helper ends once it exists

// The test's Restart Manager: lists `listed`; asked to close, makes the helper end.
std::vector<RM_PROCESS_INFO> listed;
std::vector<ULONG> shutdowns;  // the flags of each call

DWORD WINAPI StartSession(DWORD* session, DWORD, WCHAR*) {
  *session = 1;
  return ERROR_SUCCESS;
}
DWORD WINAPI EndSession(DWORD) { return ERROR_SUCCESS; }
DWORD WINAPI Register(DWORD, UINT, LPCWSTR*, UINT, RM_UNIQUE_PROCESS*, UINT, LPCWSTR*) {
  return ERROR_SUCCESS;
}
DWORD WINAPI GetList(DWORD, UINT* needed, UINT* count, RM_PROCESS_INFO* found, LPDWORD reasons) {
  *needed = static_cast<UINT>(listed.size());
  *reasons = 0;
  if (*count < listed.size()) return ERROR_MORE_DATA;
  for (size_t k = 0; k < listed.size(); ++k) found[k] = listed[k];
  *count = static_cast<UINT>(listed.size());
  return ERROR_SUCCESS;
}
DWORD WINAPI Shutdown(DWORD, ULONG flags, RM_WRITE_STATUS_CALLBACK) {
  shutdowns.push_back(flags);
  Handle(CreateFileW(kRelease, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  return ERROR_SUCCESS;
}

RM_PROCESS_INFO Listed(DWORD processId, RM_APP_TYPE type, BOOL restartable) {
  RM_PROCESS_INFO info{};
  info.Process.dwProcessId = processId;
  info.Process.ProcessStartTime = {0x10, 0x2};
  wcsncpy(info.strAppName, L"Holder", CCH_RM_MAX_APP_NAME);
  info.ApplicationType = type;
  info.bRestartable = restartable;
  return info;
}

// Allowed as found: the id and the start time of the listed process.
FileHolder Allowed(unsigned long processId, std::uint64_t started = 0x200000010ull) {
  FileHolder holder;
  holder.processId = processId;
  holder.started = started;
  return holder;
}

bool Exists(const wchar_t* path) { return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES; }

class FileHoldersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    listed.clear();
    shutdowns.clear();
    const char* build = std::getenv("CORVANE_BINARY_DIR");
    ASSERT_NE(build, nullptr) << "CORVANE_BINARY_DIR names the build folder";
    CreateDirectoryW(L"C:\\holders", nullptr);
    DeleteFileW(kRelease);
    DeleteFileW(L"C:\\holders\\ready");
    const std::wstring helper = L"Z:" + ToWide(build) + L"/e2e/hold_file.exe";
    ASSERT_TRUE(CopyFileW(helper.c_str(), L"C:\\holders\\hold_file.exe", FALSE)) << build;
    ASSERT_TRUE(Handle(CreateFileW(L"C:\\holders\\held.txt", GENERIC_WRITE, 0, nullptr,
                                   CREATE_ALWAYS, 0, nullptr))
                    .Valid());
    std::wstring line = L"hold_file C:\\holders\\held.txt C:\\holders\\release C:\\holders\\ready";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessW(L"C:\\holders\\hold_file.exe", line.data(), nullptr, nullptr, FALSE,
                               0, nullptr, nullptr, &startup, &process));
    CloseHandle(process.hThread);
    helper_ = Handle(process.hProcess);
    helperId_ = process.dwProcessId;
    for (int i = 0; i < 200 && !Exists(L"C:\\holders\\ready"); ++i) Sleep(50);
    ASSERT_TRUE(Exists(L"C:\\holders\\ready")) << "the helper does not hold the file";
  }
  void TearDown() override {
    Handle(CreateFileW(kRelease, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    if (WaitForSingleObject(helper_.Get(), 10000) == WAIT_TIMEOUT) {
      TerminateProcess(helper_.Get(), 1);
    }
  }
  bool HelperRunning() const { return WaitForSingleObject(helper_.Get(), 0) == WAIT_TIMEOUT; }

  Win32FileHolders holders_{RestartManager{StartSession, EndSession, Register, GetList, Shutdown}};
  Handle helper_;
  DWORD helperId_ = 0;
};

TEST_F(FileHoldersTest, FindTellsEachHoldersPathAndWhetherItIsTheSystems) {
  listed = {Listed(helperId_, RmMainWindow, TRUE), Listed(0xFFFFFFF0, RmService, FALSE)};
  std::vector<FileHolder> found;
  ASSERT_TRUE(holders_.Find({kHeld}, found));
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0].name, "Holder");
  EXPECT_EQ(found[0].processId, helperId_);
  EXPECT_EQ(found[0].path, "C:\\holders\\hold_file.exe");
  EXPECT_TRUE(found[0].restartable);
  EXPECT_FALSE(found[0].system);
  EXPECT_EQ(found[1].path, "");  // no such process
  EXPECT_FALSE(found[1].restartable);
  EXPECT_TRUE(found[1].system);
}

TEST_F(FileHoldersTest, CloseAsksOnlyWhenEveryHolderIsAllowedNeverForcesAndWaitsForTheEnd) {
  listed = {Listed(helperId_, RmMainWindow, TRUE), Listed(GetCurrentProcessId(), RmExplorer, 0)};
  EXPECT_FALSE(holders_.Close({kHeld}, {Allowed(helperId_), Allowed(GetCurrentProcessId())}));
  listed.pop_back();
  EXPECT_FALSE(holders_.Close({kHeld}, {}));
  EXPECT_FALSE(holders_.Close({kHeld}, {Allowed(helperId_ + 4)}));
  EXPECT_FALSE(holders_.Close({kHeld}, {Allowed(helperId_, 1)}));  // its id, another process
  EXPECT_TRUE(shutdowns.empty());
  EXPECT_TRUE(HelperRunning());

  EXPECT_TRUE(holders_.Close({kHeld}, {Allowed(helperId_)}));
  EXPECT_EQ(shutdowns, std::vector<ULONG>{0});
  EXPECT_FALSE(HelperRunning()) << "returned before the holder ended";
}

// The system's own Restart Manager. Windows lists the helper, and Close refuses it as it is not
// allowed; Wine lists nothing, and Close then has nothing to ask and nothing to wait for.
TEST_F(FileHoldersTest, TheSystemsRestartManager) {
  Win32FileHolders system;
  std::vector<FileHolder> found;
  ASSERT_TRUE(system.Find({kHeld}, found));
  for (const FileHolder& holder : found) {
    if (holder.processId == helperId_) {
      EXPECT_EQ(holder.path, "C:\\holders\\hold_file.exe");
    }
  }
  EXPECT_EQ(system.Close({kHeld}, {}), found.empty());
  EXPECT_TRUE(HelperRunning());
}

}  // namespace
}  // namespace corvane
