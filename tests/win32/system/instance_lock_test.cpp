// The machine-wide setup lock against the system's own mutexes: a name squatted by a mutex
// that no administrator owns, held on another thread, and a lock whose holder ended.
#include "system/win32/win32_instance_lock.h"

#include <windows.h>

#include <sddl.h>

#include <gtest/gtest.h>

#include <string>

#include "system/win32/handle.h"

namespace corvane {
namespace {

// The global name as the lock makes it.
const wchar_t kGlobalName[] = L"Global\\Corvane.Setup.{6B1F3C2E-9A57-4D8E-B0C4-2F7A91D35E60}";

// This process's user as an SDDL string ("S-1-5-21-...").
std::wstring UserSid() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
  const Handle owned(token);
  BYTE buffer[256];
  DWORD size = 0;
  if (!GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size)) return {};
  wchar_t* text = nullptr;
  if (!ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &text)) return {};
  std::wstring sid(text);
  LocalFree(text);
  return sid;
}

// Runs `body` on a thread of its own, which then waits for `release` before it ends.
struct Holder {
  Handle ready{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  Handle release{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  Handle thread;
  void (*body)(Holder&) = nullptr;
  Handle mutex;

  static DWORD WINAPI Run(LPVOID self) {
    auto& holder = *static_cast<Holder*>(self);
    holder.body(holder);
    SetEvent(holder.ready.Get());
    WaitForSingleObject(holder.release.Get(), INFINITE);
    return 0;
  }
  void Start(void (*run)(Holder&)) {
    body = run;
    thread = Handle(CreateThread(nullptr, 0, Run, this, 0, nullptr));
    WaitForSingleObject(ready.Get(), 10000);
  }
  void End() {
    SetEvent(release.Get());
    WaitForSingleObject(thread.Get(), 10000);
  }
};

TEST(Win32InstanceLockTest, ASquattedNameNeitherBlocksNorCountsAsHeld) {
  const std::wstring user = UserSid();
  ASSERT_FALSE(user.empty());
  Holder squatter;
  squatter.Start([](Holder& self) {
    // Owned by the user, open to everyone, and held: what an ordinary user could make first.
    const std::wstring sddl = L"O:" + UserSid() + L"D:(A;;GA;;;WD)";
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor,
                                                         nullptr);
    SECURITY_ATTRIBUTES attributes{sizeof(attributes), descriptor, FALSE};
    self.mutex = Handle(CreateMutexW(&attributes, TRUE, kGlobalName));
    LocalFree(descriptor);
  });
  ASSERT_TRUE(squatter.mutex.Valid());
  Win32InstanceLock lock;
  const InstanceLock result = lock.Acquire(0);
  EXPECT_NE(result, InstanceLock::Busy);
  EXPECT_EQ(std::string(lock.Held()).find("global"), std::string::npos) << lock.Held();
  // Windows: the administrators' namespace holds; Wine has none.
  if (result == InstanceLock::Acquired) {
    EXPECT_EQ(lock.Held(), "administrators' namespace");
  }
  squatter.End();
}

TEST(Win32InstanceLockTest, AHeldLockIsBusyAndAnAbandonedOneIsTaken) {
  Holder first;
  first.Start([](Holder&) {
    // Never released: the lock is abandoned when this thread ends.
    static Win32InstanceLock* leaked = new Win32InstanceLock;
    EXPECT_EQ(leaked->Acquire(0), InstanceLock::Acquired);
  });
  {
    Win32InstanceLock second;
    EXPECT_EQ(second.Acquire(0), InstanceLock::Busy);
    EXPECT_EQ(second.Held(), "none");
  }
  first.End();
  Win32InstanceLock third;
  EXPECT_EQ(third.Acquire(0), InstanceLock::Acquired);
  EXPECT_NE(third.Held(), "none");
}

}  // namespace
}  // namespace corvane
