// What an installation of the product consists of: the files, shortcuts and registry entries
// that the setup writes and the uninstaller removes again.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

inline constexpr std::string_view kMainProgram = "kvx.exe";  // also the App Paths key's name
inline constexpr std::string_view kUninstallEntryName = "Corvane";
inline constexpr std::string_view kUninstallerName = "Uninstall.exe";
inline constexpr std::string_view kShortcutFileName = "Corvane.lnk";
inline constexpr std::string_view kWorkFileName = "prog.tmp";

// The eleven targets, in payload order: three programs in the install folder, eight data
// files in the data folder. Both folders end with a backslash.
std::vector<std::string> ProductFileList(const std::string& installFolder,
                                         const std::string& dataFolder);

// "6, 1, 0, 0" -> "6.1.0.0": the version record's FileVersion as deployment tools compare it.
std::string DisplayVersionOf(std::string_view fileVersion);

// The expanded size of the payload's files in KB, rounded up; 0 for a malformed payload.
std::uint32_t ExpandedSizeKb(std::span<const std::uint8_t> payload);

}  // namespace corvane
