// The shipped programs are built without exception support. The standard library's error paths
// (allocation failure, length errors) and the throwing operator new would otherwise pull in the
// whole exception and locale machinery; here they end the process instead, which is all the
// program could do anyway. Allocations that may fail for real use new (std::nothrow).
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <new>

#if defined(__GLIBCXX__)
namespace std {

[[noreturn]] void __throw_bad_alloc() { std::abort(); }
[[noreturn]] void __throw_bad_array_new_length() { std::abort(); }
[[noreturn]] void __throw_length_error(const char*) { std::abort(); }
[[noreturn]] void __throw_logic_error(const char*) { std::abort(); }
[[noreturn]] void __throw_out_of_range(const char*) { std::abort(); }
[[noreturn]] void __throw_out_of_range_fmt(const char*, ...) { std::abort(); }
[[noreturn]] void __throw_invalid_argument(const char*) { std::abort(); }
[[noreturn]] void __throw_bad_function_call() { std::abort(); }

}  // namespace std
#endif

void* operator new(std::size_t size) {
  void* p = std::malloc(size ? size : 1);
  if (!p) std::abort();
  return p;
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return std::malloc(size ? size : 1);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return std::malloc(size ? size : 1);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

#if defined(__MINGW32__)
// The shell-link GUIDs, defined here so that the exe does not link libuuid, whose objects
// bring tens of kilobytes of other GUIDs along.
extern "C" const GUID CLSID_ShellLink = {0x00021401, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
extern "C" const GUID IID_IShellLinkW = {0x000214F9, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
extern "C" const GUID IID_IPersistFile = {0x0000010B, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
#endif

// Stack canaries (-fstack-protector-strong). libssp's own guard setup would call
// CryptAcquireContext before wWinMain, and with it load the crypto provider and its imports
// before the DLL search is restricted, looking beside the setup first. The guard is seeded here
// from kernel32 alone instead, as the Visual C++ runtime seeds its cookie: time, counters, ids
// and the randomised stack address.
extern "C" {
std::uintptr_t __stack_chk_guard = static_cast<std::uintptr_t>(0x2B992DDFA232ULL);

[[noreturn]] void __stack_chk_fail() {
  // STATUS_STACK_BUFFER_OVERRUN; no handler of the process runs.
  TerminateProcess(GetCurrentProcess(), 0xC0000409u);
  __builtin_trap();
}
}

namespace {

__attribute__((constructor(101), no_stack_protector)) void SeedStackGuard() {
  FILETIME time{};
  GetSystemTimeAsFileTime(&time);
  LARGE_INTEGER counter{};
  QueryPerformanceCounter(&counter);
  std::uint64_t seed = (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) ^ time.dwLowDateTime;
  seed ^= static_cast<std::uint64_t>(counter.QuadPart) << 17;
  seed ^= static_cast<std::uint64_t>(GetCurrentProcessId()) << 40;
  seed ^= static_cast<std::uint64_t>(GetCurrentThreadId()) << 8;
  seed ^= static_cast<std::uint64_t>(GetTickCount()) << 24;
  seed ^= reinterpret_cast<std::uintptr_t>(&seed);
  seed ^= seed >> 29;
  const auto guard = static_cast<std::uintptr_t>(seed ^ (seed >> 32));
  if (guard != 0) __stack_chk_guard = guard;
}

}  // namespace

#if defined(__MINGW32__)
// The program's entry, in place of the MinGW start-up objects. Those bring a few kilobytes the
// programs do not use: argument and environment parsing, thread-local storage callbacks, the
// relocator for data imported from DLLs (the programs import none), an unhandled-exception
// filter and their frame tables. The C runtime DLL sets its heap up when
// it is loaded, before this runs. Here: the constructors (the stack guard's first, by its
// priority), then wWinMain, and the process ends with its result. Nothing is left for exit-time
// destructors to do that the system does not do when the process ends.
extern "C" {
extern void (*__CTOR_LIST__[])();

// Exit-time destructors are registered here; the process ends by ExitProcess and runs none.
int atexit(void (*)()) { return 0; }

[[noreturn]] __attribute__((no_stack_protector)) void CorvaneStart() {
  // The linker's list: -1, the constructors, 0; they run from the last one back.
  std::size_t count = 0;
  while (__CTOR_LIST__[count + 1] != nullptr) ++count;
  for (std::size_t i = count; i > 0; --i) __CTOR_LIST__[i]();
  // The programs read their command line themselves; the first window takes the show state
  // the starter asked for from the system, as always.
  ExitProcess(static_cast<UINT>(
      wWinMain(GetModuleHandleW(nullptr), nullptr, GetCommandLineW(), SW_SHOWDEFAULT)));
}
}
#endif
