#include "uninstall/uninstall_logic.h"

#include "payload/paths.h"
#include "system/product.h"

namespace corvane {
namespace {

// The product's folders are two levels below their base: "Tamarind Software\Corvane".
constexpr int kProductFolderLevels = 2;

std::string Fold(std::string_view s) {
  std::string folded(s);
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return folded;
}

std::string WithBackslash(std::string path) {
  if (path.empty() || path.back() != '\\') path += '\\';
  return path;
}

// `inner` is `outer` or lies below it; both end with a backslash and are folded.
bool Within(const std::string& inner, const std::string& outer) {
  return inner.compare(0, outer.size(), outer) == 0;
}

std::string Parent(const std::string& folder) {
  const std::string stripped = StripTrailingBackslash(folder);
  const auto cut = stripped.rfind('\\');
  return cut == std::string::npos ? std::string() : stripped.substr(0, cut + 1);
}

// `folder` and, for `levels` > 1, the folders above it, innermost first.
void AddFolderLevels(std::vector<std::string>& folders, std::string folder, int levels) {
  for (int k = 0; k < levels && !folder.empty(); ++k) {
    folders.push_back(folder);
    folder = Parent(folder);
  }
}

const char* ResultText(RemoveResult result) {
  switch (result) {
    case RemoveResult::Removed:
      return "removed";
    case RemoveResult::Missing:
      return "not there";
    case RemoveResult::InUse:
      return "in use";
    case RemoveResult::Failed:
      return "failed";
  }
  return "";
}

const char* OutcomeText(UninstallOutcome outcome) {
  switch (outcome) {
    case UninstallOutcome::Removed:
      return "removed";
    case UninstallOutcome::Declined:
      return "declined";
    case UninstallOutcome::Failed:
      return "not removed completely";
    case UninstallOutcome::AlreadyRunning:
      return "a setup or uninstaller is running";
    case UninstallOutcome::RestartNeeded:
      return "removed, restart needed";
  }
  return "";
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && Fold(text.substr(0, prefix.size())) == Fold(prefix);
}

// Ends the run: the message (interactive only), the log's last line, the outcome.
UninstallResult Finish(UninstallServices& services, bool silent, UninstallOutcome outcome,
                       std::string_view text) {
  if (!text.empty()) {
    services.log.Line({"message: ", text});
    if (!silent) services.ui.Tell(text);
  }
  services.log.Line({"result: ", OutcomeText(outcome), ", exit code ",
                     std::to_string(UninstallExitCode(outcome))});
  UninstallResult result;
  result.outcome = outcome;
  return result;
}

}  // namespace

int UninstallExitCode(UninstallOutcome outcome) {
  switch (outcome) {
    case UninstallOutcome::Removed:
      return kUninstallRemoved;
    case UninstallOutcome::Declined:
      return kUninstallDeclined;
    case UninstallOutcome::Failed:
      return kUninstallFailed;
    case UninstallOutcome::AlreadyRunning:
      return kUninstallBusy;
    case UninstallOutcome::RestartNeeded:
      return kUninstallRestartNeeded;
  }
  return kUninstallFailed;
}

UninstallOptions ParseUninstallArguments(const std::vector<std::string>& args) {
  UninstallOptions options;
  for (const std::string& arg : args) {
    if (Fold(arg) == "/s") {
      options.silent = true;
    } else if (StartsWithNoCase(arg, "/LOG=")) {
      options.logPath = arg.substr(5);
    } else if (StartsWithNoCase(arg, "/CLEANUP=")) {
      options.cleanupFolder = arg.substr(9);
    } else if (StartsWithNoCase(arg, "/WAIT=")) {
      options.waitFor = 0;
      for (const char c : arg.substr(6)) {
        if (c < '0' || c > '9') break;
        options.waitFor = options.waitFor * 10 + static_cast<std::uint64_t>(c - '0');
      }
    }
  }
  return options;
}

RemovalPlan PlanRemoval(const std::string& installFolder, const KnownFolders& known) {
  RemovalPlan plan;
  plan.files = ProductFileList(installFolder, known.commonData);
  plan.files.push_back(known.commonDesktop + std::string(kShortcutFileName));
  plan.files.push_back(known.commonPrograms + std::string(kShortcutFileName));
  plan.files.push_back(known.work + std::string(kWorkFileName));
  AddFolderLevels(plan.folders, known.commonData, kProductFolderLevels);
  AddFolderLevels(plan.folders, known.work, kProductFolderLevels);
  // The default install folder was made with its maker folder; a chosen one alone.
  const bool isDefault = Fold(installFolder) == Fold(known.defaultInstall);
  AddFolderLevels(plan.folders, installFolder, isDefault ? kProductFolderLevels : 1);
  return plan;
}

std::vector<std::string> SystemFolders(KnownFolderSource& source) {
  std::vector<std::string> folders;
  for (const int csidl :
       {kCsidlWindows, kCsidlSystem, kCsidlProgramFiles, kCsidlProgramFilesX86,
        kCsidlProgramFilesCommon, kCsidlCommonAppData, kCsidlProfile, kCsidlCommonDocuments,
        kCsidlCommonDesktopDirectory, kCsidlCommonPrograms}) {
    std::string folder = StripTrailingBackslash(source.SpecialFolder(csidl));
    if (!folder.empty()) folders.push_back(folder);
  }
  return folders;
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
  for (std::size_t k = 0; k < systemFolders.size(); ++k) {
    const std::string system = Fold(WithBackslash(systemFolders[k]));
    if (Within(system, folder)) return false;            // the folder itself, or above it
    if (k == 0 && Within(folder, system)) return false;  // inside the Windows folder
  }
  return true;
}

UninstallResult RunUninstall(UninstallServices& services, bool silent,
                             const std::string& selfPath) {
  SetupLog& log = services.log;
  log.Line(silent ? "Corvane uninstall, unattended" : "Corvane uninstall");
  if (services.lock.Acquire(0) == InstanceLock::Busy) {
    return Finish(services, silent, UninstallOutcome::AlreadyRunning, kBusyText);
  }
  const std::string recorded = ReadAppPath(services.registry, std::string(kMainProgram), "Path");
  if (recorded.empty()) {
    return Finish(services, silent, UninstallOutcome::Failed, kNotInstalledText);
  }
  const std::string installFolder = StripTrailingBackslash(recorded) + "\\";
  log.Line({"install folder: ", recorded});
  if (!InstallFolderAcceptable(installFolder, SystemFolders(services.folders), services.files)) {
    log.Line({"install folder refused: ", recorded});
    return Finish(services, silent, UninstallOutcome::Failed, kRefusedText);
  }
  if (!silent && !services.ui.Confirm(kUninstallQuestion)) {
    return Finish(services, silent, UninstallOutcome::Declined, {});
  }

  const KnownFolders known = SetUpKnownFolders(services.folders, services.registry,
                                               std::string(kProductFolderName), false);
  const RemovalPlan plan = PlanRemoval(installFolder, known);
  bool failed = false;
  bool selfLeft = false;
  std::vector<std::string> atRestart;  // folded
  for (const std::string& file : plan.files) {
    if (Fold(file) == Fold(selfPath)) {
      selfLeft = true;
      log.Line({"delete ", file, ": after this program has ended"});
      continue;
    }
    const RemoveResult result = services.files.RemoveFile(file);
    if (result == RemoveResult::InUse && services.files.RemoveAtRestart(file)) {
      atRestart.push_back(Fold(file));
      log.Line({"delete ", file, ": in use, removed when Windows restarts"});
      continue;
    }
    log.Line({"delete ", file, ": ", ResultText(result)});
    if (result == RemoveResult::InUse || result == RemoveResult::Failed) {
      failed = true;
      log.Line({"not removed: ", file});
    }
  }
  const std::string foldedInstall = Fold(installFolder);
  for (const std::string& folder : plan.folders) {
    const std::string folded = Fold(folder);
    bool pending = false;
    for (const std::string& path : atRestart) pending = pending || Within(path, folded);
    // The folder that holds the running uninstaller goes with it, after this process; only a
    // file in it that waits for the restart keeps it until then.
    const bool holdsSelf = selfLeft && Within(foldedInstall, folded);
    const RemoveResult result =
        holdsSelf ? RemoveResult::Failed : services.files.RemoveFolder(folder);
    if (result == RemoveResult::Removed || result == RemoveResult::Missing) {
      log.Line({"remove folder ", folder, ": ", ResultText(result)});
    } else if (pending && services.files.RemoveAtRestart(folder)) {
      atRestart.push_back(folded);
      log.Line({"remove folder ", folder, ": removed when Windows restarts"});
    } else if (!holdsSelf) {
      log.Line({"remove folder ", folder, ": kept, not empty"});
    }
  }

  // What could not be removed keeps the installation listed, so the uninstall can be rerun.
  if (failed) return Finish(services, silent, UninstallOutcome::Failed, kFailedText);
  for (const char* parent : {"App Paths", "Uninstall"}) {
    const std::string key(parent[0] == 'A' ? kMainProgram : kUninstallEntryName);
    const long status = DeleteProductKey(services.registry, parent, key);
    log.Line({"registry delete ", parent, "\\", key, status == 0 ? ": ok" : ": failed"});
    if (status != 0) failed = true;
  }
  if (failed) return Finish(services, silent, UninstallOutcome::Failed, kFailedText);
  const bool restart = !atRestart.empty();
  UninstallResult result = Finish(
      services, silent, restart ? UninstallOutcome::RestartNeeded : UninstallOutcome::Removed,
      restart ? kRestartText : kRemovedText);
  if (selfLeft) result.leftInstallFolder = installFolder;
  return result;
}

bool RemoveLeftUninstaller(UninstallServices& services, const std::string& installFolder) {
  const std::string folder = StripTrailingBackslash(installFolder) + "\\";
  if (!InstallFolderAcceptable(folder, SystemFolders(services.folders), services.files)) {
    return false;
  }
  // A setup started meanwhile must not lose its uninstaller: wait for it to end.
  if (services.lock.Acquire(60000) != InstanceLock::Acquired) return false;
  // ... and when it has installed again, the uninstaller is its own.
  if (!ReadAppPath(services.registry, std::string(kMainProgram), "Path").empty()) return false;
  const KnownFolders known = SetUpKnownFolders(services.folders, services.registry,
                                               std::string(kProductFolderName), false);
  const RemoveResult removed = services.files.RemoveFile(folder + "uninstall.exe");
  std::vector<std::string> folders;
  const bool isDefault = Fold(folder) == Fold(known.defaultInstall);
  AddFolderLevels(folders, folder, isDefault ? kProductFolderLevels : 1);
  for (const std::string& level : folders) services.files.RemoveFolder(level);
  return removed == RemoveResult::Removed || removed == RemoveResult::Missing;
}

}  // namespace corvane
