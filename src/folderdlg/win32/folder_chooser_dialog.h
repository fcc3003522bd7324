// The folder chooser dialog (template IDD_CHOOSER): a tree of drives and folders.
#pragma once

#include <windows.h>

#include <string>

namespace corvane {

// Shows the application message box with `text` and an OK button.
using ChooserMessage = void (*)(const std::string& text);

// Runs the chooser modally over `parent`. `chooserPath` is the starting folder on entry (a
// folder path ending with a backslash) and, when the user leaves with OK, the path of the
// chosen node (also ending with a backslash). Without `showFreeSpace` the free-space field
// stays empty. `showMessage` puts up the program's message
// boxes (a drive that cannot be read). True on OK; false on Cancel, Esc or the close box, in
// which case `chooserPath` is left as it came in.
bool RunFolderChooser(HWND parent, bool showFreeSpace, std::string& chooserPath,
                      ChooserMessage showMessage);

}  // namespace corvane
