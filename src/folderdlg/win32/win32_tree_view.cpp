#include "folderdlg/win32/win32_tree_view.h"

#include <commctrl.h>

#include "system/win32/wide.h"

namespace corvane {
namespace {

HTREEITEM Item(TreeNode node) { return reinterpret_cast<HTREEITEM>(node); }
TreeNode Node(LRESULT item) { return static_cast<TreeNode>(item); }

}  // namespace

TreeNode Win32TreeView::Insert(TreeNode parent, const std::string& text, NodeImage image,
                               InsertAt where) {
  std::wstring wide = ToWide(text);
  TVINSERTSTRUCTW insert{};
  insert.hParent = parent == kNoNode ? TVI_ROOT : Item(parent);
  insert.hInsertAfter = where == InsertAt::Sorted ? TVI_SORT : TVI_LAST;
  insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
  insert.item.pszText = wide.data();
  insert.item.iImage = static_cast<int>(image);
  insert.item.iSelectedImage = static_cast<int>(image);
  return Node(SendMessageW(tree_, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
}

void Win32TreeView::Delete(TreeNode node) {
  SendMessageW(tree_, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(Item(node)));
}

TreeNode Win32TreeView::FirstChild(TreeNode node) {
  // TVGN_ROOT names the first top-level item; TVGN_CHILD of no item is not answered alike by
  // every version of the control.
  if (node == kNoNode) return Node(SendMessageW(tree_, TVM_GETNEXTITEM, TVGN_ROOT, 0));
  return Node(
      SendMessageW(tree_, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(Item(node))));
}

TreeNode Win32TreeView::NextSibling(TreeNode node) {
  return Node(
      SendMessageW(tree_, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(Item(node))));
}

TreeNode Win32TreeView::Parent(TreeNode node) {
  return Node(
      SendMessageW(tree_, TVM_GETNEXTITEM, TVGN_PARENT, reinterpret_cast<LPARAM>(Item(node))));
}

TreeNode Win32TreeView::Selection() {
  return Node(SendMessageW(tree_, TVM_GETNEXTITEM, TVGN_CARET, 0));
}

std::string Win32TreeView::Text(TreeNode node) {
  wchar_t buffer[260] = {};
  TVITEMW item{};
  item.mask = TVIF_TEXT;
  item.hItem = Item(node);
  item.pszText = buffer;
  item.cchTextMax = 260;
  if (!SendMessageW(tree_, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) return {};
  buffer[259] = L'\0';
  // The control may answer with its own copy of the text instead of filling the buffer.
  return FromWide(item.pszText);
}

void Win32TreeView::SetSelectedState(TreeNode node) {
  TVITEMW item{};
  item.mask = TVIF_STATE;
  item.hItem = Item(node);
  item.state = TVIS_SELECTED;
  item.stateMask = TVIS_SELECTED;
  SendMessageW(tree_, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
}

void Win32TreeView::Select(TreeNode node) {
  SendMessageW(tree_, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(Item(node)));
}

void Win32TreeView::Expand(TreeNode node) {
  SendMessageW(tree_, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(Item(node)));
}

void Win32TreeView::EnsureVisible(TreeNode node) {
  SendMessageW(tree_, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(Item(node)));
}

}  // namespace corvane
