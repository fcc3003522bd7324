#include "system/known_folders.h"

#include <vector>

#include "system/product.h"

namespace corvane {
namespace {

// The shell records LocalAppDataLow only under its known-folder id; there is no CSIDL for it.
constexpr const char* kShellFoldersKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr const char* kLocalAppDataLowName = "{A520A1A4-1780-4FF6-BD18-167343C5AF16}";

std::string ShellFolderValue(RegistryApi& registry, const std::string& name) {
  RegistryApi::Key key = RegistryApi::kNullKey;
  registry.OpenKey(registry.CurrentUser(), kShellFoldersKey, key);
  if (key == RegistryApi::kNullKey) return {};
  std::string value;
  if (registry.QueryString(key, name, value) != 0) value.clear();
  registry.CloseKey(key);
  return value;
}

bool HasWildcard(const std::string& s) { return s.find_first_of("*?") != std::string::npos; }

}  // namespace

std::string ExpandLongPath(KnownFolderSource& source, const std::string& path) {
  // Every backslash after the first character ends a prefix that the lookup expands; a path
  // without one (or whose only backslash leads) is returned unchanged. Done left to right
  // rather than recursively so that a path of many backslashes cannot exhaust the stack.
  std::vector<std::size_t> cuts;
  for (std::size_t i = 1; i < path.size(); ++i) {
    if (path[i] == '\\') cuts.push_back(i);
  }
  if (cuts.empty()) return path;

  std::string result = path.substr(0, cuts.front());
  for (std::size_t k = 0; k < cuts.size(); ++k) {
    const std::size_t begin = cuts[k] + 1;
    const std::size_t end = k + 1 < cuts.size() ? cuts[k + 1] : path.size();
    result += '\\';
    if (begin == end) continue;  // an empty component (trailing or doubled backslash)
    const std::string component = path.substr(begin, end - begin);
    // A wildcard would make the lookup find some other entry; such a component stays as given.
    std::string found =
        HasWildcard(component) ? std::string() : source.FindName(path.substr(0, end));
    result += found.empty() ? component : found;
  }
  return result;
}

KnownFolders SetUpKnownFolders(KnownFolderSource& source, RegistryApi& registry,
                               const std::string& productFolderName, bool useLowDataFolder) {
  const std::string productSubPath =
      "\\" + std::string(kMakerFolderName) + "\\" + productFolderName + "\\";
  auto withProduct = [&](int csidl) { return source.SpecialFolder(csidl) + productSubPath; };
  auto folder = [&](int csidl) { return source.SpecialFolder(csidl) + "\\"; };

  KnownFolders f;
  f.userData = withProduct(kCsidlAppData);
  f.commonData = withProduct(kCsidlCommonAppData);
  f.desktop = folder(kCsidlDesktop);
  f.defaultInstall = withProduct(kCsidlProgramFiles);
  f.programs = folder(kCsidlPrograms);
  f.commonPrograms = folder(kCsidlCommonPrograms);
  f.commonDesktop = folder(kCsidlCommonDesktopDirectory);
  f.pictures = folder(kCsidlMyPictures);
  f.documents = folder(kCsidlPersonal);
  f.commonDocuments = folder(kCsidlCommonDocuments);
  f.commonStartup = folder(kCsidlCommonStartup);
  f.startup = folder(kCsidlStartup);
  f.cdBurn = folder(kCsidlCdBurnArea);
  f.localData = withProduct(kCsidlLocalAppData);

  const std::string low = ShellFolderValue(registry, kLocalAppDataLowName);
  f.lowData = low.empty() ? f.localData : low + productSubPath;

  f.work = useLowDataFolder && !f.lowData.empty() ? f.lowData : f.localData;
  f.tempPath = ExpandLongPath(source, source.TempPath());
  f.helpFile = f.work + "help.bin";
  return f;
}

}  // namespace corvane
