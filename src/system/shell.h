// Shell actions and the setup's own version record.
#pragma once

#include <cstdint>
#include <string>

namespace corvane {

using WindowRef = std::uintptr_t;  // a window handle, 0 for none

// How a program or page was started: through the signed-in user's desktop shell, so that it
// runs as that user and not as the elevated setup, or, where no desktop shell answers, by the
// setup itself.
enum class StartWay { DesktopShell, Direct };
struct ShellStart {
  bool started = false;  // the shell took the request (for Direct: its result was above 32)
  StartWay way = StartWay::Direct;
};

class Shell {
 public:
  virtual ~Shell() = default;
  // Creates a shortcut through the shell-link object; COM must be initialised.
  // Empty arguments set none. Returns the COM status.
  virtual long CreateShortcut(const std::string& target, const std::string& linkPath,
                              const std::string& description, const std::string& arguments) = 0;
  // Opens a file, folder or address with the verb "open" and SW_RESTORE, in the working folder
  // given (none when empty).
  virtual ShellStart ShellOpen(const std::string& path, const std::string& folder,
                               WindowRef owner) = 0;
  // Starts a program with the verb "open", no owner, SW_SHOWNORMAL, in the working folder given.
  virtual ShellStart Launch(const std::string& path, const std::string& folder) = 0;
  // The raw string of the running program's version record (block "040904B0"), or empty.
  virtual std::string RawVersionString(const std::string& name) = 0;
};

// The named version-record string with surrounding white space removed.
std::string VersionString(Shell& shell, const std::string& name);

}  // namespace corvane
