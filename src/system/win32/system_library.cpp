#include "system/win32/system_library.h"

#include <string>

namespace corvane {

#if !defined(CORVANE_UNHARDENED)
namespace {

// The LOAD_LIBRARY_SEARCH_* flags came with SetDefaultDllDirectories and AddDllDirectory
// (Windows 8, or Vista and 7 with KB2533623); where they are missing LoadLibraryEx rejects them.
bool HaveSearchFlags() { return KernelFunction<FARPROC>("AddDllDirectory") != nullptr; }

}  // namespace
#endif

void HardenDllSearch() {
#if !defined(CORVANE_UNHARDENED)
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  const auto setDefault = KernelFunction<SetDefaultDllDirectoriesFn>("SetDefaultDllDirectories");
  if (setDefault != nullptr) setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
  // Older systems without SetDefaultDllDirectories: at least take the current folder out.
  using SetDllDirectoryFn = BOOL(WINAPI*)(LPCWSTR);
  const auto setDllDirectory = KernelFunction<SetDllDirectoryFn>("SetDllDirectoryW");
  if (setDllDirectory != nullptr) setDllDirectory(L"");
#endif
}

bool EnableRedirectionGuard() {
  using SetPolicyFn = BOOL(WINAPI*)(PROCESS_MITIGATION_POLICY, PVOID, SIZE_T);
  using GetPolicyFn = BOOL(WINAPI*)(HANDLE, PROCESS_MITIGATION_POLICY, PVOID, SIZE_T);
  const auto setPolicy = KernelFunction<SetPolicyFn>("SetProcessMitigationPolicy");
  const auto getPolicy = KernelFunction<GetPolicyFn>("GetProcessMitigationPolicy");
  if (setPolicy == nullptr || getPolicy == nullptr) return false;
  constexpr DWORD kEnforceRedirectionTrust = 1;
  PROCESS_MITIGATION_REDIRECTION_TRUST_POLICY policy{};
  policy.Flags = kEnforceRedirectionTrust;
  if (!setPolicy(ProcessRedirectionTrustPolicy, &policy, sizeof policy)) return false;
  // Read back: a system that does not know the policy may take the call and ignore it.
  PROCESS_MITIGATION_REDIRECTION_TRUST_POLICY now{};
  return getPolicy(GetCurrentProcess(), ProcessRedirectionTrustPolicy, &now, sizeof now) &&
         (now.Flags & kEnforceRedirectionTrust) != 0;
}

SystemLibrary::SystemLibrary(const wchar_t* name) {
#if defined(CORVANE_UNHARDENED)
  // The careless way, kept for the test build that shows the planted-DLL check can fail.
  module_ = LoadLibraryW(name);
#else
  // A full path names exactly one file, whatever the search order. Its own imports are then
  // looked for in System32 only; without the search flags the altered order starts at the
  // DLL's folder, System32, too.
  wchar_t folder[MAX_PATH];
  const UINT n = GetSystemDirectoryW(folder, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return;
  std::wstring path(folder, n);
  path += L'\\';
  path += name;
  const DWORD flags =
      HaveSearchFlags() ? LOAD_LIBRARY_SEARCH_SYSTEM32 : LOAD_WITH_ALTERED_SEARCH_PATH;
  module_ = LoadLibraryExW(path.c_str(), nullptr, flags);
#endif
}

SystemLibrary::~SystemLibrary() {
  if (module_ != nullptr) FreeLibrary(module_);
}

}  // namespace corvane
