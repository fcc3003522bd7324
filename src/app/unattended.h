// The unattended install (/S): the install sequence of one OK press without a window. The
// previous-installation question is answered Yes, every message box OK; what would have been
// shown, and every step of the services with its result, goes to a log. Nothing is started
// and no page is opened: it may run with nobody logged on.
#pragma once

#include <string>
#include <string_view>

#include "app/setup_logic.h"
#include "system/log.h"

namespace corvane {

// The interactive setup's shell when a log is asked for: everything passes through, and each
// program or page started is logged with the way it was started.
class LoggingShell final : public Shell {
 public:
  LoggingShell(Shell& inner, SetupLog& log) : inner_(inner), log_(log) {}
  long CreateShortcut(const std::string& target, const std::string& linkPath,
                      const std::string& description, const std::string& arguments) override {
    return inner_.CreateShortcut(target, linkPath, description, arguments);
  }
  ShellStart OpenPage(const std::string& address, WindowRef owner) override;
  ShellStart Launch(const std::string& path, const std::string& folder, int show) override;
  std::string RawVersionString(const std::string& name) override {
    return inner_.RawVersionString(name);
  }

 private:
  Shell& inner_;
  SetupLog& log_;
};

// Stands in for the setup dialog: keeps the install path, answers message boxes and writes
// them to the log.
class UnattendedView final : public SetupView {
 public:
  explicit UnattendedView(SetupLog& log) : log_(log) {}
  bool Ended() const { return ended_; }

  std::string Text(int id) override;
  void SetText(int id, const std::string& text) override;
  void Show(int, bool) override {}
  void Enable(int, bool) override {}
  void GrowDescriptionUp(int) override {}
  Answer Ask(std::string_view text, Buttons buttons) override;
  void BeginWaitCursor() override {}
  void EndWaitCursor() override {}
  void End(int) override { ended_ = true; }
  WindowRef Window() override { return 0; }

 private:
  SetupLog& log_;
  std::string installPath_;
  bool ended_ = false;
};

// Runs the dialog's initialisation and one OK press through logging services; the outcome of
// that install attempt. One installation is kept: a folder asked for (/DIR=) other than a
// previous installation's is refused (FolderNotWritable), since the install would otherwise go
// over the previous one, somewhere else than asked.
SetupOutcome RunUnattendedInstall(SetupServices& services, GlobalPaths& paths,
                                  const InstallSwitches& switches, SetupLog& log);

}  // namespace corvane
