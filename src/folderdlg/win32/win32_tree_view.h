// TreeView on a tree-view control: one message per operation.
#pragma once

#include <windows.h>

#include "folderdlg/chooser_platform.h"

namespace corvane {

class Win32TreeView : public TreeView {
 public:
  explicit Win32TreeView(HWND tree) : tree_(tree) {}

  TreeNode Insert(TreeNode parent, const std::string& text, NodeImage image,
                  InsertAt where) override;
  void Delete(TreeNode node) override;
  TreeNode FirstChild(TreeNode node) override;
  TreeNode NextSibling(TreeNode node) override;
  TreeNode Parent(TreeNode node) override;
  TreeNode Selection() override;
  std::string Text(TreeNode node) override;
  void SetSelectedState(TreeNode node) override;
  void Select(TreeNode node) override;
  void Expand(TreeNode node) override;
  void EnsureVisible(TreeNode node) override;

 private:
  HWND tree_;
};

}  // namespace corvane
