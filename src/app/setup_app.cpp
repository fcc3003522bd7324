#include "app/setup_app.h"

#include "system/exit_codes.h"
#include "system/text.h"

namespace corvane {

Platform PlatformFor(unsigned long platformId) {
  if (platformId & 2u) return Platform::WindowsNt;
  if (platformId & 1u) return Platform::Windows9x;
  return Platform::Unknown;
}

namespace {

// Each outcome's exit code and its words in the log's last line.
struct OutcomeRow {
  int exitCode;
  const char* text;
};

OutcomeRow RowFor(SetupOutcome outcome) {
  switch (outcome) {
    case SetupOutcome::Installed:
      return {kExitSuccess, "installed"};
    case SetupOutcome::InstalledAtRestart:
      return {kExitRestartRequired, "installed, the files in use are replaced at the next restart"};
    case SetupOutcome::Declined:
      return {kExitUserExit, "not installed"};
    case SetupOutcome::FolderNotWritable:
      return {kExitAccessDenied, "install folder not writable"};
    case SetupOutcome::PlatformRefused:
      return {kExitPlatformUnsupported, "platform not supported"};
    case SetupOutcome::AlreadyRunning:
      return {kExitAlreadyRunning, "another setup or the uninstaller is running"};
    case SetupOutcome::ExtractionFailed:
      break;
  }
  return {kExitInstallFailure, "installation failed"};
}

}  // namespace

SetupOptions ParseArguments(const std::vector<std::string>& args) {
  SetupOptions options;
  for (const std::string& arg : args) {
    if (SameText(arg, "/S")) {
      options.unattended = true;
    } else if (StartsWithText(arg, "/LOG=")) {
      options.logPath = arg.substr(5);
    } else if (StartsWithText(arg, "/DIR=")) {
      options.install.folder = arg.substr(5);
    } else if (SameText(arg, "/CLOSEAPPLICATIONS")) {
      options.install.closeApplications = true;
    } else if (SameText(arg, "/REBOOTOK")) {
      options.install.rebootOk = true;
    }
  }
  return options;
}

int ExitCodeFor(SetupOutcome outcome) { return RowFor(outcome).exitCode; }

bool Start(SetupApp& app, StartHost& host) {
  const bool unattended = app.options.unattended;
  // The interactive setup logs too when asked to: what it starts, and how it ended.
  const bool logged = unattended || !app.options.logPath.empty();
  if (logged) host.Log().Line(unattended ? "Corvane setup, unattended install" : "Corvane setup");
  if (logged) host.Log().Line(RedirectionGuardText(app.redirectionGuarded));
  const InstanceLock lock = host.LockInstance();
  if (logged) host.Log().Line({"setup lock held: ", host.LockHeld()});
  if (lock == InstanceLock::Unguarded && logged) {
    host.Log().Line("setup lock: its name is held by an object no administrator made; going on");
  }
  if (lock == InstanceLock::Busy) {
    // One at a time: the first setup goes on undisturbed, and this one never ends unseen.
    if (!unattended && !host.ShowRunningSetup()) host.ShowMessage(kAlreadyRunningText);
    app.outcome = SetupOutcome::AlreadyRunning;
  } else if (const Platform platform = PlatformFor(host.PlatformId());
             platform == Platform::Unknown) {
    if (unattended) {
      host.Log().Line({"message: ", kPlatformRefusal});
    } else {
      host.ShowMessage(kPlatformRefusal);
    }
    app.outcome = SetupOutcome::PlatformRefused;
  } else {
    app.platform = platform;
    app.outcome = unattended ? host.RunUnattended() : host.RunSetupDialog();
  }
  if (logged) {
    host.Log().Line({"result: ", RowFor(app.outcome).text, ", exit code ",
                     std::to_string(ExitCodeFor(app.outcome))});
  }
  return false;
}

}  // namespace corvane
