#include "system/win32/win32_file_holders.h"

#include <windows.h>

#include <restartmanager.h>

#include "system/win32/system_library.h"
#include "system/win32/wide.h"

namespace corvane {
namespace {

using StartFn = DWORD(WINAPI*)(DWORD*, DWORD, WCHAR*);
using EndFn = DWORD(WINAPI*)(DWORD);
using RegisterFn = DWORD(WINAPI*)(DWORD, UINT, LPCWSTR*, UINT, RM_UNIQUE_PROCESS*, UINT, LPCWSTR*);
using ListFn = DWORD(WINAPI*)(DWORD, UINT*, UINT*, RM_PROCESS_INFO*, LPDWORD);

// Ends the session on every way out.
class Session {
 public:
  Session(StartFn start, EndFn end) : end_(end) {
    WCHAR key[CCH_RM_SESSION_KEY + 1] = {};
    started_ = start(&handle_, 0, key) == ERROR_SUCCESS;
  }
  ~Session() {
    if (started_) end_(handle_);
  }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;
  bool Started() const { return started_; }
  DWORD Get() const { return handle_; }

 private:
  EndFn end_;
  DWORD handle_ = 0;
  bool started_ = false;
};

}  // namespace

bool Win32FileHolders::Find(const std::vector<std::string>& paths,
                            std::vector<FileHolder>& holders) {
  holders.clear();
  // Not one of the system's KnownDLLs (and missing before Vista): from System32 only.
  const SystemLibrary library(L"rstrtmgr.dll");
  const auto start = library.Get<StartFn>("RmStartSession");
  const auto end = library.Get<EndFn>("RmEndSession");
  const auto add = library.Get<RegisterFn>("RmRegisterResources");
  const auto list = library.Get<ListFn>("RmGetList");
  if (start == nullptr || end == nullptr || add == nullptr || list == nullptr) return false;

  const Session session(start, end);
  if (!session.Started()) return false;
  std::vector<std::wstring> wide;
  std::vector<LPCWSTR> files;
  for (const std::string& path : paths) wide.push_back(ToWide(path));
  for (const std::wstring& path : wide) files.push_back(path.c_str());
  if (add(session.Get(), static_cast<UINT>(files.size()), files.data(), 0, nullptr, 0, nullptr) !=
      ERROR_SUCCESS) {
    return false;
  }
  // The list can grow between the call that sizes it and the one that fills it.
  std::vector<RM_PROCESS_INFO> found;
  for (int attempt = 0; attempt < 4; ++attempt) {
    UINT needed = 0;
    UINT count = static_cast<UINT>(found.size());
    DWORD reasons = 0;
    const DWORD status = list(session.Get(), &needed, &count, found.data(), &reasons);
    if (status == ERROR_SUCCESS) {
      for (UINT k = 0; k < count && k < found.size(); ++k) {
        found[k].strAppName[CCH_RM_MAX_APP_NAME] = L'\0';
        FileHolder holder;
        holder.name = FromWide(found[k].strAppName);
        holder.processId = found[k].Process.dwProcessId;
        holders.push_back(holder);
      }
      return true;
    }
    if (status != ERROR_MORE_DATA) return false;
    found.resize(needed + 1);
  }
  return false;
}

bool Win32FileHolders::Close(const std::vector<std::string>&, const std::vector<FileHolder>&) {
  return false;
}

}  // namespace corvane
