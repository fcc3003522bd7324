#include "app/setup_app.h"

namespace corvane {

int PlatformKindFor(unsigned long platformId) {
  if (platformId & 2u) return 2;
  if (platformId & 1u) return 1;
  return 0;
}

namespace {

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t k = 0; k < prefix.size(); ++k) {
    char c = text[k];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != prefix[k]) return false;
  }
  return true;
}

const char* OutcomeText(SetupOutcome outcome) {
  switch (outcome) {
    case SetupOutcome::Installed:
      return "installed";
    case SetupOutcome::Declined:
      return "not installed";
    case SetupOutcome::FolderNotWritable:
      return "install folder not writable";
    case SetupOutcome::ExtractionFailed:
      return "installation failed";
    case SetupOutcome::PlatformRefused:
      return "platform not supported";
    case SetupOutcome::AlreadyRunning:
      return "another setup or the uninstaller is running";
  }
  return "";
}

}  // namespace

SetupOptions ParseArguments(const std::vector<std::string>& args) {
  SetupOptions options;
  for (const std::string& arg : args) {
    if (arg.size() == 2 && StartsWithNoCase(arg, "/S")) {
      options.unattended = true;
    } else if (StartsWithNoCase(arg, "/LOG=")) {
      options.logPath = arg.substr(5);
    }
  }
  return options;
}

int ExitCodeFor(SetupOutcome outcome) {
  switch (outcome) {
    case SetupOutcome::Installed:
      return kExitInstalled;
    case SetupOutcome::Declined:
      return kExitDeclined;
    case SetupOutcome::FolderNotWritable:
      return kExitFolderNotWritable;
    case SetupOutcome::ExtractionFailed:
      return kExitExtractionFailed;
    case SetupOutcome::PlatformRefused:
      return kExitPlatformRefused;
    case SetupOutcome::AlreadyRunning:
      return kExitAlreadyRunning;
  }
  return kExitExtractionFailed;
}

bool Start(SetupApp& app, StartHost& host) {
  const bool unattended = app.options.unattended;
  // The interactive setup logs too when asked to: what it starts, and how it ended.
  const bool logged = unattended || !app.options.logPath.empty();
  if (logged) host.Log().Line(unattended ? "Corvane setup, unattended install" : "Corvane setup");
  const InstanceLock lock = host.LockInstance();
  if (lock == InstanceLock::Unguarded && logged) {
    host.Log().Line("setup lock: its name is held by an object no administrator made; going on");
  }
  const int kind = lock == InstanceLock::Busy ? -1 : PlatformKindFor(host.PlatformId());
  if (kind < 0) {
    // One at a time: the first setup goes on undisturbed.
    if (!unattended) host.ShowRunningSetup();
    app.outcome = SetupOutcome::AlreadyRunning;
  } else if (kind == 0) {
    if (unattended) {
      host.Log().Line({"message: ", kPlatformRefusal});
    } else {
      host.ShowMessage(kPlatformRefusal);
    }
    app.outcome = SetupOutcome::PlatformRefused;
  } else {
    app.platformKind = kind;
    app.outcome = unattended ? host.RunUnattended() : host.RunSetupDialog();
  }
  if (logged) {
    host.Log().Line({"result: ", OutcomeText(app.outcome), ", exit code ",
                     std::to_string(ExitCodeFor(app.outcome))});
  }
  return false;
}

}  // namespace corvane
