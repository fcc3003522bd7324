// The product's registry entries under HKEY_LOCAL_MACHINE: App Paths and the uninstall entry.
#pragma once

#include <array>
#include <cstddef>
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
  // Plain open of one subkey; returns the registry error code, `result` the null key on failure.
  virtual long OpenKey(Key parent, const std::string& name, Key& result) = 0;
  // Create or open with KEY_ALL_ACCESS, non-volatile; returns the registry error code.
  virtual long CreateKey(Key parent, const std::string& name, Key& result) = 0;
  // REG_SZ with the terminating zero stored; returns the registry error code.
  virtual long SetString(Key key, const std::string& name, const std::string& value) = 0;
  // REG_DWORD; returns the registry error code.
  virtual long SetDword(Key key, const std::string& name, std::uint32_t value) = 0;
  // Deletes a subkey that has no subkeys of its own; returns the registry error code.
  virtual long DeleteKey(Key parent, const std::string& name) = 0;
  // Reads a value into a buffer of 261 UTF-16 units; returns the registry error code
  // (a value that does not fit fails). The type is not examined.
  virtual long QueryString(Key key, const std::string& name, std::string& value) = 0;
  virtual void CloseKey(Key key) = 0;
};

// Status of a key chain that has no room for another key (ERROR_NOT_ENOUGH_MEMORY).
inline constexpr long kRegistryChainFull = 8;
// The registry's status for a key or value that is not there (ERROR_FILE_NOT_FOUND).
inline constexpr long kRegistryNotFound = 2;
// Status of a call that reported success without giving back a key (ERROR_INVALID_HANDLE).
inline constexpr long kRegistryNoKey = 6;

// The keys one operation holds, one level per entry, closed innermost first when it ends.
class KeyChain {
 public:
  static constexpr std::size_t kMaxDepth = 7;

  explicit KeyChain(RegistryApi& reg, std::size_t depth = kMaxDepth);
  KeyChain(const KeyChain&) = delete;
  KeyChain& operator=(const KeyChain&) = delete;
  ~KeyChain();

  // Opens one more level under the innermost key (or HKEY_LOCAL_MACHINE). Returns the
  // registry's status of the open, or kRegistryChainFull when the chain has no room.
  long Open(const std::string& name);
  // Creates or opens `name` under the innermost key; the same status rule as Open.
  long Create(const std::string& name);
  // The innermost key; only valid after an Open or Create that returned 0.
  RegistryApi::Key Innermost() const { return keys_[count_ - 1]; }
  std::size_t Depth() const { return count_; }

 private:
  RegistryApi::Key Parent() const;

  RegistryApi& reg_;
  std::array<RegistryApi::Key, kMaxDepth> keys_{};
  std::size_t depth_;
  std::size_t count_ = 0;
};

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

// What deployment tools read besides the three values above.
struct UninstallDetails {
  std::string displayVersion;   // "6.1.0.0"
  std::string publisher;        // the maker
  std::string installLocation;  // the install folder without its trailing backslash
  std::uint32_t estimatedSizeKb = 0;
  std::string quietUninstallString;  // the UninstallString followed by " /S"
  std::string urlUpdateInfo;
};
// Adds the details to the entry `displayName` (created when missing), with NoModify and
// NoRepair 1. The first failing write ends it; returns 0 or that write's status.
long WriteUninstallDetails(RegistryApi& reg, const std::string& displayName,
                           const UninstallDetails& details);
// Deletes HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\<parent>\<subkey> (parent "App Paths" or
// "Uninstall"). 0 when deleted or already gone, else the registry error code.
long DeleteProductKey(RegistryApi& reg, const std::string& parent, const std::string& subkey);

}  // namespace corvane
