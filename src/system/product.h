// What an installation of the product consists of: the names of its folders, files, shortcuts
// and registry entries, which the setup writes and the uninstaller removes again.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace corvane {

// The product's folders are "<base>\Tamarind Software\Corvane\".
inline constexpr std::string_view kMakerFolderName = "Tamarind Software";
inline constexpr std::string_view kProductFolderName = "Corvane";
inline constexpr std::string_view kMainProgram = "kvx.exe";  // also the App Paths key's name
inline constexpr std::string_view kHelperProgram = "kvxh.exe";
inline constexpr std::string_view kUninstallEntryName = "Corvane";
inline constexpr std::string_view kUninstallerName = "Uninstall.exe";
inline constexpr std::string_view kShortcutFileName = "Corvane.lnk";
inline constexpr std::string_view kWorkFileName = "prog.tmp";

// The eleven targets, in payload order: three programs in the install folder, eight data
// files in the data folder. Both folders end with a backslash.
std::vector<std::string> ProductFileList(const std::string& installFolder,
                                         const std::string& dataFolder);

}  // namespace corvane
