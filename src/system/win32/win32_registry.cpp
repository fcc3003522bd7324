#include "system/win32/win32_registry.h"

#include <windows.h>

#include <cwchar>

#include "system/win32/handle.h"
#include "system/win32/wide.h"

namespace corvane {
namespace {

HKEY ToHkey(RegistryApi::Key key) { return reinterpret_cast<HKEY>(key); }
RegistryApi::Key FromHkey(HKEY key) { return reinterpret_cast<RegistryApi::Key>(key); }

static_assert(kRegistryChainFull == ERROR_NOT_ENOUGH_MEMORY);
static_assert(kRegistryNotFound == ERROR_FILE_NOT_FOUND);
static_assert(kRegistryNoKey == ERROR_INVALID_HANDLE);

// The read buffer: a full path and its terminator.
constexpr DWORD kQueryUnits = 261;

}  // namespace

RegistryApi::Key Win32Registry::LocalMachine() { return FromHkey(HKEY_LOCAL_MACHINE); }
RegistryApi::Key Win32Registry::CurrentUser() { return FromHkey(HKEY_CURRENT_USER); }

long Win32Registry::OpenKey(Key parent, const std::string& name, Key& result) {
  HKEY key = nullptr;
  const LONG status = RegOpenKeyW(ToHkey(parent), ToWide(name).c_str(), &key);
  result = status == ERROR_SUCCESS ? FromHkey(key) : kNullKey;
  return status;
}

long Win32Registry::CreateKey(Key parent, const std::string& name, Key& result) {
  HKEY key = nullptr;
  const LONG status =
      RegCreateKeyExW(ToHkey(parent), ToWide(name).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_ALL_ACCESS, nullptr, &key, nullptr);
  result = status == ERROR_SUCCESS ? FromHkey(key) : kNullKey;
  return status;
}

long Win32Registry::SetString(Key key, const std::string& name, const std::string& value) {
  const std::wstring data = ToWide(value);
  // The size counts the terminating zero, so an empty value stores exactly that one unit.
  const DWORD bytes = static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t));
  return RegSetValueExW(ToHkey(key), ToWide(name).c_str(), 0, REG_SZ,
                        reinterpret_cast<const BYTE*>(data.c_str()), bytes);
}

long Win32Registry::SetDword(Key key, const std::string& name, std::uint32_t value) {
  const DWORD data = value;
  return RegSetValueExW(ToHkey(key), ToWide(name).c_str(), 0, REG_DWORD,
                        reinterpret_cast<const BYTE*>(&data), sizeof(data));
}

long Win32Registry::DeleteKey(Key parent, const std::string& name) {
  return RegDeleteKeyW(ToHkey(parent), ToWide(name).c_str());
}

long Win32Registry::QueryString(Key key, const std::string& name, std::string& value) {
  wchar_t buffer[kQueryUnits] = {};
  DWORD bytes = sizeof(buffer);
  const LONG status = RegQueryValueExW(ToHkey(key), ToWide(name).c_str(), nullptr, nullptr,
                                       reinterpret_cast<BYTE*>(buffer), &bytes);
  if (status != ERROR_SUCCESS) return status;
  // Stored data need not end with a terminator: read no further than what was returned.
  const std::size_t units = bytes / sizeof(wchar_t);
  value = FromWide(std::wstring_view(buffer, wcsnlen(buffer, units)));
  return status;
}

void Win32Registry::CloseKey(Key key) { const RegistryKey closed(ToHkey(key)); }

}  // namespace corvane
