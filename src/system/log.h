// The /LOG log of the setup and the uninstaller: one line per step with its result.
#pragma once

#include <initializer_list>
#include <string_view>

namespace corvane {

// A line-oriented log.
class SetupLog {
 public:
  virtual ~SetupLog() = default;
  // Writes the parts as one line: each run of CR and LF inside them becomes one space.
  void Line(std::initializer_list<std::string_view> parts);
  void Line(std::string_view text) { Line({text}); }

 protected:
  // One complete line, without its line end.
  virtual void WriteLine(std::string_view line) = 0;
};

// The log's line on the system's guard against links that non-administrators made.
inline std::string_view RedirectionGuardText(bool enabled) {
  return enabled ? "redirection guard: on" : "redirection guard: not available on this system";
}

}  // namespace corvane
