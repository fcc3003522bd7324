#include "system/shell.h"

namespace corvane {

std::string VersionString(Shell& shell, const std::string& name) {
  const std::string raw = shell.RawVersionString(name);
  constexpr const char* kWhiteSpace = " \t\r\n\v\f";
  const std::size_t begin = raw.find_first_not_of(kWhiteSpace);
  if (begin == std::string::npos) return {};
  const std::size_t end = raw.find_last_not_of(kWhiteSpace);
  return raw.substr(begin, end - begin + 1);
}

}  // namespace corvane
