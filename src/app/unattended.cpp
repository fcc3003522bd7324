#include "app/unattended.h"

#include <utility>

#include "payload/paths.h"
#include "system/text.h"

namespace corvane {
namespace {

// Shortcuts are made; programs and pages are never opened.
class UnattendedShell final : public Shell {
 public:
  UnattendedShell(Shell& inner, SetupLog& log) : inner_(inner), log_(log) {}
  long CreateShortcut(const std::string& target, const std::string& linkPath,
                      const std::string& description, const std::string& arguments) override {
    const long status = inner_.CreateShortcut(target, linkPath, description, arguments);
    log_.Line({"shortcut ", linkPath, " to ", target, ": ", StatusText(status)});
    return status;
  }
  ShellStart OpenPage(const std::string& address, WindowRef) override {
    log_.Line({"open ", address, ": not done (unattended)"});
    return {};
  }
  ShellStart Launch(const std::string& path, const std::string&, int) override {
    log_.Line({"start ", path, ": not done (unattended)"});
    return {};
  }
  std::string RawVersionString(const std::string& name) override {
    return inner_.RawVersionString(name);
  }

 private:
  Shell& inner_;
  SetupLog& log_;
};

}  // namespace

std::string UnattendedView::Text(int id) {
  return id == kIdInstallPath ? installPath_ : std::string();
}

void UnattendedView::SetText(int id, const std::string& text) {
  if (id == kIdInstallPath) {
    installPath_ = text;
    log_.Line({"install folder: ", text});
  } else if (id == kIdDescription) {
    log_.Line({"dialog text: ", text});
  }
}

Answer UnattendedView::Ask(std::string_view text, Buttons buttons) {
  const bool question = buttons == Buttons::YesNo;
  log_.Line({"message: ", text, question ? " -> Yes" : " -> OK"});
  return question ? Answer::Yes : Answer::Ok;
}

SetupOutcome RunUnattendedInstall(SetupServices& services, GlobalPaths& paths,
                                  const InstallSwitches& switches, SetupLog& log) {
  const auto files = MakeLoggingFileSystem(services.files, log);
  const auto registry = MakeLoggingRegistry(services.registry, log);
  UnattendedShell shell(services.shell, log);
  const auto security = MakeLoggingFolderSecurity(services.security, log);
  SetupServices logged{*files,       services.resources, *registry, services.folders, shell,
                       services.com, *security,          &log,      services.holders};
  // The install's own file work, done in the held folders, is logged as well.
  logged.logFiles = [&log](FileSystem& inner) { return MakeLoggingFileSystem(inner, log); };
  UnattendedView view(log);
  SetupLogic logic(view, logged, paths);
  logic.switches = switches;
  logic.InitDialog();
  const std::string asked = StripTrailingBackslash(switches.folder);
  if (!asked.empty() && !SameText(asked, logic.installPathText)) {
    log.Line({"install folder asked for (/DIR=): ", asked, "; a previous installation is in ",
              logic.installPathText, ", and one installation is kept: not installed"});
    return SetupOutcome::FolderNotWritable;
  }
  if (!view.Ended()) logic.OnOk();
  // The product's programs closed for the install that asked for it are started again, as the
  // signed-in user where one is (the only start an unattended install makes).
  LoggingShell starter(services.shell, log);
  for (const std::string& program : logic.programsToRestart) {
    starter.Launch(program, StripTrailingBackslash(paths.installFolder), kShowNormal);
  }
  return logic.outcome;
}

}  // namespace corvane
