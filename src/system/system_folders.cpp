#include "system/system_folders.h"

#include <algorithm>
#include <utility>

#include "system/path_strings.h"
#include "system/product.h"
#include "system/text.h"

namespace corvane {

std::vector<std::string> SystemFolders(KnownFolderSource& source) {
  std::vector<std::string> folders;
  auto add = [&folders](std::string folder) {
    folder = StripTrailingBackslash(std::move(folder));
    if (!folder.empty()) folders.push_back(std::move(folder));
  };
  for (const int csidl :
       {kCsidlWindows, kCsidlSystem, kCsidlProgramFiles, kCsidlProgramFilesX86,
        kCsidlProgramFilesCommon, kCsidlProgramFilesCommonX86}) {
    add(source.SpecialFolder(csidl));
  }
  // A 32-bit program on 64-bit Windows is given the "(x86)" folders above.
  add(source.NativeProgramFiles(false));
  add(source.NativeProgramFiles(true));
  for (const int csidl :
       {kCsidlCommonAppData, kCsidlProfile, kCsidlDesktop, kCsidlCommonDesktopDirectory,
        kCsidlPersonal, kCsidlCommonDocuments, kCsidlMyPictures, kCsidlPrograms,
        kCsidlCommonPrograms, kCsidlStartup, kCsidlCommonStartup, kCsidlAppData,
        kCsidlLocalAppData}) {
    add(source.SpecialFolder(csidl));
  }
  // Not the CD burning folder: asking for it creates it (and the uninstaller asks before it
  // refuses a folder, when it must change nothing), and it lies inside Local AppData anyway.
  // The product's data folders: an install folder there, or above one, would mix the programs
  // with data that users may change.
  for (const int csidl : {kCsidlCommonAppData, kCsidlAppData, kCsidlLocalAppData}) {
    const std::string base = StripTrailingBackslash(source.SpecialFolder(csidl));
    if (!base.empty()) {
      add(base + "\\" + std::string(kMakerFolderName) + "\\" + std::string(kProductFolderName));
    }
  }
  add(ExpandLongPath(source, source.TempPath()));
  return folders;
}

bool HasAmbiguousComponents(std::string_view path) {
  if (path.find('/') != std::string_view::npos) return true;
  // A UNC path starts with two backslashes; anywhere else they are an empty component.
  if (path.find("\\\\", 1) != std::string_view::npos) return true;
  std::size_t begin = 0;
  while (begin < path.size()) {
    const std::size_t end = std::min(path.find('\\', begin), path.size());
    const std::string_view component = path.substr(begin, end - begin);
    if (!component.empty() && (component.back() == '.' || component.back() == ' ')) return true;
    begin = end + 1;
  }
  return false;
}

bool IsSystemFolderOrAbove(std::string_view folder, const std::vector<std::string>& systemFolders) {
  if (HasAmbiguousComponents(folder)) return true;
  for (std::size_t k = 0; k < systemFolders.size(); ++k) {
    if (systemFolders[k].empty()) continue;
    if (Within(systemFolders[k], folder)) return true;            // the folder itself, or above it
    if (k == 0 && Within(folder, systemFolders[k])) return true;  // inside the Windows folder
  }
  return false;
}

}  // namespace corvane
