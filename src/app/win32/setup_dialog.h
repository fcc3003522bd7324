// The setup dialog (template IDD_SETUP): the window behind SetupLogic.
#pragma once

#include <windows.h>

#include <string>

#include "app/setup_app.h"
#include "app/setup_logic.h"
#include "system/win32/handle.h"

namespace corvane {

inline constexpr int kSetupDialogTemplate = IDD_SETUP;
inline constexpr int kWindowIconId = IDI_SETUP_WINDOW;
inline constexpr int kBrowseIconId = IDI_SETUP_BROWSE;

class SetupDialog final : public SetupView {
 public:
  SetupDialog(HINSTANCE instance, SetupServices& services, GlobalPaths& paths, Platform platform);
  SetupDialog(const SetupDialog&) = delete;
  SetupDialog& operator=(const SetupDialog&) = delete;

  // Runs the dialog modally; the end result (2 for every way it ends), or -1 when the window
  // could not be created.
  INT_PTR DoModal(HWND parent);

  SetupLogic& logic() { return logic_; }

  // SetupView
  std::string Text(int id) override;
  void SetText(int id, const std::string& text) override;
  void Show(int id, bool visible) override;
  void Enable(int id, bool enabled) override;
  void GrowDescriptionUp(int pixels) override;
  Answer Ask(std::string_view text, Buttons buttons) override;
  void BeginWaitCursor() override;
  void EndWaitCursor() override;
  void End(int result) override;
  WindowRef Window() override;

 private:
  static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  INT_PTR Handle(UINT msg, WPARAM wParam, LPARAM lParam);
  void OnInitDialog();
  void CreateBrowseButton();
  bool OnPaint();
  HWND Control(int id) const;

  HINSTANCE instance_;
  Platform platform_;
  HWND hwnd_ = nullptr;
  HWND browse_ = nullptr;
  HWND frame_ = nullptr;
  HICON windowIcon_ = nullptr;
  Icon browseIcon_;
  int waitDepth_ = 0;
  SetupLogic logic_;
};

}  // namespace corvane
