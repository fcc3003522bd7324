#include "system/win32/win32_instance_lock.h"

#include <aclapi.h>
#include <sddl.h>

namespace corvane {
namespace {

constexpr wchar_t kLockName[] = L"Global\\Corvane.Setup.{6B1F3C2E-9A57-4D8E-B0C4-2F7A91D35E60}";

// Owner Administrators; full access for SYSTEM and Administrators, none for anyone else.
constexpr wchar_t kLockSecurity[] = L"O:BAD:P(A;;GA;;;SY)(A;;GA;;;BA)";

bool OwnedByAdministrators(HANDLE object) {
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetSecurityInfo(object, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
                      nullptr, nullptr, &descriptor) != ERROR_SUCCESS) {
    return false;
  }
  const bool trusted = owner != nullptr && (IsWellKnownSid(owner, WinBuiltinAdministratorsSid) ||
                                            IsWellKnownSid(owner, WinLocalSystemSid));
  LocalFree(descriptor);
  return trusted;
}

}  // namespace

Win32InstanceLock::~Win32InstanceLock() {
  if (owned_) ReleaseMutex(mutex_);
  if (mutex_ != nullptr) CloseHandle(mutex_);
}

InstanceLock Win32InstanceLock::Acquire(unsigned waitMs) {
  if (owned_) return InstanceLock::Acquired;
  if (mutex_ == nullptr) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kLockSecurity, SDDL_REVISION_1,
                                                              &descriptor, nullptr)) {
      return InstanceLock::Unguarded;
    }
    SECURITY_ATTRIBUTES attributes{sizeof(attributes), descriptor, FALSE};
    mutex_ = CreateMutexW(&attributes, FALSE, kLockName);
    const DWORD error = GetLastError();
    LocalFree(descriptor);
    // Access denied: an object of that name whose list shuts administrators out.
    if (mutex_ == nullptr) return InstanceLock::Unguarded;
    if (error == ERROR_ALREADY_EXISTS && !OwnedByAdministrators(mutex_)) {
      CloseHandle(mutex_);
      mutex_ = nullptr;
      return InstanceLock::Unguarded;
    }
  }
  const DWORD wait = WaitForSingleObject(mutex_, waitMs);
  // An abandoned lock is ours: the process that held it ended without releasing it.
  owned_ = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
  return owned_ ? InstanceLock::Acquired : InstanceLock::Busy;
}

}  // namespace corvane
