// Placeholder until the shared system-folder rule lands.
#pragma once
#include <string>
#include <vector>
namespace corvane {
bool IsSystemFolderOrAbove(const std::string& folder, const std::vector<std::string>& systemFolders);
bool HasRelativeComponents(const std::string& path);
}  // namespace corvane
