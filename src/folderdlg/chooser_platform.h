// What the folder chooser needs of the tree control, the file system and the user interface.
// The Windows adapters live in folderdlg/win32; tests use in-memory doubles.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "payload/file_system.h"

namespace corvane {

// A tree item; kNoNode stands for "none" (the null item handle).
using TreeNode = std::uintptr_t;
inline constexpr TreeNode kNoNode = 0;

// Image list positions: the icons are appended in this order.
enum class NodeImage : int {
  Folder = 0,
  FixedDrive = 1,
  RemovableDrive = 2,
  CdRomDrive = 3,
  RemoteDrive = 4,
};

enum class InsertAt { Last, Sorted };

class TreeView {
 public:
  virtual ~TreeView() = default;
  // Inserts below `parent` (kNoNode: at the top level) with the image as normal and selected
  // image; returns the new item or kNoNode.
  virtual TreeNode Insert(TreeNode parent, const std::string& text, NodeImage image,
                          InsertAt where) = 0;
  virtual void Delete(TreeNode node) = 0;
  // First child of `node`; with kNoNode, the first top-level item.
  virtual TreeNode FirstChild(TreeNode node) = 0;
  virtual TreeNode NextSibling(TreeNode node) = 0;
  // kNoNode for a top-level item.
  virtual TreeNode Parent(TreeNode node) = 0;
  virtual TreeNode Selection() = 0;
  // The item's text as read back through a buffer of 260 characters.
  virtual std::string Text(TreeNode node) = 0;
  virtual void SetSelectedState(TreeNode node) = 0;
  // Makes the item the selection; the control reports the change (FolderChooser::OnSelChanged).
  virtual void Select(TreeNode node) = 0;
  // Expands the item; the control reports it first (FolderChooser::OnItemExpanding).
  virtual void Expand(TreeNode node) = 0;
  virtual void EnsureVisible(TreeNode node) = 0;
};

// Attribute bits of a directory entry, as the system reports them.
inline constexpr std::uint32_t kAttrHidden = 0x02;
inline constexpr std::uint32_t kAttrSystem = 0x04;
inline constexpr std::uint32_t kAttrDirectory = 0x10;

struct DirEntry {
  std::string name;
  std::uint32_t attributes = 0;
};

// A running directory enumeration; destroying it closes it.
class DirEnumeration {
 public:
  virtual ~DirEnumeration() = default;
  // The next entry, in the order the system yields them; false at the end.
  virtual bool Next(DirEntry& entry) = 0;
};

struct DiskFreeSpace {
  std::uint32_t sectorsPerCluster = 0;
  std::uint32_t bytesPerSector = 0;
  std::uint32_t freeClusters = 0;
};

class ChooserFileSystem {
 public:
  virtual ~ChooserFileSystem() = default;
  // Drive type of a root such as "C:\".
  virtual DriveType DriveTypeOf(const std::string& rootPath) = 0;
  // Volume name of a root such as "C:\"; false when the query fails.
  virtual bool VolumeName(const std::string& rootPath, std::string& name) = 0;
  // Starts enumerating a pattern such as "C:\Data\*.*"; null when it cannot start.
  virtual std::unique_ptr<DirEnumeration> Enumerate(const std::string& pattern) = 0;
  // Free-space figures of a root such as "C:\"; false when the query fails.
  virtual bool FreeSpace(const std::string& rootPath, DiskFreeSpace& space) = 0;
  // True when two names are equal without regard to letter case, folded as the system folds it.
  virtual bool SameName(const std::string& a, const std::string& b) = 0;
};

class ChooserUi {
 public:
  virtual ~ChooserUi() = default;
  // The application message box with an OK button only.
  virtual void ShowMessage(const std::string& text) = 0;
  virtual void Beep(std::uint32_t frequency, std::uint32_t duration) = 0;
  // The wait cursor is shown between these two calls (they nest).
  virtual void BeginWait() = 0;
  virtual void EndWait() = 0;
  virtual void SetPathDisplay(const std::string& text) = 0;
  virtual void SetFreeSpaceText(const std::string& text) = 0;
};

}  // namespace corvane
