// The folder chooser's logic: a tree of drives and folders read one level at a time.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "folderdlg/chooser_platform.h"

namespace corvane {

// Free-space text of a drive: "%dKB free" below 8192 KB, "%dMB free" from there on, empty at
// 0xFFFF0000 KB or more and when the figures are unknown (query failed).
std::string FreeSpaceText(const DiskFreeSpace& space);

// Drive label: "Name (C:)" when the volume name is known (" (C:)" for an unnamed volume),
// otherwise the drive name alone.
std::string DriveLabel(const std::string& driveName, bool haveVolumeName,
                       const std::string& volumeName);

class FolderChooser {
 public:
  // How the tree comes to move its selection, as far as the dialog can tell.
  enum class SelectionCause {
    // The control picks an item by itself on gaining the focus with nothing selected.
    FocusPick,
    // Everything else: the user with the mouse or the keys, the chooser, another program.
    Request,
  };

  // Without `showFreeSpace` the free-space field is never written.
  FolderChooser(TreeView& tree, ChooserFileSystem& fs, ChooserUi& ui, bool showFreeSpace)
      : tree_(tree), fs_(fs), ui_(ui), showFreeSpace_(showFreeSpace) {}

  // Everything the dialog does before it becomes visible, after the image list was attempted.
  void Initialise(bool haveImageList);

  void FillDriveList();
  void SelectStartFolder();
  TreeNode ExpandPath(std::string path);
  TreeNode FindChildNode(TreeNode parent, const std::string& name, bool expand);
  bool InsertSubfolders(TreeNode node);
  bool HasSubfolders(const std::string& folderPath);
  std::string GetNodeName(TreeNode node);
  std::string GetNodePath(TreeNode node);
  std::string GetFreeSpaceText(const std::string& path);

  // Tree notifications; each returns the notification result (always 0 but for a refused
  // selection change).
  int OnItemExpanding(TreeNode node);
  // The tree is about to move its selection to `node`; nonzero keeps the selection as it is.
  int OnSelChanging(TreeNode node, SelectionCause cause);
  int OnSelChanged(TreeNode node);
  // A navigation key (arrow, Home, End, Page key, character) reached the tree, before the
  // control acts on it.
  void OnNavigationKey();
  // Brings chooserPath and the displays in step with the tree's actual selection when the
  // control has moved it without a notification (as collapsing an ancestor of the selected
  // node does in some versions of the control).
  void FollowSelection();

  std::string chooserPath;

 private:
  bool IsPlaceholder(TreeNode node) { return node != kNoNode && tree_.Text(node).empty(); }
  // Replaces a placeholder first child by the node's real subfolders.
  void ReadIfUnread(TreeNode node);

  TreeView& tree_;
  ChooserFileSystem& fs_;
  ChooserUi& ui_;
  bool showFreeSpace_;
  // The node of the last selection change that OnSelChanged handled.
  TreeNode reported_ = kNoNode;
};

}  // namespace corvane
