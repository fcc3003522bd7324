#include "system/system_folders.h"

#include "system/text.h"

namespace corvane {
namespace {
bool Within(const std::string& inner, const std::string& outer) {
  const std::string in = Fold(inner) + "\\";
  std::string out = Fold(outer);
  if (out.empty() || out.back() != '\\') out += "\\";
  return in.size() >= out.size() && in.compare(0, out.size(), out) == 0;
}
}  // namespace
bool IsSystemFolderOrAbove(const std::string& folder, const std::vector<std::string>& system) {
  for (std::size_t k = 0; k < system.size(); ++k) {
    if (system[k].empty()) continue;
    if (Within(system[k], folder)) return true;
    if (k == 0 && Within(folder, system[k])) return true;
  }
  return false;
}
bool HasRelativeComponents(const std::string& path) {
  if (path.find('/') != std::string::npos) return true;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find('\\', start);
    if (end == std::string::npos) end = path.size();
    const std::string part = path.substr(start, end - start);
    if (part == "." || part == "..") return true;
    start = end + 1;
  }
  return false;
}
}  // namespace corvane
