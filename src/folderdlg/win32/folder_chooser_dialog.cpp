#include "folderdlg/win32/folder_chooser_dialog.h"

#include <commctrl.h>

#include <optional>

#include "folderdlg/folder_chooser.h"
#include "folderdlg/win32/win32_chooser_file_system.h"
#include "folderdlg/win32/win32_tree_view.h"
#include "resources/resource_ids.h"
#include "system/win32/handle.h"
#include "system/win32/system_library.h"
#include "system/win32/wide.h"
#include "system/win32/window_placement.h"

namespace corvane {
namespace {

constexpr int kDialogId = IDD_CHOOSER;
constexpr int kFreeSpaceId = IDC_CHOOSER_FREE_SPACE;
constexpr int kTreeId = IDC_CHOOSER_TREE;
constexpr int kPathDisplayId = IDC_CHOOSER_PATH_DISPLAY;
constexpr wchar_t kRunProperty[] = L"CorvaneChooserRun";
// Image list order: folder, fixed, removable, CD-ROM, network (see NodeImage).
constexpr int kIconIds[] = {IDI_CHOOSER_FOLDER, IDI_CHOOSER_FIXED, IDI_CHOOSER_REMOVABLE,
                            IDI_CHOOSER_CDROM, IDI_CHOOSER_REMOTE};

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

class Win32ChooserUi : public ChooserUi {
 public:
  Win32ChooserUi(HWND dialog, ChooserMessage showMessage)
      : dialog_(dialog), showMessage_(showMessage) {}

  void ShowMessage(const std::string& text) override { showMessage_(text); }
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
  ChooserMessage showMessage_;
  int waitDepth_ = 0;
  HCURSOR restoreCursor_ = nullptr;
};

// Everything one modal run owns; it lives on RunFolderChooser's stack.
struct ChooserRun {
  ChooserRun(HWND dialog, HWND tree, bool showFreeSpace, ChooserMessage showMessage)
      : treeView(tree), ui(dialog, showMessage), chooser(treeView, fileSystem, ui, showFreeSpace) {}

  Win32TreeView treeView;
  Win32ChooserFileSystem fileSystem;
  Win32ChooserUi ui;
  FolderChooser chooser;
};

struct RunState {
  bool showFreeSpace = false;
  ChooserMessage showMessage = nullptr;
  std::string startPath;
  std::string chosenPath;
  HIMAGELIST images = nullptr;
  // Made at dialog initialisation, when the dialog's window exists.
  std::optional<ChooserRun> run;
  // The tree's own window procedure, under TreeProc.
  WNDPROC treeProc = nullptr;
  // Nesting of messages inside TreeProc.
  int treeDepth = 0;
  // True while the tree handles gaining the focus with nothing selected.
  bool focusWithoutSelection = false;
};

// Keys with which the user moves the tree's caret. Ctrl with an arrow or Page key scrolls
// without moving it, so that is no navigation.
bool IsNavigationKey(UINT message, WPARAM wParam) {
  if (message == WM_CHAR) return wParam >= L' ' && wParam != 0x7F;
  if (message != WM_KEYDOWN || GetKeyState(VK_CONTROL) < 0) return false;
  switch (wParam) {
    case VK_UP:
    case VK_DOWN:
    case VK_LEFT:
    case VK_RIGHT:
    case VK_HOME:
    case VK_END:
    case VK_PRIOR:
    case VK_NEXT:
      return true;
    default:
      return false;
  }
}

// The tree's window procedure, run before the control's own.
LRESULT CALLBACK TreeProc(HWND tree, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* state = static_cast<RunState*>(GetPropW(tree, kRunProperty));
  if (state == nullptr) return DefWindowProcW(tree, message, wParam, lParam);
  const WNDPROC original = state->treeProc;
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(tree, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
    RemovePropW(tree, kRunProperty);
    return CallWindowProcW(original, tree, message, wParam, lParam);
  }
  // Gaining the focus with nothing selected (a start folder that does not exist yet), the
  // control selects its first item by itself. Taken as a choice, that would turn OK into
  // "install on the first drive"; OnNotify reports that one change as the focus pick, which
  // the chooser refuses.
  const bool wasFocusing = state->focusWithoutSelection;
  if (message == WM_SETFOCUS) {
    state->focusWithoutSelection =
        SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0) == 0 || wasFocusing;
  }
  ++state->treeDepth;
  // Told before the control sees the key: with nothing selected the chooser gives the tree the
  // selection the key then moves (see FolderChooser::OnNavigationKey).
  if (state->run && IsNavigationKey(message, wParam)) state->run->chooser.OnNavigationKey();
  const LRESULT result = CallWindowProcW(original, tree, message, wParam, lParam);
  --state->treeDepth;
  state->focusWithoutSelection = wasFocusing;
  // Some versions of the control move the selection without telling (collapsing an ancestor of
  // the selected node): once the control is done with a message, the chooser catches up.
  // Its own questions to the tree count as nested, so they do not start another round.
  if (state->treeDepth == 0 && state->run && message != WM_DESTROY) {
    ++state->treeDepth;
    state->run->chooser.FollowSelection();
    --state->treeDepth;
  }
  return result;
}

HIMAGELIST MakeImageList() {
  CommonControls& cc = Controls();
  if (cc.create == nullptr || cc.replaceIcon == nullptr) return nullptr;
  HIMAGELIST images = cc.create(16, 16, ILC_MASK | ILC_COLOR4, 0, 8);
  if (images == nullptr) return nullptr;
  HINSTANCE instance = GetModuleHandleW(nullptr);
  for (int id : kIconIds) {
    const Icon icon(static_cast<HICON>(
        LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR)));
    cc.replaceIcon(images, -1, icon.Get());
  }
  return images;
}

void InitChooser(HWND dialog, RunState& state) {
  HWND tree = GetDlgItem(dialog, kTreeId);
  SetPropW(tree, kRunProperty, &state);
  state.treeProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(tree, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(TreeProc)));
  SetWindowTextW(dialog, L"Setup Folder");
  state.images = MakeImageList();
  SetWindowLongPtrW(
      tree, GWL_STYLE,
      GetWindowLongPtrW(tree, GWL_STYLE) | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT);
  SendMessageW(tree, TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(state.images));
  state.run->chooser.chooserPath = state.startPath;
  state.run->chooser.Initialise(state.images != nullptr);
  // The template sits at (0, 0): such a dialog opens centred on the screen.
  CenterOnScreen(dialog);
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
    case TVN_SELCHANGINGW:
    case TVN_SELCHANGINGA:
      // The control's own choice on gaining the focus comes while TreeProc handles
      // WM_SETFOCUS, without a mouse or keyboard cause; everything else is a request.
      result = state->run->chooser.OnSelChanging(
          node, state->focusWithoutSelection && notice->action == TVC_UNKNOWN
                    ? FolderChooser::SelectionCause::FocusPick
                    : FolderChooser::SelectionCause::Request);
      break;
    case TVN_SELCHANGEDW:
    case TVN_SELCHANGEDA:
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
      state->run.emplace(dialog, GetDlgItem(dialog, kTreeId), state->showFreeSpace,
                         state->showMessage);
      InitChooser(dialog, *state);
      // The focus is on the tree: FALSE keeps the dialog manager from moving it.
      return FALSE;
    }
    case WM_NOTIFY:
      return OnNotify(dialog, state, reinterpret_cast<const NMHDR*>(lParam));
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

bool RunFolderChooser(HWND parent, bool showFreeSpace, std::string& chooserPath,
                      ChooserMessage showMessage) {
  CommonControls& cc = Controls();
  if (cc.init != nullptr) {
    INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX), ICC_TREEVIEW_CLASSES};
    cc.init(&classes);
  }
  RunState state;
  state.showFreeSpace = showFreeSpace;
  state.showMessage = showMessage;
  state.startPath = chooserPath;
  const INT_PTR result = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kDialogId),
                                         parent, ChooserProc, reinterpret_cast<LPARAM>(&state));
  if (state.images != nullptr && cc.destroy != nullptr) cc.destroy(state.images);
  if (result != IDOK) return false;
  chooserPath = state.chosenPath;
  return true;
}

}  // namespace corvane
