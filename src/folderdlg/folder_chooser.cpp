#include "folderdlg/folder_chooser.h"

#include <string>

#include "system/scoped_call.h"

namespace corvane {
namespace {

constexpr std::uint32_t kKbLimit = 0xFFFF0000u;
constexpr std::uint32_t kMbThresholdKb = 8192;

// Keeps the wait cursor up for the lifetime of the guard, whichever way the scope is left.
using WaitCursor = ScopedCall<ChooserUi, &ChooserUi::BeginWait, &ChooserUi::EndWait>;

// The drives the tree lists, with their images; other types (no root, RAM disks, unknown) are
// left out.
struct DriveRow {
  DriveType type;
  NodeImage image;
};
constexpr DriveRow kListedDrives[] = {
    {DriveType::Fixed, NodeImage::FixedDrive},
    {DriveType::Removable, NodeImage::RemovableDrive},
    {DriveType::Remote, NodeImage::RemoteDrive},
    {DriveType::CdRom, NodeImage::CdRomDrive},
};

bool IsListedFolder(const DirEntry& entry) {
  if (entry.name == "." || entry.name == "..") return false;
  if ((entry.attributes & kAttrDirectory) == 0) return false;
  return (entry.attributes & kAttrSystem) == 0;
}

}  // namespace

std::string FreeSpaceText(const DiskFreeSpace& space) {
  // Computed from bytes, so volumes with clusters under 1 KB do not read as 0KB free.
  const std::uint64_t bytesPerCluster =
      std::uint64_t{space.sectorsPerCluster} * std::uint64_t{space.bytesPerSector};
  // Exact below 2^53, which is far beyond the limit; the limit keeps the value in 32 bits.
  const double freeKbExact =
      static_cast<double>(space.freeClusters) * static_cast<double>(bytesPerCluster) / 1024.0;
  if (freeKbExact >= static_cast<double>(kKbLimit)) return {};
  const auto freeKb =
      static_cast<std::uint32_t>(std::uint64_t{space.freeClusters} * bytesPerCluster / 1024u);
  if (freeKb < kMbThresholdKb) return std::to_string(freeKb) + "KB free";
  return std::to_string(freeKb / 1024u) + "MB free";
}

std::string DriveLabel(const std::string& driveName, bool haveVolumeName,
                       const std::string& volumeName) {
  if (!haveVolumeName) return driveName;
  return volumeName + " (" + driveName + ")";
}

void FolderChooser::Initialise(bool haveImageList) {
  if (!haveImageList) ui_.Beep(99, 99);
  FillDriveList();
  SelectStartFolder();
}

void FolderChooser::FillDriveList() {
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    const std::string driveName{letter, ':'};
    const std::string root = driveName + "\\";
    const DriveType type = fs_.DriveTypeOf(root);
    // The volume is asked for every letter before its type is looked at.
    std::string volumeName;
    const bool haveVolumeName = fs_.VolumeName(root, volumeName);
    const std::string label = DriveLabel(driveName, haveVolumeName, volumeName);
    for (const DriveRow& listed : kListedDrives) {
      if (listed.type != type) continue;
      const TreeNode node = tree_.Insert(kNoNode, label, listed.image, InsertAt::Last);
      if (node != kNoNode) tree_.Insert(node, std::string(), listed.image, InsertAt::Last);
    }
  }
}

bool FolderChooser::InsertSubfolders(TreeNode node) {
  WaitCursor wait(ui_);
  const std::string folder = GetNodePath(node);
  const std::string pattern = folder + "*.*";
  auto enumeration = fs_.Enumerate(pattern);
  if (!enumeration) {
    ui_.ShowMessage("Error Drive: " + pattern.substr(0, 2) + "\r\nCorrect and try again");
    return false;
  }
  DirEntry entry;
  while (enumeration->Next(entry)) {
    if (!IsListedFolder(entry)) continue;
    const TreeNode child = tree_.Insert(node, entry.name, NodeImage::Folder, InsertAt::Sorted);
    if (child != kNoNode && HasSubfolders(folder + entry.name)) {
      tree_.Insert(child, std::string(), NodeImage::Folder, InsertAt::Last);
    }
  }
  return true;
}

bool FolderChooser::HasSubfolders(const std::string& folderPath) {
  auto enumeration = fs_.Enumerate(folderPath + "\\*.*");
  if (!enumeration) return false;
  DirEntry entry;
  while (enumeration->Next(entry)) {
    if (IsListedFolder(entry)) return true;
  }
  return false;
}

std::string FolderChooser::GetNodeName(TreeNode node) {
  std::string text = tree_.Text(node);
  if (tree_.Parent(node) != kNoNode) return text;
  // A drive node's label ends with the drive name in parentheses: "System (C:)".
  if (text.size() >= 3) return text.substr(text.size() - 3, 2);
  return text;
}

std::string FolderChooser::GetNodePath(TreeNode node) {
  std::string path;
  for (TreeNode n = node; n != kNoNode; n = tree_.Parent(n)) {
    path = GetNodeName(n) + "\\" + path;
  }
  return path;
}

void FolderChooser::ReadIfUnread(TreeNode node) {
  const TreeNode first = tree_.FirstChild(node);
  if (first == kNoNode || !IsPlaceholder(first)) return;
  tree_.Delete(first);
  InsertSubfolders(node);
}

TreeNode FolderChooser::FindChildNode(TreeNode parent, const std::string& name, bool expand) {
  TreeNode match = kNoNode;
  for (TreeNode n = tree_.FirstChild(parent); n != kNoNode; n = tree_.NextSibling(n)) {
    if (fs_.SameName(GetNodeName(n), name)) {
      match = n;
      break;
    }
  }
  if (match == kNoNode) return kNoNode;
  if (expand) {
    // Read before expanding, so the expanding notification finds real children.
    ReadIfUnread(match);
    tree_.Expand(match);
  }
  return match;
}

TreeNode FolderChooser::ExpandPath(std::string path) {
  TreeNode current = kNoNode;
  while (!path.empty()) {
    const std::size_t slash = path.find('\\');
    std::string component;
    if (slash == std::string::npos) {
      component = std::move(path);
      path.clear();
    } else {
      component = path.substr(0, slash);
      path.erase(0, slash + 1);
    }
    current = FindChildNode(current, component, !path.empty());
  }
  return current;
}

void FolderChooser::SelectStartFolder() {
  const TreeNode node = ExpandPath(chooserPath);
  if (node != kNoNode) {
    tree_.SetSelectedState(node);
    tree_.Select(node);
  }
  const TreeNode selection = tree_.Selection();
  if (selection != kNoNode) tree_.EnsureVisible(selection);
}

int FolderChooser::OnItemExpanding(TreeNode node) {
  if (node != kNoNode) ReadIfUnread(node);
  return 0;
}

int FolderChooser::OnSelChanging(TreeNode /*node*/, SelectionCause cause) {
  // Without a start folder in the tree, the control's own pick on gaining the focus would turn
  // OK into "install on the first drive" although the user chose nothing; only that one is
  // refused. Every selection someone asks for counts, and a key press gets one of its own.
  return cause == SelectionCause::FocusPick ? 1 : 0;
}

void FolderChooser::OnNavigationKey() {
  // With the focus-time pick refused, a tree without a selection has no caret, and the control
  // moves its caret only from one it has: arrows, Home, End and the Page keys would do nothing
  // at all. So the first item becomes the selection (a real one: the user pressed a key in the
  // tree), just where the control would have put its caret on gaining the focus, and the
  // control then acts on the key from there: Home stays on it, End goes to the last item, Down
  // to the next one, a character searches onwards. Characters get the same start so that the
  // search does not depend on whether a version of the control searches without a caret.
  if (tree_.Selection() != kNoNode) return;
  const TreeNode first = tree_.FirstChild(kNoNode);
  if (first == kNoNode) return;
  tree_.Select(first);
  tree_.EnsureVisible(first);
}

int FolderChooser::OnSelChanged(TreeNode node) {
  reported_ = node;
  // A change to "no selection" keeps the last chosen path rather than an empty one.
  if (node != kNoNode) chooserPath = GetNodePath(node);
  const TreeNode selection = tree_.Selection();
  if (selection != kNoNode) {
    ui_.SetPathDisplay(GetNodePath(selection));
    if (showFreeSpace_) ui_.SetFreeSpaceText(GetFreeSpaceText(chooserPath));
  }
  return 0;
}

void FolderChooser::FollowSelection() {
  const TreeNode selection = tree_.Selection();
  if (selection != reported_) OnSelChanged(selection);
}

std::string FolderChooser::GetFreeSpaceText(const std::string& path) {
  const std::string root = path.size() > 3 ? path.substr(0, 3) : path;
  DiskFreeSpace space;
  if (!fs_.FreeSpace(root, space)) return {};
  return FreeSpaceText(space);
}

}  // namespace corvane
