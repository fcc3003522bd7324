// The machine-wide setup lock: a mutex in the global namespace that only administrators and
// the system can open. Windows Installer's own "_MSIExecute" works the same way.
//
// An ordinary user cannot take it over (the access list names no one else) but could create
// an object of that name first, to keep every setup waiting. A private namespace with an
// Administrators boundary would rule that out, but Wine lacks it (AddSIDToBoundaryDescriptor
// is a stub there), so an existing object is trusted only when it is owned by Administrators
// or SYSTEM; any other owner means a squatter, and the setup goes on unguarded instead of
// being blocked.
#pragma once

#include <windows.h>

#include "system/instance_lock.h"

namespace corvane {

class Win32InstanceLock final : public InstanceLockSource {
 public:
  Win32InstanceLock() = default;
  ~Win32InstanceLock() override;
  Win32InstanceLock(const Win32InstanceLock&) = delete;
  Win32InstanceLock& operator=(const Win32InstanceLock&) = delete;

  InstanceLock Acquire(unsigned waitMs) override;

 private:
  HANDLE mutex_ = nullptr;
  bool owned_ = false;
};

}  // namespace corvane
