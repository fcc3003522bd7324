#include "system/win32/win32_shell.h"

#include <windows.h>

#include <shellapi.h>
#include <shlobj.h>

#include <cwchar>
#include <vector>

#include "system/win32/system_library.h"
#include "system/win32/wide.h"

namespace corvane {
namespace {

// Holds one COM interface pointer and releases it.
template <typename T>
class ComRef {
 public:
  ComRef() = default;
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;
  ~ComRef() {
    if (ptr_ != nullptr) ptr_->Release();
  }
  void** Out() { return reinterpret_cast<void**>(&ptr_); }
  T* operator->() const { return ptr_; }

 private:
  T* ptr_ = nullptr;
};

}  // namespace

long Win32Shell::CreateShortcut(const std::string& target, const std::string& linkPath,
                                const std::string& description, const std::string& arguments) {
  ComRef<IShellLinkW> link;
  HRESULT status =
      CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.Out());
  if (FAILED(status)) return status;
  if (!arguments.empty()) link->SetArguments(ToWide(arguments).c_str());
  link->SetPath(ToWide(target).c_str());
  link->SetDescription(ToWide(description).c_str());
  ComRef<IPersistFile> file;
  status = link->QueryInterface(IID_IPersistFile, file.Out());
  if (SUCCEEDED(status)) status = file->Save(ToWide(linkPath).c_str(), TRUE);
  return status;
}

std::intptr_t Win32Shell::ShellOpen(const std::string& path, WindowRef owner) {
  return reinterpret_cast<std::intptr_t>(ShellExecuteW(
      reinterpret_cast<HWND>(owner), L"open", ToWide(path).c_str(), nullptr, nullptr, SW_RESTORE));
}

std::intptr_t Win32Shell::Launch(const std::string& path) {
  return reinterpret_cast<std::intptr_t>(
      ShellExecuteW(nullptr, L"open", ToWide(path).c_str(), nullptr, nullptr, SW_SHOWNORMAL));
}

std::string Win32Shell::RawVersionString(const std::string& name) {
  // Long enough for any path the system can start a program from.
  std::vector<wchar_t> module(32768);
  const DWORD length =
      GetModuleFileNameW(nullptr, module.data(), static_cast<DWORD>(module.size()));
  if (length == 0 || length >= module.size()) return {};

  // version.dll is not one of the system's KnownDLLs: load it from System32 only.
  SystemLibrary library(L"version.dll");
  using SizeFn = DWORD(WINAPI*)(LPCWSTR, LPDWORD);
  using InfoFn = BOOL(WINAPI*)(LPCWSTR, DWORD, DWORD, LPVOID);
  using QueryFn = BOOL(WINAPI*)(LPCVOID, LPCWSTR, LPVOID*, PUINT);
  const auto getSize = library.Get<SizeFn>("GetFileVersionInfoSizeW");
  const auto getInfo = library.Get<InfoFn>("GetFileVersionInfoW");
  const auto query = library.Get<QueryFn>("VerQueryValueW");
  if (getSize == nullptr || getInfo == nullptr || query == nullptr) return {};

  DWORD ignored = 0;
  const DWORD size = getSize(module.data(), &ignored);
  if (size == 0) return {};
  std::vector<unsigned char> record(size);
  if (!getInfo(module.data(), 0, size, record.data())) return {};

  const std::wstring subBlock = L"\\StringFileInfo\\040904B0\\" + ToWide(name);
  void* found = nullptr;
  UINT units = 0;
  if (!query(record.data(), subBlock.c_str(), &found, &units) || found == nullptr || units == 0) {
    return {};
  }
  // The string must lie inside the record; its length may or may not count the terminator.
  const auto* text = static_cast<const wchar_t*>(found);
  const auto* begin = reinterpret_cast<const unsigned char*>(text);
  if (begin < record.data() ||
      begin + std::size_t{units} * sizeof(wchar_t) > record.data() + size) {
    return {};
  }
  return FromWide(std::wstring_view(text, wcsnlen(text, units)));
}

}  // namespace corvane
