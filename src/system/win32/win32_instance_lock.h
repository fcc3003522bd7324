// The machine-wide setup lock, in two parts.
//
// A mutex in a private namespace whose boundary holds the Administrators group: only a process
// with that group enabled in its token can create or open the namespace, so no ordinary user
// can take the name first, and two elevated runs never overlap. Wine lacks private namespaces
// (AddSIDToBoundaryDescriptor is a stub there), and so may an old system: then this part is
// missing.
//
// Beside it, as before, a mutex in the global namespace that only administrators and the system
// can open (Windows Installer's own "_MSIExecute" works the same way). An ordinary user cannot
// take it over but could create an object of that name first, to keep every setup waiting: an
// existing object is trusted only when it is owned by Administrators or SYSTEM; any other owner
// means a squatter, and that name is not waited for.
#pragma once

#include <windows.h>

#include "system/instance_lock.h"
#include "system/win32/handle.h"

namespace corvane {

class Win32InstanceLock final : public InstanceLockSource {
 public:
  Win32InstanceLock() = default;
  ~Win32InstanceLock() override;
  Win32InstanceLock(const Win32InstanceLock&) = delete;
  Win32InstanceLock& operator=(const Win32InstanceLock&) = delete;

  InstanceLock Acquire(unsigned waitMs) override;
  std::string_view Held() const override;

 private:
  // A mutex of ours, with whether this process holds it.
  struct Part {
    Handle mutex{nullptr};
    bool owned = false;
  };
  InstanceLock Take(Part& part, unsigned waitMs);

  HANDLE namespace_ = nullptr;  // the private namespace, closed with ClosePrivateNamespace
  Part admins_;
  Part global_;
};

}  // namespace corvane
