// The product's registry entries under HKEY_LOCAL_MACHINE: App Paths and the uninstall entry.
#pragma once

#include <cstdint>
#include <string>

namespace corvane {

// Thin registry access, one system call per operation (wide API on Windows).
class RegistryApi {
 public:
  using Key = std::uintptr_t;  // 0 is the null key
  static constexpr Key kNullKey = 0;

  virtual ~RegistryApi() = default;
  virtual Key LocalMachine() = 0;
  virtual Key CurrentUser() = 0;
  // Plain open of one subkey; the null key on failure.
  virtual Key OpenKey(Key parent, const std::string& name) = 0;
  // Create or open with KEY_ALL_ACCESS, non-volatile; returns the registry error code.
  virtual long CreateKey(Key parent, const std::string& name, Key& result) = 0;
  // REG_SZ with the terminating zero stored; returns the registry error code.
  virtual long SetString(Key key, const std::string& name, const std::string& value) = 0;
  // Reads a value into a buffer of 261 UTF-16 units; returns the registry error code
  // (a value that does not fit fails). The type is not examined.
  virtual long QueryString(Key key, const std::string& name, std::string& value) = 0;
  virtual void CloseKey(Key key) = 0;
};

// Status of an operation whose parent key could not be opened (ERROR_FILE_NOT_FOUND): the
// plain open reports failure only through the null key.
inline constexpr long kRegistryKeyNotOpened = 2;

// The path in double quotes when it holds a space (and is not quoted yet), else unchanged: an
// unquoted command path with spaces is resolved by the system piece by piece.
std::string QuoteCommandPath(const std::string& path);

// Returns 0 when written, else the registry error code of the step where it stopped.
long WriteAppPath(RegistryApi& reg, const std::string& subkey, const std::string& valueName,
                  const std::string& data);
// The value's text, or empty when the key or value is missing or unreadable.
std::string ReadAppPath(RegistryApi& reg, const std::string& subkey, const std::string& valueName);
// Writes DisplayName, DisplayIcon (the bare path) and UninstallString (QuoteCommandPath); the
// first failing write ends the entry.
long WriteUninstallEntry(RegistryApi& reg, const std::string& displayName,
                         const std::string& uninstallerPath);

}  // namespace corvane
