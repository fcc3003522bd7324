#include "uninstall/uninstall_logic.h"

#include <algorithm>
#include <utility>

#include "payload/logging_wrappers.h"
#include "payload/paths.h"
#include "payload/secure_folders.h"
#include "system/exit_codes.h"
#include "system/product.h"
#include "system/system_folders.h"
#include "system/text.h"
#include "uninstall/logging_removal.h"

namespace corvane {
namespace {

using Folder = RemovalFileSystem::Folder;

// The first three names of the product's file list go into the install folder, the rest into
// the data folder.
constexpr std::size_t kProgramCount = 3;

// The product's folder in `base`: "Tamarind Software\Corvane".
RemovalTree ProductTree(const std::string& productFolder, std::vector<std::string> files) {
  RemovalTree tree;
  tree.base = Parent(Parent(productFolder));
  tree.levels = {std::string(kMakerFolderName), std::string(kProductFolderName)};
  tree.files = std::move(files);
  tree.removableLevels = kProductLevels;
  return tree;
}

// Each outcome's exit code and its words in the log's last line.
struct OutcomeRow {
  int exitCode;
  const char* text;
};

OutcomeRow RowFor(UninstallOutcome outcome) {
  switch (outcome) {
    case UninstallOutcome::Removed:
      return {kExitSuccess, "removed"};
    case UninstallOutcome::Declined:
      return {kExitUserExit, "declined"};
    case UninstallOutcome::Failed:
      return {kExitInstallFailure, "not removed completely"};
    case UninstallOutcome::AlreadyRunning:
      return {kExitAlreadyRunning, "a setup or uninstaller is running"};
    case UninstallOutcome::RestartNeeded:
      return {kExitRestartRequired, "removed, restart needed"};
  }
  return {kExitInstallFailure, ""};
}

// A decimal number, all of `text`; false for anything else.
bool ParseNumber(std::string_view text, std::uint64_t& number) {
  number = 0;
  if (text.empty() || text.size() > 19) return false;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    number = number * 10 + static_cast<std::uint64_t>(c - '0');
  }
  return true;
}

// Ends the run: the message (interactive only), the log's last line, the outcome.
UninstallResult Finish(UninstallServices& services, bool silent, UninstallOutcome outcome,
                       std::string_view text) {
  if (!text.empty()) {
    services.log.Line({"message: ", text});
    if (!silent) services.ui.Tell(text);
  }
  const OutcomeRow row = RowFor(outcome);
  services.log.Line({"result: ", row.text, ", exit code ", std::to_string(row.exitCode)});
  UninstallResult result;
  result.outcome = outcome;
  return result;
}

// The folders one tree has open, outermost first; closed on every way out unless handed on.
class OpenLevels {
 public:
  explicit OpenLevels(RemovalFileSystem& files) : files_(files) {}
  ~OpenLevels() {
    for (const Folder folder : folders_) files_.Close(folder);
  }
  OpenLevels(const OpenLevels&) = delete;
  OpenLevels& operator=(const OpenLevels&) = delete;

  void Add(Folder folder) { folders_.push_back(folder); }
  std::size_t Count() const { return folders_.size(); }
  Folder Innermost() const { return folders_.back(); }
  // Hands the innermost folder to the caller, who closes it.
  Folder TakeInnermost() {
    const Folder folder = folders_.back();
    folders_.pop_back();
    return folder;
  }

 private:
  RemovalFileSystem& files_;
  std::vector<Folder> folders_;
};

// What the removal found, over all trees.
struct Removal {
  std::string selfPath;
  bool failed = false;
  bool selfLeft = false;
  std::vector<std::string> atRestart;
  std::vector<Folder> leftFolders;
};

// Opens the tree's base and each level as itself. False when a level is missing (nothing of the
// product is there) or could not be opened; a refused or failed level fails the removal.
bool OpenTree(UninstallServices& services, const RemovalTree& tree, OpenLevels& open,
              Removal& removal) {
  Folder folder = RemovalFileSystem::kNoFolder;
  std::string path = tree.base;
  FolderOpen opened = services.files.OpenBase(path, folder);
  for (std::size_t k = 0;; ++k) {
    if (opened == FolderOpen::Opened) open.Add(folder);
    if (opened != FolderOpen::Opened || k == tree.levels.size()) break;
    path += tree.levels[k] + "\\";
    opened = services.files.OpenFolder(open.Innermost(), tree.levels[k], folder);
  }
  if (opened == FolderOpen::Opened) return true;
  if (opened == FolderOpen::Missing) return false;
  services.log.Line({"not removed: ", path});
  removal.failed = true;
  return false;
}

void RemoveFiles(UninstallServices& services, const RemovalTree& tree, const std::string& folder,
                 Folder open, Removal& removal) {
  for (const std::string& name : tree.files) {
    const std::string file = folder + name;
    if (SameText(file, removal.selfPath)) {
      removal.selfLeft = true;
      services.log.Line({"delete ", file, ": after this program has ended"});
      continue;
    }
    const RemoveResult result = services.files.RemoveFile(open, name);
    if (result == RemoveResult::InUse && services.files.RemoveAtRestart(file)) {
      removal.atRestart.push_back(file);
      continue;
    }
    if (result == RemoveResult::InUse || result == RemoveResult::Failed) {
      removal.failed = true;
      services.log.Line({"not removed: ", file});
    }
  }
}

// The innermost levels, innermost first, each when empty. The folder that holds the running
// uninstaller goes with it after this process, and so do the levels above it: they stay open
// for the copy that removes them.
void RemoveLevels(UninstallServices& services, const RemovalTree& tree, std::string folder,
                  OpenLevels& open, Removal& removal) {
  const std::size_t count = std::min(tree.removableLevels, open.Count() - 1);
  const bool leftForCopy = removal.selfLeft && Within(removal.selfPath, folder);
  for (std::size_t k = 0; k < count; ++k, folder = Parent(folder)) {
    bool pending = false;
    for (const std::string& path : removal.atRestart) pending = pending || Within(path, folder);
    bool removed = false;
    if (leftForCopy) {
      removal.leftFolders.push_back(open.TakeInnermost());
    } else {
      removed = services.files.RemoveFolder(open.TakeInnermost()) == RemoveResult::Removed;
    }
    if (!removed && pending && services.files.RemoveAtRestart(folder)) {
      removal.atRestart.push_back(folder);
    }
  }
}

void RemoveTree(UninstallServices& services, const RemovalTree& tree, Removal& removal) {
  OpenLevels open(services.files);
  if (!OpenTree(services, tree, open, removal)) return;
  std::string folder = tree.base;
  for (const std::string& level : tree.levels) folder += level + "\\";
  RemoveFiles(services, tree, folder, open.Innermost(), removal);
  RemoveLevels(services, tree, folder, open, removal);
}

// The App Paths key of the main program and the uninstall entry; false when either stays.
bool RemoveRegistryEntries(UninstallServices& services) {
  bool removed = true;
  const std::pair<const char*, std::string_view> kKeys[] = {{"App Paths", kMainProgram},
                                                            {"Uninstall", kUninstallEntryName}};
  for (const auto& [parent, name] : kKeys) {
    removed = DeleteProductKey(services.registry, parent, std::string(name)) == 0 && removed;
  }
  return removed;
}

// The install folder that the App Paths entry records; empty when there is none.
std::string RecordedPath(RegistryApi& registry) {
  return ReadAppPath(registry, std::string(kMainProgram), "Path");
}

KnownFolders UninstallKnownFolders(UninstallServices& services) {
  return SetUpKnownFolders(services.folders, services.registry, std::string(kProductFolderName),
                           false);
}

}  // namespace

int UninstallExitCode(UninstallOutcome outcome) { return RowFor(outcome).exitCode; }

UninstallOptions ParseUninstallArguments(const std::vector<std::string>& args) {
  UninstallOptions options;
  for (const std::string& arg : args) {
    if (SameText(arg, "/S")) {
      options.silent = true;
    } else if (StartsWithText(arg, "/LOG=")) {
      options.logPath = arg.substr(5);
    } else if (StartsWithText(arg, "/CLEANUP=")) {
      options.cleanup = true;
      options.cleanupFolders.clear();
      std::string_view rest = std::string_view(arg).substr(9);
      for (;;) {
        const std::size_t comma = rest.find(',');
        std::uint64_t handle = 0;
        if (!ParseNumber(rest.substr(0, comma), handle) || handle == 0) {
          options.cleanupFolders.clear();
          break;
        }
        options.cleanupFolders.push_back(handle);
        if (comma == std::string_view::npos) break;
        rest = rest.substr(comma + 1);
      }
    } else if (StartsWithText(arg, "/WAIT=")) {
      if (!ParseNumber(std::string_view(arg).substr(6), options.waitFor)) options.waitFor = 0;
    }
  }
  return options;
}

std::vector<RemovalTree> PlanRemoval(const std::string& installFolder, const KnownFolders& known) {
  const std::vector<std::string> names = ProductFileList("", "");
  const std::vector<std::string> programs(names.begin(), names.begin() + kProgramCount);
  const std::vector<std::string> data(names.begin() + kProgramCount, names.end());

  std::vector<RemovalTree> trees;
  // The default install folder was made with its maker folder; a chosen one alone, each of the
  // folders above it opened from the drive's root.
  if (SameText(installFolder, known.defaultInstall)) {
    trees.push_back(ProductTree(installFolder, programs));
  } else {
    RemovalTree tree;
    tree.base = installFolder.substr(0, 3);
    tree.levels = LevelsOf(tree.base, installFolder);
    tree.files = programs;
    tree.removableLevels = 1;
    trees.push_back(tree);
  }
  trees.push_back(ProductTree(known.commonData, data));
  for (const std::string& shortcuts : {known.commonDesktop, known.commonPrograms}) {
    trees.push_back(RemovalTree{shortcuts, {}, {std::string(kShortcutFileName)}, 0});
  }
  return trees;
}

bool InstallFolderAcceptable(const std::string& installFolder,
                             const std::vector<std::string>& systemFolders,
                             RemovalFileSystem& files) {
  const std::string folder = Fold(WithBackslash(installFolder));
  // "X:\" and at least one component: no UNC share, nothing relative, not a drive's root.
  if (folder.size() < 4 || folder[1] != ':' || folder[2] != '\\' || folder[0] < 'a' ||
      folder[0] > 'z') {
    return false;
  }
  std::size_t begin = 3;
  while (begin < folder.size()) {
    const std::size_t end = folder.find('\\', begin);
    const std::string component = folder.substr(begin, end - begin);
    if (component.empty() || component == "." || component == ".." ||
        component.find_first_of("/*?\"<>|:") != std::string::npos) {
      return false;
    }
    begin = end + 1;
  }
  const DriveType drive = files.DriveTypeOf(installFolder.substr(0, 3));
  if (drive != DriveType::Fixed && drive != DriveType::RamDisk) return false;
  return !IsSystemFolderOrAbove(installFolder, systemFolders);
}

namespace {

UninstallResult Uninstall(UninstallServices& services, bool silent, const std::string& selfPath,
                          bool redirectionGuarded) {
  SetupLog& log = services.log;
  log.Line(silent ? "Corvane uninstall, unattended" : "Corvane uninstall");
  log.Line(RedirectionGuardText(redirectionGuarded));
  const InstanceLock lock = services.lock.Acquire(0);
  log.Line({"setup lock held: ", services.lock.Held()});
  if (lock == InstanceLock::Busy) {
    return Finish(services, silent, UninstallOutcome::AlreadyRunning, kBusyText);
  }
  const std::string recorded = RecordedPath(services.registry);
  if (recorded.empty()) {
    return Finish(services, silent, UninstallOutcome::Failed, kNotInstalledText);
  }
  const std::string installFolder = WithBackslash(recorded);
  log.Line({"install folder: ", recorded});
  if (!InstallFolderAcceptable(installFolder, SystemFolders(services.folders), services.files)) {
    log.Line({"install folder refused: ", recorded});
    return Finish(services, silent, UninstallOutcome::Failed, kRefusedText);
  }
  if (!silent && !services.ui.Confirm(kUninstallQuestion)) {
    return Finish(services, silent, UninstallOutcome::Declined, {});
  }

  Removal removal;
  removal.selfPath = selfPath;
  for (const RemovalTree& tree : PlanRemoval(installFolder, UninstallKnownFolders(services))) {
    RemoveTree(services, tree, removal);
  }
  // What could not be removed keeps the installation listed, so the uninstall can be rerun.
  if (removal.failed || !RemoveRegistryEntries(services)) {
    for (const Folder folder : removal.leftFolders) services.files.Close(folder);
    return Finish(services, silent, UninstallOutcome::Failed, kFailedText);
  }
  const bool restart = !removal.atRestart.empty();
  UninstallResult result = Finish(
      services, silent, restart ? UninstallOutcome::RestartNeeded : UninstallOutcome::Removed,
      restart ? kRestartText : kRemovedText);
  result.leftFolders = std::move(removal.leftFolders);
  return result;
}

}  // namespace

UninstallResult RunUninstall(UninstallServices& services, bool silent, const std::string& selfPath,
                             bool redirectionGuarded) {
  // Every registry and file step goes to the log with its result, in the setup's lines.
  const auto registry = MakeLoggingRegistry(services.registry, services.log);
  const auto files = MakeLoggingRemoval(services.files, services.log);
  UninstallServices logged{*registry,     services.folders, *files,
                           services.lock, services.ui,      services.log};
  return Uninstall(logged, silent, selfPath, redirectionGuarded);
}

bool RemoveLeftUninstaller(UninstallServices& services, const std::vector<Folder>& folders) {
  if (folders.empty() || folders.size() > kProductLevels) return false;
  const std::string installFolder = services.files.PathOf(folders[0]);
  if (installFolder.empty() ||
      !InstallFolderAcceptable(installFolder, SystemFolders(services.folders), services.files)) {
    return false;
  }
  // The maker's folder, when handed on, must be the one right above, by its name.
  if (folders.size() == 2 && (!SameText(services.files.PathOf(folders[1]), Parent(installFolder)) ||
                              !SameText(LastName(Parent(installFolder)), kMakerFolderName))) {
    return false;
  }
  // A setup started meanwhile must not lose its uninstaller: wait for it to end.
  if (services.lock.Acquire(60000) != InstanceLock::Acquired) return false;
  // ... and when it has installed again, the uninstaller is its own.
  if (!RecordedPath(services.registry).empty()) return false;
  const std::string name = ProductFileList("", "")[kProgramCount - 1];
  if (!services.files.IsThisProgram(folders[0], name)) return false;
  const RemoveResult removed = services.files.RemoveFile(folders[0], name);
  for (const Folder folder : folders) services.files.RemoveFolder(folder);
  return removed == RemoveResult::Removed || removed == RemoveResult::Missing;
}

}  // namespace corvane
