// The product's uninstaller: finds the installation as the setup does, and removes exactly
// what the setup wrote, nothing else whatever the registry says. Portable; the system is
// behind the interfaces below.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "payload/file_system.h"
#include "system/instance_lock.h"
#include "system/known_folders.h"
#include "system/log.h"
#include "system/registry.h"

namespace corvane {

inline constexpr std::string_view kUninstallQuestion = "Remove Corvane and all of its components?";
inline constexpr std::string_view kRemovedText = "Corvane has been removed from this computer.";
inline constexpr std::string_view kRestartText =
    "Corvane has been removed. Some of its files are in use: they are removed when Windows "
    "restarts.";
inline constexpr std::string_view kFailedText =
    "Corvane could not be removed completely. Close its programs and try again.";
inline constexpr std::string_view kNotInstalledText = "No installation of Corvane was found.";
inline constexpr std::string_view kRefusedText =
    "The install folder that Corvane recorded is not one it can be removed from. Nothing was "
    "removed.";
inline constexpr std::string_view kBusyText =
    "A setup or uninstaller of Corvane is running. Try again when it has finished.";

// Exit codes, as the setup's: numbers deployment tools read as an installer's results.
inline constexpr int kUninstallRemoved = 0;
inline constexpr int kUninstallDeclined = 1602;       // ERROR_INSTALL_USEREXIT
inline constexpr int kUninstallFailed = 1603;         // ERROR_INSTALL_FAILURE
inline constexpr int kUninstallBusy = 1618;           // ERROR_INSTALL_ALREADY_RUNNING
inline constexpr int kUninstallRestartNeeded = 3010;  // ERROR_SUCCESS_REBOOT_REQUIRED

enum class UninstallOutcome { Removed, Declined, Failed, AlreadyRunning, RestartNeeded };
int UninstallExitCode(UninstallOutcome outcome);

enum class RemoveResult { Removed, Missing, InUse, Failed };

// One system call per operation.
class RemovalFileSystem {
 public:
  virtual ~RemovalFileSystem() = default;
  virtual RemoveResult RemoveFile(const std::string& path) = 0;
  // Removes an empty folder; a folder with anything in it stays (Failed).
  virtual RemoveResult RemoveFolder(const std::string& path) = 0;
  // Has the file or empty folder removed when Windows next starts.
  virtual bool RemoveAtRestart(const std::string& path) = 0;
  virtual DriveType DriveTypeOf(const std::string& rootPath) = 0;
};

class UninstallUi {
 public:
  virtual ~UninstallUi() = default;
  virtual bool Confirm(std::string_view question) = 0;  // Yes/No
  virtual void Tell(std::string_view text) = 0;         // OK
};

struct UninstallServices {
  RegistryApi& registry;
  KnownFolderSource& folders;
  RemovalFileSystem& files;
  InstanceLockSource& lock;
  UninstallUi& ui;
  SetupLog& log;
};

struct UninstallOptions {
  bool silent = false;        // /S
  std::string logPath;        // /LOG=path
  std::string cleanupFolder;  // /CLEANUP=folder: the temporary copy's last step (see below)
  std::uint64_t waitFor = 0;  // /WAIT=n: the handle of the process the copy waits for
};
UninstallOptions ParseUninstallArguments(const std::vector<std::string>& args);

// Everything one installation consists of, in removal order. Folders go only when empty,
// innermost first.
struct RemovalPlan {
  std::vector<std::string> files;
  std::vector<std::string> folders;
};
RemovalPlan PlanRemoval(const std::string& installFolder, const KnownFolders& known);

// Folders an install folder must be neither, nor contain: the Windows, program-files, data and
// profile folders. Paths without a trailing backslash.
std::vector<std::string> SystemFolders(KnownFolderSource& source);

// An absolute folder on a local fixed drive, below its root, with no "." or ".." in it, that
// is not inside the Windows folder and is neither one of `systemFolders` nor above one.
bool InstallFolderAcceptable(const std::string& installFolder,
                             const std::vector<std::string>& systemFolders,
                             RemovalFileSystem& files);

struct UninstallResult {
  UninstallOutcome outcome = UninstallOutcome::Failed;
  // Set when the running program is the installed uninstaller: it is removed, with the install
  // folder, by RemoveLeftUninstaller once this process has ended.
  std::string leftInstallFolder;
};

// The whole uninstall. `selfPath` is the running program's own file.
UninstallResult RunUninstall(UninstallServices& services, bool silent, const std::string& selfPath);

// The last step, run from a temporary copy after the first process ended: the installed
// uninstaller and the then empty install folders. Refuses the same folders RunUninstall does.
bool RemoveLeftUninstaller(UninstallServices& services, const std::string& installFolder);

}  // namespace corvane
