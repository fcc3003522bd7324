// The application object and its start-up: the platform check, then the setup dialog.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "app/setup_logic.h"
#include "app/unattended.h"
#include "system/instance_lock.h"

namespace corvane {

inline constexpr std::string_view kPlatformRefusal = "Only Windows 95, 98 or NT4.0";
// Shown by a second setup when nothing of the one that holds the lock can be brought forward.
inline constexpr std::string_view kAlreadyRunningText =
    "Corvane is being installed or removed. Try again when that has finished.";

// What the command line asks for. Anything else on it is ignored.
struct SetupOptions {
  bool unattended = false;  // /S: install without a dialog
  std::string logPath;      // /LOG=path: where the setup writes its log
  InstallSwitches install;  // /DIR=, /CLOSEAPPLICATIONS, /REBOOTOK
};

// The arguments after the program name, as the system splits them (UTF-8).
SetupOptions ParseArguments(const std::vector<std::string>& args);

// The process exit status of each outcome (system/exit_codes.h).
int ExitCodeFor(SetupOutcome outcome);

// What Start needs of the system.
class StartHost {
 public:
  virtual ~StartHost() = default;
  // The platform identifier of the system's version structure.
  virtual unsigned long PlatformId() = 0;
  // An application message box with an OK button.
  virtual void ShowMessage(std::string_view text) = 0;
  // Runs the setup dialog modally; returns when it has ended, with its last install attempt's
  // outcome.
  virtual SetupOutcome RunSetupDialog() = 0;
  // The install without a dialog (RunUnattendedInstall), logging to Log().
  virtual SetupOutcome RunUnattended() = 0;
  // The log that /LOG asks for (lines go nowhere without it).
  virtual SetupLog& Log() = 0;
  // Takes the lock that every setup and the uninstaller share, for the rest of the process.
  virtual InstanceLock LockInstance() = 0;
  // Which of the lock's names this process holds, for the log.
  virtual std::string_view LockHeld() = 0;
  // Brings the window of the setup or uninstaller that holds the lock to the front; false when
  // no such window was found.
  virtual bool ShowRunningSetup() = 0;
};

// The family of the system the setup runs on.
enum class Platform { Unknown, Windows9x, WindowsNt };

struct SetupApp {
  Platform platform = Platform::Unknown;  // set by Start when the setup goes on
  GlobalPaths paths;
  SetupOptions options;
  bool redirectionGuarded = false;  // set by the entry: the system refuses untrusted links
  SetupOutcome outcome = SetupOutcome::Declined;  // set by Start
};

// The family that a platform identifier names: only its two low bits count, and the NT bit
// wins over the 95/98 one.
Platform PlatformFor(unsigned long platformId);

// Always false: there is no message loop to run afterwards. Sets app.outcome. While another
// setup or the uninstaller runs, nothing is done: interactively its window is brought to the
// front, or where it has none a message says why nothing happens; either way the outcome is
// AlreadyRunning.
bool Start(SetupApp& app, StartHost& host);

}  // namespace corvane
