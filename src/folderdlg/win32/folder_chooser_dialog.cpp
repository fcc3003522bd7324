#include "folderdlg/win32/folder_chooser_dialog.h"

#include <commctrl.h>

#include <optional>

#include "folderdlg/folder_chooser.h"
#include "folderdlg/win32/win32_chooser_file_system.h"
#include "folderdlg/win32/win32_tree_view.h"
#include "system/win32/system_library.h"
#include "system/win32/wide.h"

namespace corvane {
namespace {

constexpr int kDialogId = 149;
constexpr int kFreeSpaceId = 1001;
constexpr int kTreeId = 1013;
constexpr int kPathDisplayId = 1028;
constexpr UINT kClearSelection = WM_APP + 1;
// Image list order: folder, fixed, removable, CD-ROM, network (see NodeImage).
constexpr int kIconIds[] = {178, 133, 180, 181, 182};

// The common controls are not one of the system's known DLLs, so they are loaded by their
// System32 path rather than imported (a planted copy next to the setup would otherwise run).
// They stay loaded for the life of the process: the tree's window class lives in them.
struct CommonControls {
  using InitFn = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
  using CreateFn = HIMAGELIST(WINAPI*)(int, int, UINT, int, int);
  using ReplaceIconFn = int(WINAPI*)(HIMAGELIST, int, HICON);
  using DestroyFn = BOOL(WINAPI*)(HIMAGELIST);

  CommonControls()
      : library(L"comctl32.dll"),
        init(library.Get<InitFn>("InitCommonControlsEx")),
        create(library.Get<CreateFn>("ImageList_Create")),
        replaceIcon(library.Get<ReplaceIconFn>("ImageList_ReplaceIcon")),
        destroy(library.Get<DestroyFn>("ImageList_Destroy")) {}

  SystemLibrary library;
  InitFn init;
  CreateFn create;
  ReplaceIconFn replaceIcon;
  DestroyFn destroy;
};

CommonControls& Controls() {
  static CommonControls controls;
  return controls;
}

// The application title: the program's file name without its extension.
std::wstring AppTitle() {
  wchar_t path[MAX_PATH] = {};
  const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring title(path, n < MAX_PATH ? n : 0);
  const std::size_t slash = title.find_last_of(L"\\/");
  if (slash != std::wstring::npos) title.erase(0, slash + 1);
  const std::size_t dot = title.rfind(L'.');
  if (dot != std::wstring::npos) title.erase(dot);
  return title;
}

class Win32ChooserUi : public ChooserUi {
 public:
  explicit Win32ChooserUi(HWND dialog) : dialog_(dialog) {}

  void ShowMessage(const std::string& text) override {
    MessageBoxW(GetActiveWindow(), ToWide(text).c_str(), AppTitle().c_str(),
                MB_OK | MB_ICONEXCLAMATION);
  }
  void Beep(std::uint32_t frequency, std::uint32_t duration) override {
    ::Beep(frequency, duration);
  }
  void BeginWait() override {
    if (waitDepth_++ == 0) restoreCursor_ = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
  }
  void EndWait() override {
    if (waitDepth_ > 0 && --waitDepth_ == 0) SetCursor(restoreCursor_);
  }
  void SetPathDisplay(const std::string& text) override {
    SetDlgItemTextW(dialog_, kPathDisplayId, ToWide(text).c_str());
  }
  void SetFreeSpaceText(const std::string& text) override {
    SetDlgItemTextW(dialog_, kFreeSpaceId, ToWide(text).c_str());
  }

 private:
  HWND dialog_;
  int waitDepth_ = 0;
  HCURSOR restoreCursor_ = nullptr;
};

// Everything one modal run owns; it lives on RunFolderChooser's stack.
struct ChooserRun {
  ChooserRun(HWND dialog, HWND tree, int platformKind)
      : treeView(tree), ui(dialog), chooser(treeView, fileSystem, ui, platformKind) {}

  Win32TreeView treeView;
  Win32ChooserFileSystem fileSystem;
  Win32ChooserUi ui;
  FolderChooser chooser;
};

struct RunState {
  int platformKind = 0;
  std::string startPath;
  std::string chosenPath;
  HIMAGELIST images = nullptr;
  // Made at dialog initialisation, when the dialog's window exists.
  std::optional<ChooserRun> run;
};

HIMAGELIST MakeImageList() {
  CommonControls& cc = Controls();
  if (cc.create == nullptr || cc.replaceIcon == nullptr) return nullptr;
  HIMAGELIST images = cc.create(16, 16, ILC_MASK | ILC_COLOR4, 0, 8);
  if (images == nullptr) return nullptr;
  HINSTANCE instance = GetModuleHandleW(nullptr);
  for (int id : kIconIds) {
    HICON icon = static_cast<HICON>(
        LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
    cc.replaceIcon(images, -1, icon);
    if (icon != nullptr) DestroyIcon(icon);
  }
  return images;
}

void InitChooser(HWND dialog, RunState& state) {
  HWND tree = GetDlgItem(dialog, kTreeId);
  SetWindowTextW(dialog, L"Setup Folder");
  state.images = MakeImageList();
  SetWindowLongPtrW(
      tree, GWL_STYLE,
      GetWindowLongPtrW(tree, GWL_STYLE) | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT);
  SendMessageW(tree, TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(state.images));
  state.run->chooser.chooserPath = state.startPath;
  state.run->chooser.Initialise(state.images != nullptr);
  SetFocus(tree);
}

INT_PTR OnNotify(HWND dialog, RunState* state, const NMHDR* header) {
  if (state == nullptr || !state->run || header->idFrom != kTreeId) return FALSE;
  const auto* notice = reinterpret_cast<const NMTREEVIEWW*>(header);
  const TreeNode node = reinterpret_cast<TreeNode>(notice->itemNew.hItem);
  int result;
  switch (header->code) {
    case TVN_ITEMEXPANDINGW:
    case TVN_ITEMEXPANDINGA:
      result = state->run->chooser.OnItemExpanding(node);
      break;
    case TVN_SELCHANGEDW:
    case TVN_SELCHANGEDA:
      if (notice->action == TVC_UNKNOWN && !state->run->treeView.Selecting()) {
        // The control selects its first item by itself when it gains the focus with nothing
        // selected (a start folder that does not exist yet). Taken as a choice, that would
        // turn OK into "install on the first drive"; so it is undone, and OK keeps the start
        // folder until the user picks a node with the mouse or the keyboard.
        if (node != kNoNode) PostMessageW(dialog, kClearSelection, 0, 0);
        result = 0;
        break;
      }
      result = state->run->chooser.OnSelChanged(node);
      break;
    default:
      return FALSE;
  }
  SetWindowLongPtrW(dialog, DWLP_MSGRESULT, result);
  return TRUE;
}

INT_PTR CALLBACK ChooserProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* state = reinterpret_cast<RunState*>(GetWindowLongPtrW(dialog, GWLP_USERDATA));
  switch (message) {
    case WM_INITDIALOG: {
      state = reinterpret_cast<RunState*>(lParam);
      SetWindowLongPtrW(dialog, GWLP_USERDATA, lParam);
      state->run.emplace(dialog, GetDlgItem(dialog, kTreeId), state->platformKind);
      InitChooser(dialog, *state);
      // The focus is on the tree: FALSE keeps the dialog manager from moving it.
      return FALSE;
    }
    case WM_NOTIFY:
      return OnNotify(dialog, state, reinterpret_cast<const NMHDR*>(lParam));
    case kClearSelection:
      SendDlgItemMessageW(dialog, kTreeId, TVM_SELECTITEM, TVGN_CARET, 0);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        if (state != nullptr && state->run && LOWORD(wParam) == IDOK) {
          state->chosenPath = state->run->chooser.chooserPath;
        }
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace

bool RunFolderChooser(HWND parent, int platformKind, std::string& chooserPath) {
  CommonControls& cc = Controls();
  if (cc.init != nullptr) {
    INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX), ICC_TREEVIEW_CLASSES};
    cc.init(&classes);
  }
  RunState state;
  state.platformKind = platformKind;
  state.startPath = chooserPath;
  const INT_PTR result = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kDialogId),
                                         parent, ChooserProc, reinterpret_cast<LPARAM>(&state));
  if (state.images != nullptr && cc.destroy != nullptr) cc.destroy(state.images);
  if (result != IDOK) return false;
  chooserPath = state.chosenPath;
  return true;
}

}  // namespace corvane
