#include "system/log.h"

#include <string>

namespace corvane {

void SetupLog::Line(std::initializer_list<std::string_view> parts) {
  std::string line;
  bool inBreak = false;
  for (const std::string_view part : parts) {
    for (const char c : part) {
      const bool isBreak = c == '\r' || c == '\n';
      if (!isBreak) {
        line += c;
      } else if (!inBreak) {
        line += ' ';
      }
      inBreak = isBreak;
    }
  }
  WriteLine(line);
}

}  // namespace corvane
