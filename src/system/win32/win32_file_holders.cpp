#include "system/win32/win32_file_holders.h"

#include <algorithm>
#include <utility>

#include "system/win32/handle.h"
#include "system/win32/system_library.h"
#include "system/win32/wide.h"

namespace corvane {
namespace {

// How long Close waits, in all, for the programs it asked to end.
constexpr ULONGLONG kCloseWaitMs = 10000;

// The given functions, or the system's from `library`, which it loads for them.
bool Functions(const std::optional<RestartManager>& given, std::optional<SystemLibrary>& library,
               RestartManager& functions) {
  if (given) {
    functions = *given;
  } else {
    // Not one of the system's KnownDLLs (and missing before Vista): from System32 only.
    library.emplace(L"rstrtmgr.dll");
    functions.startSession = library->Get<RestartManager::StartFn>("RmStartSession");
    functions.endSession = library->Get<RestartManager::EndFn>("RmEndSession");
    functions.registerResources = library->Get<RestartManager::RegisterFn>("RmRegisterResources");
    functions.getList = library->Get<RestartManager::ListFn>("RmGetList");
    functions.shutdown = library->Get<RestartManager::ShutdownFn>("RmShutdown");
  }
  return functions.startSession != nullptr && functions.endSession != nullptr &&
         functions.registerResources != nullptr && functions.getList != nullptr &&
         functions.shutdown != nullptr;
}

// Ends the session on every way out.
class Session {
 public:
  explicit Session(const RestartManager& functions) : end_(functions.endSession) {
    WCHAR key[CCH_RM_SESSION_KEY + 1] = {};
    started_ = functions.startSession(&handle_, 0, key) == ERROR_SUCCESS;
  }
  ~Session() {
    if (started_) end_(handle_);
  }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;
  bool Started() const { return started_; }
  DWORD Get() const { return handle_; }

 private:
  RestartManager::EndFn end_;
  DWORD handle_ = 0;
  bool started_ = false;
};

// The program's full path; empty where it cannot be opened or does not tell.
std::string ImagePath(DWORD processId) {
  const Handle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
  if (!process.Valid()) return {};
  wchar_t path[MAX_PATH * 4];
  DWORD length = MAX_PATH * 4;
  if (!QueryFullProcessImageNameW(process.Get(), 0, path, &length)) return {};
  return FromWide(std::wstring_view(path, length));
}

// Registers `paths` with the session and fills `holders` with the programs it lists for them;
// false when the system cannot tell.
bool ListHolders(const RestartManager& functions, const Session& session,
                 const std::vector<std::string>& paths, std::vector<FileHolder>& holders) {
  holders.clear();
  std::vector<std::wstring> wide;
  std::vector<LPCWSTR> files;
  for (const std::string& path : paths) wide.push_back(ToWide(path));
  for (const std::wstring& path : wide) files.push_back(path.c_str());
  if (functions.registerResources(session.Get(), static_cast<UINT>(files.size()), files.data(), 0,
                                  nullptr, 0, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  // The list can grow between the call that sizes it and the one that fills it.
  std::vector<RM_PROCESS_INFO> found;
  for (int attempt = 0; attempt < 4; ++attempt) {
    UINT needed = 0;
    UINT count = static_cast<UINT>(found.size());
    DWORD reasons = 0;
    const DWORD status = functions.getList(session.Get(), &needed, &count, found.data(), &reasons);
    if (status == ERROR_SUCCESS) {
      for (UINT k = 0; k < count && k < found.size(); ++k) {
        RM_PROCESS_INFO& info = found[k];
        info.strAppName[CCH_RM_MAX_APP_NAME] = L'\0';
        FileHolder holder;
        holder.name = FromWide(info.strAppName);
        holder.processId = info.Process.dwProcessId;
        holder.started = (static_cast<std::uint64_t>(info.Process.ProcessStartTime.dwHighDateTime)
                          << 32) |
                         info.Process.ProcessStartTime.dwLowDateTime;
        holder.path = ImagePath(info.Process.dwProcessId);
        holder.restartable = info.bRestartable != FALSE;
        holder.system = info.ApplicationType == RmService || info.ApplicationType == RmCritical ||
                        info.ApplicationType == RmExplorer;
        holders.push_back(std::move(holder));
      }
      return true;
    }
    if (status != ERROR_MORE_DATA) return false;
    found.resize(needed + 1);
  }
  return false;
}

}  // namespace

bool Win32FileHolders::Find(const std::vector<std::string>& paths,
                            std::vector<FileHolder>& holders) {
  holders.clear();
  std::optional<SystemLibrary> library;
  RestartManager functions;
  if (!Functions(given_, library, functions)) return false;
  const Session session(functions);
  return session.Started() && ListHolders(functions, session, paths, holders);
}

bool Win32FileHolders::Close(const std::vector<std::string>& paths,
                             const std::vector<FileHolder>& allowed) {
  std::optional<SystemLibrary> library;
  RestartManager functions;
  if (!Functions(given_, library, functions)) return false;
  const Session session(functions);
  std::vector<FileHolder> holders;
  if (!session.Started() || !ListHolders(functions, session, paths, holders)) return false;
  for (const FileHolder& holder : holders) {
    const bool isAllowed =
        std::any_of(allowed.begin(), allowed.end(),
                    [&holder](const FileHolder& one) {
                      return one.processId == holder.processId && one.started == holder.started;
                    });
    if (!isAllowed || holder.system) return false;
  }
  // Opened before they are asked, so that an id cannot pass to another process meanwhile.
  std::vector<Handle> processes;
  for (const FileHolder& holder : holders) {
    Handle process(OpenProcess(SYNCHRONIZE, FALSE, holder.processId));
    if (process.Valid()) {
      processes.push_back(std::move(process));
    } else if (GetLastError() != ERROR_INVALID_PARAMETER) {  // no such process: it has ended
      return false;
    }
  }
  // Nothing holds them any more: nothing to ask. (Asking would close whatever held them since.)
  if (processes.empty()) return true;
  if (functions.shutdown(session.Get(), 0 /* never RmForceShutdown */, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const ULONGLONG start = GetTickCount64();
  for (const Handle& process : processes) {
    const ULONGLONG spent = GetTickCount64() - start;
    const DWORD left = spent < kCloseWaitMs ? static_cast<DWORD>(kCloseWaitMs - spent) : 0;
    if (WaitForSingleObject(process.Get(), left) != WAIT_OBJECT_0) return false;
  }
  return true;
}

}  // namespace corvane
