// The setup dialog's behaviour: start-up of the dialog, the three-state OK button and the
// install sequence. Portable; the window it drives is behind SetupView.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/setup_view.h"
#include "payload/extract.h"
#include "payload/file_system.h"
#include "payload/folder_security.h"
#include "payload/secure_folders.h"
#include "system/file_holders.h"
#include "system/known_folders.h"
#include "system/registry.h"
#include "system/shell.h"

namespace corvane {

inline constexpr std::string_view kInstallPrompt = "Install Corvane?";
inline constexpr std::string_view kPreviousInstallQuestion =
    "A previous installation of a Corvane product is found.\r\n\r\nContinue?";
inline constexpr std::string_view kAdminNeededText =
    "Installation Folder needs Administrator Privilege.\r\n\r\nYou can either\r\nRun Setup "
    "Program as Administrator (recommended)\r\nor\r\nSelect another Installation Folder";
inline constexpr std::string_view kSuccessText =
    "The program is successfully installed\r\n\r\nA shortcut (named Corvane) can be found on "
    "Windows Desktop and in \"Programs\" of Windows \"Start\".";
inline constexpr std::string_view kShortcutDescription = "Search and compare file utility";
inline constexpr int kDescriptionGrowth = 80;
// Every installed file gets this last-write time (stored as UTC: Unix time 1376119200).
inline constexpr Timestamp kInstallFileTime{2013, 8, 10, 7, 20, 0};

// Process-wide path strings; folder strings end with a backslash once set (payload/paths.h).
struct GlobalPaths {
  std::string installFolder;
  KnownFolders known;
};

// COM for the calling thread (single-threaded apartment).
class ComApartment {
 public:
  virtual ~ComApartment() = default;
  // True when the apartment was entered and must be left again.
  virtual bool Enter() = 0;
  virtual void Leave() = 0;
};

class SetupLog;

struct SetupServices {
  FileSystem& files;
  ResourceSource& resources;
  RegistryApi& registry;
  KnownFolderSource& folders;
  Shell& shell;
  ComApartment& com;
  FolderSecurity& security;
  SetupLog* log = nullptr;         // where steps skipped without a message are noted (/LOG)
  FileHolders* holders = nullptr;  // asked, with a log, who holds a file the probe could not open
  // Wraps the file system the install writes its files through (the held folders' own), to
  // log each step; null for none.
  std::function<std::unique_ptr<FileSystem>(FileSystem&)> logFiles = nullptr;
};

// What a deployer asked of the install on the command line.
struct InstallSwitches {
  std::string folder;              // /DIR=: the folder of a new installation, as given
  bool closeApplications = false;  // /CLOSEAPPLICATIONS: close the product's programs holding it
  bool rebootOk = false;           // /REBOOTOK: files still held are replaced at the next restart
};

// How a run of the setup ended, as far as the process exit status tells it.
enum class SetupOutcome {
  Declined,           // no install attempt: No to the previous installation, or closed first
  Installed,          // the last attempt installed the product
  InstalledAtRestart,  // installed, with files in use replaced when the system next starts
  FolderNotWritable,  // the last attempt could not create or write the install folder
  ExtractionFailed,   // the last attempt could not expand or write the product's files
  PlatformRefused,    // neither the Windows 95/98 nor the NT family
  AlreadyRunning,     // another setup or the uninstaller was running: nothing done
};

// http://<update host>/init.asp?P=2&V=6.1
std::string UpdatePageAddress();

// The eleven targets, in payload order.
std::vector<std::string> InstallFileList(const GlobalPaths& paths);

class SetupLogic {
 public:
  SetupLogic(SetupView& view, SetupServices& services, GlobalPaths& paths)
      : view_(view), services_(services), paths_(paths) {}

  // The dialog's own part of its initialisation: known folders, previous installation,
  // install path and prompt.
  void InitDialog();
  // The OK button: install, open the update page or run the program, by state.
  void OnOk();
  void RunInstall();
  void OpenUpdatePage();
  void RunInstalledProgram();
  // The browse button: runs the chooser from installPathText and takes the folder it returns.
  // `runChooser` gets the start folder (ending with a backslash) and returns true on OK.
  void OpenFolderChooser(const std::function<bool(std::string& chooserPath)>& runChooser);

  std::string descriptionText;
  std::string installPathText;
  std::string fileVersionText;
  InstallSwitches switches;  // set before InitDialog
  int state = 0;  // 0 install pending, 1 installed, 2 update page opened
  int busy = 0;   // 1 while RunInstall runs
  SetupOutcome outcome = SetupOutcome::Declined;  // of the last RunInstall
  // The product's programs closed for the install (/CLOSEAPPLICATIONS) that asked to be started
  // again; the caller starts them, as it starts anything.
  std::vector<std::string> programsToRestart;

 private:
  void PushDescription();
  // The steps of an install attempt up to its files: each gives the outcome that ends the
  // attempt, or Installed to go on.
  SetupOutcome CheckTargetFolders();
  SetupOutcome PrepareInstallFolder(FolderPins& pins);
  SetupOutcome PrepareDataFolders(FolderPins& pins);
  SetupOutcome WriteProductFiles(FolderPins& pins);
  bool InstallFolderWritable(FileSystem& files);
  void LogFileHolders(std::vector<FileHolder>& holders);
  bool CloseProductPrograms(const std::vector<FileHolder>& holders);
  void Note(std::initializer_list<std::string_view> parts);
  bool TargetFoldersAbsolute();
  void CreateShortcut(const std::string& folder, std::string_view where);
  void ShowInstalledLook();
  void RegisterProduct();

  SetupView& view_;
  SetupServices& services_;
  GlobalPaths& paths_;
  bool replaceHeldAtRestart_ = false;  // this attempt may leave files in use to the restart
};

}  // namespace corvane
