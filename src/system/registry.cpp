#include "system/registry.h"

#include <array>

namespace corvane {
namespace {

// Closes the keys it holds, innermost first, whatever path the operation leaves by.
class KeyChain {
 public:
  explicit KeyChain(RegistryApi& reg) : reg_(reg) {}
  KeyChain(const KeyChain&) = delete;
  KeyChain& operator=(const KeyChain&) = delete;
  ~KeyChain() {
    while (count_ > 0) reg_.CloseKey(keys_[--count_]);
  }

  // Opens one more level under the innermost key (or HKEY_LOCAL_MACHINE); false on failure.
  bool Open(const std::string& name) {
    if (count_ == keys_.size()) return false;
    const RegistryApi::Key parent = count_ == 0 ? reg_.LocalMachine() : keys_[count_ - 1];
    const RegistryApi::Key key = reg_.OpenKey(parent, name);
    if (key == RegistryApi::kNullKey) return false;
    keys_[count_++] = key;
    return true;
  }

  // Takes a key that the caller opened or created, to be closed first.
  void Adopt(RegistryApi::Key key) {
    if (count_ == keys_.size()) {
      reg_.CloseKey(key);
      return;
    }
    keys_[count_++] = key;
  }

  RegistryApi::Key Innermost() const { return keys_[count_ - 1]; }

 private:
  RegistryApi& reg_;
  std::array<RegistryApi::Key, 7> keys_{};
  std::size_t count_ = 0;
};

// SOFTWARE\Microsoft\Windows\CurrentVersion\<last>, opened one level per call as older
// systems require.
bool OpenCurrentVersionChild(KeyChain& chain, const char* last) {
  return chain.Open("SOFTWARE") && chain.Open("Microsoft") && chain.Open("Windows") &&
         chain.Open("CurrentVersion") && chain.Open(last);
}

long CreateSubkey(RegistryApi& reg, KeyChain& chain, const std::string& subkey) {
  RegistryApi::Key key = RegistryApi::kNullKey;
  const long status = reg.CreateKey(chain.Innermost(), subkey, key);
  if (status == 0) chain.Adopt(key);
  return status;
}

}  // namespace

std::string QuoteCommandPath(const std::string& path) {
  if (path.find(' ') == std::string::npos) return path;
  if (path.size() >= 2 && path.front() == '"' && path.back() == '"') return path;
  return "\"" + path + "\"";
}

long WriteAppPath(RegistryApi& reg, const std::string& subkey, const std::string& valueName,
                  const std::string& data) {
  KeyChain chain(reg);
  if (!OpenCurrentVersionChild(chain, "App Paths")) return kRegistryKeyNotOpened;
  if (const long status = CreateSubkey(reg, chain, subkey); status != 0) return status;
  return reg.SetString(chain.Innermost(), valueName, data);
}

std::string ReadAppPath(RegistryApi& reg, const std::string& subkey, const std::string& valueName) {
  KeyChain chain(reg);
  if (!OpenCurrentVersionChild(chain, "App Paths") || !chain.Open(subkey)) return {};
  std::string value;
  if (reg.QueryString(chain.Innermost(), valueName, value) != 0) return {};
  return value;
}

long WriteUninstallEntry(RegistryApi& reg, const std::string& displayName,
                         const std::string& uninstallerPath) {
  KeyChain chain(reg);
  if (!OpenCurrentVersionChild(chain, "Uninstall")) return kRegistryKeyNotOpened;
  if (const long status = CreateSubkey(reg, chain, displayName); status != 0) return status;
  const RegistryApi::Key key = chain.Innermost();
  long status = reg.SetString(key, "DisplayName", displayName);
  if (status == 0) status = reg.SetString(key, "DisplayIcon", uninstallerPath);
  // The system runs this command line; unquoted, "C:\Program Files\x\Uninstall.exe" would be
  // tried as C:\Program.exe first.
  if (status == 0)
    status = reg.SetString(key, "UninstallString", QuoteCommandPath(uninstallerPath));
  return status;
}

}  // namespace corvane
