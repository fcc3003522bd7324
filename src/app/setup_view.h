// What the setup logic needs of its dialog window. The Win32 dialog implements it; host tests
// use a recording double.
#pragma once

#include <string>
#include <string_view>

#include "resources/resource_ids.h"
#include "system/scoped_call.h"
#include "system/shell.h"

namespace corvane {

// Control ids of the setup dialog (IDD_SETUP).
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kIdIconFrame = IDC_SETUP_ICON_FRAME;
inline constexpr int kIdInstallPath = IDC_SETUP_INSTALL_PATH;
inline constexpr int kIdDescription = IDC_SETUP_DESCRIPTION;
inline constexpr int kIdPathLabel = IDC_SETUP_PATH_LABEL;
inline constexpr int kIdUpdateInfo = IDC_SETUP_UPDATE_INFO;
// The browse button shares its id with the icon frame it covers, so a lookup by id would find
// the frame; the view addresses the button by this id of its own.
inline constexpr int kBrowseButton = 0x10000 | kIdIconFrame;

enum class Buttons { Ok, YesNo };
// Values as the system's message box returns them.
enum class Answer : int { None = 0, Ok = 1, Cancel = 2, Yes = 6, No = 7 };

class SetupView {
 public:
  virtual ~SetupView() = default;
  virtual std::string Text(int id) = 0;
  virtual void SetText(int id, const std::string& text) = 0;
  virtual void Show(int id, bool visible) = 0;
  virtual void Enable(int id, bool enabled) = 0;
  // Moves the description control's top edge up by `pixels` device pixels and repaints it.
  virtual void GrowDescriptionUp(int pixels) = 0;
  // An application message box; waits for the answer.
  virtual Answer Ask(std::string_view text, Buttons buttons) = 0;
  virtual void BeginWaitCursor() = 0;
  virtual void EndWaitCursor() = 0;
  // Ends the modal run with `result`.
  virtual void End(int result) = 0;
  virtual WindowRef Window() = 0;
};

// Shows the wait cursor for its lifetime, so every way out of a long operation restores it.
using WaitCursor = ScopedCall<SetupView, &SetupView::BeginWaitCursor, &SetupView::EndWaitCursor>;

}  // namespace corvane
