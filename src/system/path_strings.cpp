#include "system/path_strings.h"

#include "system/text.h"

namespace corvane {

std::string StripTrailingBackslash(std::string path) {
  if (!path.empty() && path.back() == '\\') path.pop_back();
  return path;
}

std::string WithBackslash(std::string folder) {
  if (!folder.empty() && folder.back() != '\\') folder += '\\';
  return folder;
}

std::string Parent(const std::string& path) {
  const std::string stripped = StripTrailingBackslash(path);
  const std::size_t cut = stripped.find_last_of("\\/");
  return cut == std::string::npos ? std::string() : stripped.substr(0, cut + 1);
}

std::string LastName(const std::string& path) {
  const std::string stripped = StripTrailingBackslash(path);
  return stripped.substr(stripped.find_last_of("\\/") + 1);
}

std::vector<std::string> LevelsOf(const std::string& base, const std::string& folder) {
  const std::string b = StripTrailingBackslash(base) + "\\";
  const std::string f = StripTrailingBackslash(folder) + "\\";
  std::vector<std::string> names;
  if (base.empty() || f.size() <= b.size() || !SameText(f.substr(0, b.size()), b)) return names;
  for (std::size_t start = b.size(); start < f.size();) {
    const std::size_t end = f.find('\\', start);
    names.push_back(f.substr(start, end - start));
    start = end + 1;
  }
  return names;
}

bool Within(std::string_view inner, std::string_view outer) {
  const std::string in = Fold(WithBackslash(std::string(inner)));
  const std::string out = Fold(WithBackslash(std::string(outer)));
  return !out.empty() && in.compare(0, out.size(), out) == 0;
}

}  // namespace corvane
