// Loading system DLLs from the System32 folder only.
//
// A setup program runs elevated from a Downloads folder full of other people's files. Any DLL
// that is not one of the system's KnownDLLs would be searched for in the program's own folder
// first, so a planted lz32.dll or version.dll there would run with administrator rights. Such
// DLLs are therefore never imported statically: they are loaded here by their full System32 path
// and their functions looked up by name.
#pragma once

#include <windows.h>

namespace corvane {

// Restricts the process's DLL search to System32 (SetDefaultDllDirectories, looked up at run
// time so the program still starts where it is missing) and takes the current folder out of the
// search. Call first thing in the entry point.
void HardenDllSearch();

// Turns on the system's RedirectionGuard for this process: it then refuses to follow junctions
// and symbolic links that a non-administrator made. Windows 10 22H2 and 11 have it; it is
// looked up at run time, and true only when the system reports it on afterwards. Call first
// thing in the entry point.
bool EnableRedirectionGuard();

// A kernel32 export cast to the function pointer type F, or null where this system lacks it:
// for functions newer than the oldest system the program starts on.
template <typename F>
F KernelFunction(const char* procName) {
  const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  if (kernel == nullptr) return nullptr;
  return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(kernel, procName)));
}

class SystemLibrary {
 public:
  // name: a file name such as L"lz32.dll"; loaded from the System32 folder only.
  explicit SystemLibrary(const wchar_t* name);
  ~SystemLibrary();
  SystemLibrary(const SystemLibrary&) = delete;
  SystemLibrary& operator=(const SystemLibrary&) = delete;

  bool Loaded() const { return module_ != nullptr; }
  // The named export cast to the function pointer type F, or null.
  template <typename F>
  F Get(const char* procName) const {
    if (module_ == nullptr) return nullptr;
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module_, procName)));
  }

 private:
  HMODULE module_ = nullptr;
};

}  // namespace corvane
