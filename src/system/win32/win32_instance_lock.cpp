#include "system/win32/win32_instance_lock.h"

#include <aclapi.h>

#include "system/win32/system_library.h"

namespace corvane {
namespace {

constexpr wchar_t kLockName[] = L"Global\\Corvane.Setup.{6B1F3C2E-9A57-4D8E-B0C4-2F7A91D35E60}";
constexpr wchar_t kNamespaceName[] = L"Corvane.Setup";
constexpr wchar_t kNamespacedLockName[] =
    L"Corvane.Setup\\Lock.{6B1F3C2E-9A57-4D8E-B0C4-2F7A91D35E60}";

// Owner Administrators; full access for SYSTEM and Administrators, none for anyone else.
constexpr wchar_t kLockSecurity[] = L"O:BAD:P(A;;GA;;;SY)(A;;GA;;;BA)";

bool OwnedByAdministrators(HANDLE object) {
  PSID owner = nullptr;
  LocalMemory descriptor;
  if (GetSecurityInfo(object, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
                      nullptr, nullptr, descriptor.Out()) != ERROR_SUCCESS) {
    return false;
  }
  return owner != nullptr && (IsWellKnownSid(owner, WinBuiltinAdministratorsSid) ||
                              IsWellKnownSid(owner, WinLocalSystemSid));
}

// Creates or opens the namespace whose boundary is the Administrators group; null where the
// system has no such namespaces or this process is no administrator.
// The namespace functions are looked up at run time: kernel32 has them from Vista on, and
// Wine's are stubs.
HANDLE OpenAdministratorsNamespace(SECURITY_ATTRIBUTES* security) {
  using CreateBoundaryFn = HANDLE(WINAPI*)(LPCWSTR, ULONG);
  using AddSidFn = BOOL(WINAPI*)(HANDLE*, PSID);
  using DeleteBoundaryFn = VOID(WINAPI*)(HANDLE);
  using CreateNamespaceFn = HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, LPVOID, LPCWSTR);
  using OpenNamespaceFn = HANDLE(WINAPI*)(LPVOID, LPCWSTR);
  const auto createBoundary = KernelFunction<CreateBoundaryFn>("CreateBoundaryDescriptorW");
  const auto addSid = KernelFunction<AddSidFn>("AddSIDToBoundaryDescriptor");
  const auto deleteBoundary = KernelFunction<DeleteBoundaryFn>("DeleteBoundaryDescriptor");
  const auto createNamespace = KernelFunction<CreateNamespaceFn>("CreatePrivateNamespaceW");
  const auto openNamespace = KernelFunction<OpenNamespaceFn>("OpenPrivateNamespaceW");
  if (!createBoundary || !addSid || !deleteBoundary || !createNamespace || !openNamespace) {
    return nullptr;
  }
  HANDLE boundary = createBoundary(kNamespaceName, 0);
  if (boundary == nullptr) return nullptr;
  BYTE sid[SECURITY_MAX_SID_SIZE];
  DWORD size = sizeof sid;
  HANDLE space = nullptr;
  if (CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, sid, &size) &&
      addSid(&boundary, sid)) {
    space = createNamespace(security, boundary, kNamespaceName);
    if (space == nullptr && GetLastError() == ERROR_ALREADY_EXISTS) {
      space = openNamespace(boundary, kNamespaceName);
    }
  }
  deleteBoundary(boundary);
  return space;
}

}  // namespace

Win32InstanceLock::~Win32InstanceLock() {
  for (Part* part : {&admins_, &global_}) {
    if (part->owned) ReleaseMutex(part->mutex.Get());
  }
  admins_.mutex = Handle(nullptr);
  using CloseNamespaceFn = BOOLEAN(WINAPI*)(HANDLE, ULONG);
  const auto closeNamespace = KernelFunction<CloseNamespaceFn>("ClosePrivateNamespace");
  if (namespace_ != nullptr && closeNamespace != nullptr) closeNamespace(namespace_, 0);
}

InstanceLock Win32InstanceLock::Take(Part& part, unsigned waitMs) {
  if (part.owned) return InstanceLock::Acquired;
  const DWORD wait = WaitForSingleObject(part.mutex.Get(), waitMs);
  // An abandoned lock is ours: the process that held it ended without releasing it.
  part.owned = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
  return part.owned ? InstanceLock::Acquired : InstanceLock::Busy;
}

InstanceLock Win32InstanceLock::Acquire(unsigned waitMs) {
  // The access list above, as attributes for the create calls.
  const LocalMemory descriptor = SecurityFromSddl(kLockSecurity);
  if (!descriptor.Valid()) return InstanceLock::Unguarded;
  SECURITY_ATTRIBUTES security{sizeof(security), descriptor.Get(), FALSE};
  // The administrators' lock first: nobody else can have made its name.
  if (!admins_.mutex.Valid()) {
    if (namespace_ == nullptr) namespace_ = OpenAdministratorsNamespace(&security);
    if (namespace_ != nullptr) {
      admins_.mutex = Handle(CreateMutexW(&security, FALSE, kNamespacedLockName));
    }
  }
  if (admins_.mutex.Valid() && Take(admins_, waitMs) == InstanceLock::Busy) {
    return InstanceLock::Busy;
  }
  if (!global_.mutex.Valid()) {
    global_.mutex = Handle(CreateMutexW(&security, FALSE, kLockName));
    // Access denied: an object of that name whose list shuts administrators out.
    if (global_.mutex.Valid() && GetLastError() == ERROR_ALREADY_EXISTS &&
        !OwnedByAdministrators(global_.mutex.Get())) {
      global_.mutex = Handle(nullptr);
    }
  }
  // Only administrators can hold a trusted global name: another setup or uninstaller.
  if (global_.mutex.Valid() && Take(global_, waitMs) == InstanceLock::Busy) {
    return InstanceLock::Busy;
  }
  return admins_.owned || global_.owned ? InstanceLock::Acquired : InstanceLock::Unguarded;
}

std::string_view Win32InstanceLock::Held() const {
  if (admins_.owned && global_.owned) return "administrators' namespace and global name";
  if (admins_.owned) return "administrators' namespace";
  if (global_.owned) return "global name";
  return "none";
}

}  // namespace corvane
