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

// Each outcome's exit status and its words in the log's result line.
struct OutcomeRow {
  SetupOutcome outcome;
  int exitCode;
  const char* text;
};
constexpr OutcomeRow kOutcomes[] = {
    {SetupOutcome::Installed, kExitInstalled, "installed"},
    {SetupOutcome::Declined, kExitDeclined, "not installed"},
    {SetupOutcome::FolderNotWritable, kExitFolderNotWritable, "install folder not writable"},
    {SetupOutcome::ExtractionFailed, kExitExtractionFailed, "installation failed"},
    {SetupOutcome::PlatformRefused, kExitPlatformRefused, "platform not supported"},
    {SetupOutcome::AlreadyRunning, kExitAlreadyRunning,
     "another setup or the uninstaller is running"},
};

// An outcome missing from the table reads as a failed installation.
const OutcomeRow& RowOf(SetupOutcome outcome) {
  for (const OutcomeRow& row : kOutcomes) {
    if (row.outcome == outcome) return row;
  }
  return kOutcomes[3];
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

int ExitCodeFor(SetupOutcome outcome) { return RowOf(outcome).exitCode; }

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
  const int kind = lock == InstanceLock::Busy ? -1 : PlatformKindFor(host.PlatformId());
  if (kind < 0) {
    // One at a time: the first setup goes on undisturbed, and this one never ends unseen.
    if (!unattended && !host.ShowRunningSetup()) host.ShowMessage(kAlreadyRunningText);
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
    const OutcomeRow& row = RowOf(app.outcome);
    host.Log().Line({"result: ", row.text, ", exit code ", std::to_string(row.exitCode)});
  }
  return false;
}

}  // namespace corvane
