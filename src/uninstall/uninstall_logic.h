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

enum class UninstallOutcome { Removed, Declined, Failed, AlreadyRunning, RestartNeeded };
int UninstallExitCode(UninstallOutcome outcome);

enum class RemoveResult { Removed, Missing, InUse, Failed };
enum class FolderOpen { Opened, Missing, Refused, Failed };

// Removal through open folders. The uninstaller runs as administrator, and users can change
// some of the folders it removes from (ProgramData lets them add files and folders), so
// nothing is removed by a path that is walked again: each level is opened as itself below a
// base folder that only administrators can change, and files and folders are removed relative
// to the opened level. One system call per operation.
class RemovalFileSystem {
 public:
  using Folder = std::uint64_t;  // an open folder; kNoFolder is none
  static constexpr Folder kNoFolder = 0;

  virtual ~RemovalFileSystem() = default;
  // Opens a known folder or a drive's root by its path.
  virtual FolderOpen OpenBase(const std::string& path, Folder& folder) = 0;
  // Opens the folder `name` in the open `parent` as itself: a link or any other reparse point
  // is Refused, and so is a file.
  virtual FolderOpen OpenFolder(Folder parent, const std::string& name, Folder& folder) = 0;
  // Removes the file `name` in the open `folder`; a link is removed as itself.
  virtual RemoveResult RemoveFile(Folder folder, const std::string& name) = 0;
  // Removes the open folder when it is empty (Failed otherwise), and closes it either way: the
  // folder is gone only once its last handle is.
  virtual RemoveResult RemoveFolder(Folder folder) = 0;
  virtual void Close(Folder folder) = 0;
  // The open folder's own path as the system spells it, with a trailing backslash; empty when
  // it is not an open folder that is no link.
  virtual std::string PathOf(Folder folder) = 0;
  // True when the file `name` in `folder` holds exactly the bytes of the running program.
  virtual bool IsThisProgram(Folder folder, const std::string& name) = 0;
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
  bool silent = false;  // /S
  std::string logPath;  // /LOG=path
  // /CLEANUP=h[,h]: the temporary copy's last step (see RemoveLeftUninstaller). It names open
  // folders that the copy inherited from the uninstaller, never a path; anything else after
  // /CLEANUP= leaves the list empty, and the copy then removes nothing.
  bool cleanup = false;
  std::vector<std::uint64_t> cleanupFolders;
  std::uint64_t waitFor = 0;  // /WAIT=n: the handle of the process the copy waits for
};
UninstallOptions ParseUninstallArguments(const std::vector<std::string>& args);

// One folder the uninstaller removes from: `base` (with a backslash), a folder only
// administrators can change, opened by its path; `levels` below it, outermost first, each
// opened as itself; `files` removed from the innermost level; then the innermost
// `removableLevels` levels removed when empty.
struct RemovalTree {
  std::string base;
  std::vector<std::string> levels;
  std::vector<std::string> files;
  std::size_t removableLevels = 0;
};
// Everything one installation consists of, in removal order. The per-user work folder is not
// in it: the user can point it anywhere and change what is in it, so an administrator's
// uninstaller leaves it alone.
std::vector<RemovalTree> PlanRemoval(const std::string& installFolder, const KnownFolders& known);

// An absolute folder on a local fixed drive, below its root, with no "." or ".." in it, that
// is not inside the Windows folder and is neither one of `systemFolders` (SystemFolders in
// system/system_folders.h, the setup's list) nor above one.
bool InstallFolderAcceptable(const std::string& installFolder,
                             const std::vector<std::string>& systemFolders,
                             RemovalFileSystem& files);

struct UninstallResult {
  UninstallOutcome outcome = UninstallOutcome::Failed;
  // Set when the running program is the installed uninstaller: its folder, and for the default
  // layout the maker's folder above it, still open, innermost first. The caller hands them to
  // the copy that removes them (RemoveLeftUninstaller) and then closes them.
  std::vector<RemovalFileSystem::Folder> leftFolders;
};

// The whole uninstall. `selfPath` is the running program's own file; `redirectionGuarded` tells
// the log whether the system refuses this process links that non-administrators made.
UninstallResult RunUninstall(UninstallServices& services, bool silent, const std::string& selfPath,
                             bool redirectionGuarded);

// The last step, run from a temporary copy after the first process ended, on the folders it
// inherited: the installed uninstaller, when it is a copy of this program, and then the
// folders when they are empty. Anything else (a folder that is no install folder, a maker
// folder that is not the one above it, an uninstaller that is not this program) removes
// nothing.
bool RemoveLeftUninstaller(UninstallServices& services,
                           const std::vector<RemovalFileSystem::Folder>& folders);

}  // namespace corvane
