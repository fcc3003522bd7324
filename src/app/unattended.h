// The unattended install (/S): the install sequence of one OK press without a window. The
// previous-installation question is answered Yes, every message box OK; what would have been
// shown, and every step of the services with its result, goes to a log. Nothing is started
// and no page is opened: it may run with nobody logged on. The interactive setup logs with /LOG
// through LoggingShell (payload/logging_wrappers.h).
#pragma once

#include <string>
#include <string_view>

#include "app/setup_logic.h"
#include "payload/logging_wrappers.h"
#include "system/log.h"

namespace corvane {

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
