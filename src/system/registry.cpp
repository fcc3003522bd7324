#include "system/registry.h"

#include <utility>

namespace corvane {
namespace {

// SOFTWARE\Microsoft\Windows\CurrentVersion\<last>, opened one level per call as older
// systems require. Returns the status of the first level that failed, or 0.
long OpenCurrentVersionChild(KeyChain& chain, const char* last) {
  for (const char* name : {"SOFTWARE", "Microsoft", "Windows", "CurrentVersion", last}) {
    if (const long status = chain.Open(name); status != 0) return status;
  }
  return 0;
}

// Each level is judged by the key it gives back: a call that reports success without a key
// still ends the operation.
long Judged(long status, RegistryApi::Key key) {
  if (key != RegistryApi::kNullKey) return 0;
  return status != 0 ? status : kRegistryNoKey;
}

}  // namespace

KeyChain::KeyChain(RegistryApi& reg, std::size_t depth)
    : reg_(reg), depth_(depth < kMaxDepth ? depth : kMaxDepth) {}

KeyChain::~KeyChain() {
  while (count_ > 0) reg_.CloseKey(keys_[--count_]);
}

RegistryApi::Key KeyChain::Parent() const {
  return count_ == 0 ? reg_.LocalMachine() : keys_[count_ - 1];
}

long KeyChain::Open(const std::string& name) {
  if (count_ == depth_) return kRegistryChainFull;
  RegistryApi::Key key = RegistryApi::kNullKey;
  const long opened = reg_.OpenKey(Parent(), name, key);
  const long status = Judged(opened, key);
  if (status == 0) keys_[count_++] = key;
  return status;
}

long KeyChain::Create(const std::string& name) {
  if (count_ == depth_) return kRegistryChainFull;
  RegistryApi::Key key = RegistryApi::kNullKey;
  long status = reg_.CreateKey(Parent(), name, key);
  if (status != 0) {
    if (key != RegistryApi::kNullKey) reg_.CloseKey(key);
    return status;
  }
  status = Judged(status, key);
  if (status == 0) keys_[count_++] = key;
  return status;
}

std::string QuoteCommandPath(const std::string& path) {
  if (path.find(' ') == std::string::npos) return path;
  if (path.size() >= 2 && path.front() == '"' && path.back() == '"') return path;
  return "\"" + path + "\"";
}

long WriteAppPath(RegistryApi& reg, const std::string& subkey, const std::string& valueName,
                  const std::string& data) {
  KeyChain chain(reg);
  if (const long status = OpenCurrentVersionChild(chain, "App Paths"); status != 0) return status;
  if (const long status = chain.Create(subkey); status != 0) return status;
  return reg.SetString(chain.Innermost(), valueName, data);
}

std::string ReadAppPath(RegistryApi& reg, const std::string& subkey, const std::string& valueName) {
  KeyChain chain(reg);
  if (OpenCurrentVersionChild(chain, "App Paths") != 0 || chain.Open(subkey) != 0) return {};
  std::string value;
  if (reg.QueryString(chain.Innermost(), valueName, value) != 0) return {};
  return value;
}

long WriteUninstallEntry(RegistryApi& reg, const std::string& displayName,
                         const std::string& uninstallerPath) {
  KeyChain chain(reg);
  if (const long status = OpenCurrentVersionChild(chain, "Uninstall"); status != 0) return status;
  if (const long status = chain.Create(displayName); status != 0) return status;
  const RegistryApi::Key key = chain.Innermost();
  long status = reg.SetString(key, "DisplayName", displayName);
  if (status == 0) status = reg.SetString(key, "DisplayIcon", uninstallerPath);
  // The system runs this command line; unquoted, "C:\Program Files\x\Uninstall.exe" would be
  // tried as C:\Program.exe first.
  if (status == 0)
    status = reg.SetString(key, "UninstallString", QuoteCommandPath(uninstallerPath));
  return status;
}

long WriteUninstallDetails(RegistryApi& reg, const std::string& displayName,
                           const UninstallDetails& details) {
  KeyChain chain(reg);
  if (const long status = OpenCurrentVersionChild(chain, "Uninstall"); status != 0) return status;
  if (const long status = chain.Create(displayName); status != 0) return status;
  const RegistryApi::Key key = chain.Innermost();
  const std::pair<const char*, const std::string*> strings[] = {
      {"DisplayVersion", &details.displayVersion},
      {"Publisher", &details.publisher},
      {"InstallLocation", &details.installLocation},
      {"QuietUninstallString", &details.quietUninstallString},
      {"URLUpdateInfo", &details.urlUpdateInfo},
  };
  for (const auto& [name, value] : strings) {
    if (const long status = reg.SetString(key, name, *value); status != 0) return status;
  }
  long status = reg.SetDword(key, "EstimatedSize", details.estimatedSizeKb);
  if (status == 0) status = reg.SetDword(key, "NoModify", 1);
  if (status == 0) status = reg.SetDword(key, "NoRepair", 1);
  return status;
}

long DeleteProductKey(RegistryApi& reg, const std::string& parent, const std::string& subkey) {
  KeyChain chain(reg);
  const long opened = OpenCurrentVersionChild(chain, parent.c_str());
  if (opened != 0) return opened == kRegistryNotFound ? 0 : opened;
  const long status = reg.DeleteKey(chain.Innermost(), subkey);
  return status == kRegistryNotFound ? 0 : status;
}

}  // namespace corvane
