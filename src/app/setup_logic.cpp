#include "app/setup_logic.h"

#include <algorithm>

#include "app/product_files.h"
#include "payload/paths.h"
#include "payload/secure_folders.h"
#include "system/log.h"
#include "system/system_folders.h"
#include "system/text.h"

#ifndef CORVANE_UPDATE_HOST
#define CORVANE_UPDATE_HOST "updates.corvane.example"
#endif

namespace corvane {
namespace {

// Extraction reports its failures through the dialog's message boxes.
class ViewErrorReporter final : public ErrorReporter {
 public:
  explicit ViewErrorReporter(SetupView& view) : view_(view) {}
  void ShowError(std::string_view text) override { view_.Ask(text, Buttons::Ok); }

 private:
  SetupView& view_;
};

// The install's file work, relative to the held folders; logged where the run keeps a log.
class HeldFiles {
 public:
  HeldFiles(SetupServices& services, FolderPins& pins)
      : held_(HeldFolderFiles(services.files, pins)),
        logged_(services.logFiles ? services.logFiles(*held_) : nullptr) {}
  FileSystem& Get() { return logged_ ? *logged_ : *held_; }

 private:
  std::unique_ptr<FileSystem> held_, logged_;
};

// Leaves the apartment on every way out, but only when it was entered.
class ComScope {
 public:
  explicit ComScope(ComApartment& com) : com_(com), entered_(com.Enter()) {}
  ~ComScope() { Leave(); }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;
  void Leave() {
    if (entered_) com_.Leave();
    entered_ = false;
  }

 private:
  ComApartment& com_;
  bool entered_;
};

}  // namespace

std::string UpdatePageAddress() {
  return std::string("http://") + CORVANE_UPDATE_HOST + "/init.asp?P=2&V=6.1";
}

std::vector<std::string> InstallFileList(const GlobalPaths& paths) {
  return ProductFileList(paths.installFolder, paths.known.commonData);
}

void SetupLogic::PushDescription() { view_.SetText(kIdDescription, descriptionText); }

void SetupLogic::InitDialog() {
  paths_.known = SetUpKnownFolders(services_.folders, services_.registry,
                                   std::string(kProductFolderName), false);
  // The folder a previous installation recorded; empty when there is none.
  installPathText = ReadAppPath(services_.registry, std::string(kMainProgram), "Path");

  // The install folder is fixed: nothing enables these again.
  view_.Enable(kIdInstallPath, false);
  view_.Enable(kBrowseButton, false);

  if (!installPathText.empty()) {
    if (view_.Ask(kPreviousInstallQuestion, Buttons::YesNo) != Answer::Yes) view_.End(2);
  } else {
    // A new installation: where the deployer asked, else the default folder.
    installPathText = StripTrailingBackslash(switches.folder.empty() ? paths_.known.defaultInstall
                                                                     : switches.folder);
  }
  view_.SetText(kIdInstallPath, installPathText);
  descriptionText = std::string(kInstallPrompt);
  PushDescription();
}

void SetupLogic::OnOk() {
  if (busy) return;
  switch (state) {
    case 0:
      RunInstall();
      break;
    case 1:
      OpenUpdatePage();
      break;
    case 2:
      RunInstalledProgram();
      break;
    default:
      break;
  }
}

// Opens kvx.exe for writing without changing it: a previous installation survives the test,
// while a running copy (which holds the file without write sharing) still makes it fail. Where
// there is no kvx.exe yet, one is created that goes away again when it is closed.
bool SetupLogic::InstallFolderWritable(FileSystem& files) {
  const std::string probePath = paths_.installFolder + std::string(kMainProgram);
  const OpenMode mode =
      PathExists(files, probePath) ? OpenMode::OpenExisting : OpenMode::CreateNewGone;
  return files.OpenForWriting(probePath, ShareMode::Read, mode) != nullptr;
}

// A running copy of the product fails the probe as missing rights do: the log tells deployers
// which programs hold the product's files (`holders`, empty where the system cannot tell).
void SetupLogic::LogFileHolders(std::vector<FileHolder>& holders) {
  if (services_.log == nullptr || services_.holders == nullptr) return;
  if (!services_.holders->Find(InstallFileList(paths_), holders)) {
    holders.clear();
    services_.log->Line("programs holding the product's files: the system cannot tell");
  } else if (holders.empty()) {
    services_.log->Line("programs holding the product's files: none found");
  }
  for (const FileHolder& holder : holders) {
    services_.log->Line({"product's files held open by ", holder.name, ", process ",
                         std::to_string(holder.processId)});
  }
}

void SetupLogic::Note(std::initializer_list<std::string_view> parts) {
  if (services_.log != nullptr) services_.log->Line(parts);
}

// Asks `holders`, as LogFileHolders found them, to close, only when every one of them is one of
// the product's own programs: nothing else is ever closed. The ones that asked to be started
// again are kept for programsToRestart.
bool SetupLogic::CloseProductPrograms(const std::vector<FileHolder>& holders) {
  if (services_.holders == nullptr) return false;
  const std::vector<std::string> files = InstallFileList(paths_);
  if (holders.empty()) {
    Note({"closing programs: the system names none that hold the product's files"});
    return false;
  }
  for (const FileHolder& holder : holders) {
    const bool own = std::any_of(files.begin(), files.end(), [&holder](const std::string& file) {
      return SameText(file, holder.path);
    });
    if (holder.system || !own) {
      Note({"closing programs: ", holder.name, ", process ", std::to_string(holder.processId),
            ", is not one of the product's programs; nothing closed"});
      return false;
    }
  }
  if (!services_.holders->Close(files, holders)) {
    Note({"closing programs: they did not all end"});
    return false;
  }
  for (const FileHolder& holder : holders) {
    Note({"closed ", holder.name, ", process ", std::to_string(holder.processId)});
    if (holder.restartable) programsToRestart.push_back(holder.path);
  }
  return true;
}

// The other folders the install writes into come from the shell; one that it could not supply
// leaves only the product sub-path or a lone backslash, which must not become a folder at the
// root of the current drive.
bool SetupLogic::TargetFoldersAbsolute() {
  const KnownFolders& k = paths_.known;
  return IsAbsolutePath(k.commonData) && IsAbsolutePath(k.work);
}

// The same holds for the shortcuts' folders, but a shortcut is not worth the installation: one
// whose folder the shell could not supply is skipped, and only the log says so.
void SetupLogic::CreateShortcut(const std::string& folder, std::string_view where) {
  const std::string link = folder + std::string(kShortcutFileName);
  if (!IsAbsolutePath(folder)) {
    if (services_.log != nullptr) {
      services_.log->Line(
          {"shortcut ", link, ": not made, the ", where, " folder is not an absolute path"});
    }
    return;
  }
  services_.shell.CreateShortcut(paths_.installFolder + std::string(kMainProgram), link,
                                 std::string(kShortcutDescription), "");
}

void SetupLogic::ShowInstalledLook() {
  descriptionText = std::string(kSuccessText);
  PushDescription();
  view_.Show(kBrowseButton, false);
  view_.SetText(kIdOk, "Next");
  view_.Show(kIdCancel, false);
  view_.GrowDescriptionUp(kDescriptionGrowth);
  view_.Show(kIdInstallPath, false);
  view_.Show(kIdIconFrame, false);
  view_.Show(kIdPathLabel, false);
}

void SetupLogic::RegisterProduct() {
  const std::string& known = paths_.installFolder;
  const KnownFolders& folders = paths_.known;
  const std::string target = known + std::string(kMainProgram);

  ComScope com(services_.com);
  if (IsAbsolutePath(folders.commonDesktop)) {
    services_.files.RemoveFile(folders.commonDesktop + "KVX.lnk");
  }
  const std::string entry(kUninstallEntryName);
  const std::string uninstaller = known + std::string(kUninstallerName);
  WriteUninstallEntry(services_.registry, entry, uninstaller);
  CreateShortcut(folders.commonDesktop, "all-users desktop");
  CreateShortcut(folders.commonPrograms, "all-users programs");
  installPathText = StripTrailingBackslash(known);
  const std::string specialBuild = VersionString(services_.shell, "SpecialBuild");
  fileVersionText = VersionString(services_.shell, "FileVersion");

  const std::string key(kMainProgram);
  WriteAppPath(services_.registry, key, "", target);
  WriteAppPath(services_.registry, key, "ProgramData", StripTrailingBackslash(folders.commonData));
  WriteAppPath(services_.registry, key, "FileVersion", fileVersionText);
  WriteAppPath(services_.registry, key, "Path", StripTrailingBackslash(known));
  WriteAppPath(services_.registry, key, "SpecialBuild", specialBuild);

  // What deployment tools read, beside the entry's first three values.
  UninstallDetails details;
  details.displayVersion = DisplayVersionOf(fileVersionText);
  details.publisher = VersionString(services_.shell, "CompanyName");
  details.installLocation = StripTrailingBackslash(known);
  details.estimatedSizeKb = ExpandedSizeKb(services_.resources.RcData(kPayloadResourceId));
  details.quietUninstallString = QuoteCommandPath(uninstaller) + " /S";
  details.urlUpdateInfo = UpdatePageAddress();
  WriteUninstallDetails(services_.registry, entry, details);
  com.Leave();
}

// A relative or rooted install folder (a "Path" such as "Corvane" or "\") would be taken from
// the current folder, System32 when elevated: it counts as a folder that cannot be written. A
// missing folder for the data files is a failed installation. Both before anything is written.
SetupOutcome SetupLogic::CheckTargetFolders() {
  if (IsAbsolutePath(paths_.installFolder) && !TargetFoldersAbsolute()) {
    return SetupOutcome::ExtractionFailed;
  }
  return SetupOutcome::Installed;
}

// The install folder is checked and held before the probe; nothing has changed in the data
// folder when either fails.
SetupOutcome SetupLogic::PrepareInstallFolder(FolderPins& pins) {
  // A system folder, or one above it, is refused rather than given the product's protection.
  if (!GuardInstallFolder(services_.files, services_.security, pins, paths_.installFolder,
                          paths_.known.defaultInstall, SystemFolders(services_.folders),
                          services_.log)) {
    return SetupOutcome::FolderNotWritable;
  }
  // Any product file found in use while it is replaced may then wait for the restart.
  replaceHeldAtRestart_ = switches.rebootOk;
  if (InstallFolderWritable(HeldFiles(services_, pins).Get())) return SetupOutcome::Installed;
  std::vector<FileHolder> holders;
  LogFileHolders(holders);
  if (switches.closeApplications && CloseProductPrograms(holders) &&
      InstallFolderWritable(HeldFiles(services_, pins).Get())) {
    return SetupOutcome::Installed;
  }
  if (switches.rebootOk) {
    Note({"files in use: replaced at the next restart (/REBOOTOK)"});
    return SetupOutcome::Installed;
  }
  return SetupOutcome::FolderNotWritable;
}

SetupOutcome SetupLogic::PrepareDataFolders(FolderPins& pins) {
  if (!GuardDataFolder(services_.files, services_.security, pins, paths_.known.commonData,
                       services_.log)) {
    return SetupOutcome::ExtractionFailed;
  }
  // The user's own: made with what the profile passes on, and only inside the profile as the
  // system records it for the account (Local AppData comes from the user's registry).
  EnsureUserFolder(services_.security, services_.folders.SpecialFolder(kCsidlProfile),
                   paths_.known.work, services_.log);
  return SetupOutcome::Installed;
}

SetupOutcome SetupLogic::WriteProductFiles(FolderPins& pins) {
  const std::vector<std::string> targets = InstallFileList(paths_);
  ViewErrorReporter reporter(view_);
  HeldFiles files(services_, pins);
  std::vector<std::string> atRestart;
  ExtractServices extract{files.Get(), services_.resources, reporter, services_.log,
                          replaceHeldAtRestart_ ? &atRestart : nullptr};
  if (!ExtractPayload(extract, targets, kInstallFileTime, kPayloadResourceId)) {
    return SetupOutcome::ExtractionFailed;
  }
  return atRestart.empty() ? SetupOutcome::Installed : SetupOutcome::InstalledAtRestart;
}

void SetupLogic::RunInstall() {
  WaitCursor wait(view_);
  busy = 1;
  paths_.installFolder = StripTrailingBackslash(view_.Text(kIdInstallPath)) + "\\";

  // Every folder checked stays held until kvxh.exe is started.
  FolderPins pins;
  outcome = CheckTargetFolders();
  if (outcome == SetupOutcome::Installed) outcome = PrepareInstallFolder(pins);
  if (outcome == SetupOutcome::Installed) outcome = PrepareDataFolders(pins);
  if (outcome == SetupOutcome::Installed) outcome = WriteProductFiles(pins);
  replaceHeldAtRestart_ = false;
  if (outcome != SetupOutcome::Installed && outcome != SetupOutcome::InstalledAtRestart) {
    // A folder that was moved aside gets its name back: the previous installation as it was.
    UndoMovedAside(pins, services_.log);
    pins.clear();
    view_.Ask(outcome == SetupOutcome::FolderNotWritable ? kAdminNeededText : kInstallErrorText,
              Buttons::Ok);
    busy = 0;
    return;
  }
  // Every product file is in place: the data folder levels made shut get the access the
  // product expects. The product is installed either way; the log says when users cannot add
  // files to its data folder.
  if (!OpenShutFolders(pins) && services_.log != nullptr) {
    services_.log->Line({"data folder ", paths_.known.commonData,
                         ": stays shut, users cannot add files to it"});
  }

  ShowInstalledLook();
  RegisterProduct();
  services_.shell.Launch(paths_.installFolder + std::string(kHelperProgram),
                         StripTrailingBackslash(paths_.installFolder), kShowNormal);
  pins.clear();

  state = 1;
  busy = 0;
  view_.Show(kIdUpdateInfo, true);
}

void SetupLogic::OpenUpdatePage() {
  state = 2;
  view_.Enable(kIdOk, false);
  services_.shell.OpenPage(UpdatePageAddress(), view_.Window());
  view_.Enable(kIdOk, true);
  view_.SetText(kIdCancel, "Close");
  view_.Show(kIdCancel, true);
  view_.SetText(kIdOk, "Run Program");
  view_.Show(kIdUpdateInfo, false);
}

void SetupLogic::RunInstalledProgram() {
  services_.shell.Launch(paths_.installFolder + std::string(kMainProgram),
                         StripTrailingBackslash(paths_.installFolder), kShowRestore);
  view_.End(2);
}

void SetupLogic::OpenFolderChooser(
    const std::function<bool(std::string& chooserPath)>& runChooser) {
  std::string chooserPath = installPathText + "\\";
  if (!runChooser(chooserPath)) return;
  installPathText = StripTrailingBackslash(chooserPath);
  view_.SetText(kIdInstallPath, installPathText);
}

}  // namespace corvane
