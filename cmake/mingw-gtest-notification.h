// googletest's own Notification is built on std::mutex, which the win32-threads MinGW runtime
// does not have. This stand-in (selected with GTEST_HAS_NOTIFICATION_) only gates the start of
// threads that googletest creates itself; our test programs run on one thread.
#pragma once
#ifdef __cplusplus
#include <atomic>
namespace testing::internal {
class Notification {
 public:
  Notification() = default;
  Notification(const Notification&) = delete;
  Notification& operator=(const Notification&) = delete;
  void Notify() { notified_.store(true); }
  void WaitForNotification() {
    while (!notified_.load()) {
    }
  }

 private:
  std::atomic<bool> notified_{false};
};
}  // namespace testing::internal
#endif
