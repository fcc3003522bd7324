// One setup or uninstaller of the product at a time on the whole machine.
#pragma once

#include <string_view>

namespace corvane {

// The result of taking the machine-wide lock that the setup and the uninstaller share.
enum class InstanceLock {
  Acquired,   // this process holds it until it ends
  Busy,       // another setup or uninstaller holds it
  Unguarded,  // the name is taken by an object that no administrator made: not a lock of ours
};

class InstanceLockSource {
 public:
  virtual ~InstanceLockSource() = default;
  // Waits up to `waitMs` milliseconds for the lock.
  virtual InstanceLock Acquire(unsigned waitMs) = 0;
  // Which of the lock's names this process holds, for the log.
  virtual std::string_view Held() const = 0;
};

}  // namespace corvane
