// In-memory tree control, file system and user interface for the folder chooser's tests.
#pragma once

#include <algorithm>
#include <cctype>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "folderdlg/chooser_platform.h"
#include "folderdlg/folder_chooser.h"
#include "host/folderdlg/names_ignoring_case.h"

namespace corvane::testing {

class FakeTree : public TreeView {
 public:
  struct Item {
    TreeNode parent = kNoNode;
    std::string text;
    NodeImage image = NodeImage::Folder;
    bool expanded = false;
    bool selectedState = false;
    std::vector<TreeNode> children;
  };

  // What the control would report to the dialog. A nonzero answer to onSelChanging keeps the
  // selection as it is.
  std::function<int(TreeNode, FolderChooser::SelectionCause)> onSelChanging;
  std::function<void(TreeNode)> onSelChanged;
  std::function<void(TreeNode)> onItemExpanding;

  TreeNode Insert(TreeNode parent, const std::string& text, NodeImage image,
                  InsertAt where) override {
    const TreeNode node = next_++;
    items_[node] = Item{parent, text, image, false, false, {}};
    auto& siblings = ChildList(parent);
    auto pos = siblings.end();
    if (where == InsertAt::Sorted) {
      pos = std::find_if(siblings.begin(), siblings.end(),
                         [&](TreeNode n) { return Lower(items_[n].text) > Lower(text); });
    }
    siblings.insert(pos, node);
    return node;
  }
  void Delete(TreeNode node) override {
    for (TreeNode child : std::vector<TreeNode>(items_.at(node).children)) Delete(child);
    auto& siblings = ChildList(items_.at(node).parent);
    siblings.erase(std::find(siblings.begin(), siblings.end(), node));
    if (selection_ == node) selection_ = kNoNode;
    items_.erase(node);
    ++deletions;
  }
  TreeNode FirstChild(TreeNode node) override {
    const auto& list = ChildList(node);
    return list.empty() ? kNoNode : list.front();
  }
  TreeNode NextSibling(TreeNode node) override {
    const auto& list = ChildList(items_.at(node).parent);
    auto it = std::find(list.begin(), list.end(), node);
    return (it == list.end() || ++it == list.end()) ? kNoNode : *it;
  }
  TreeNode Parent(TreeNode node) override { return items_.at(node).parent; }
  TreeNode Selection() override { return selection_; }
  std::string Text(TreeNode node) override { return items_.at(node).text.substr(0, 259); }
  void SetSelectedState(TreeNode node) override { items_.at(node).selectedState = true; }
  void Select(TreeNode node) override { Move(node, FolderChooser::SelectionCause::Request); }
  void Expand(TreeNode node) override {
    if (onItemExpanding) onItemExpanding(node);
    items_.at(node).expanded = true;
    ++expandRequests;
  }
  void EnsureVisible(TreeNode node) override { ensuredVisible.push_back(node); }

  // Gains the keyboard focus as the control does: with nothing selected, it picks its first
  // item by itself.
  void GainFocus() {
    if (selection_ == kNoNode && !roots_.empty()) {
      Move(roots_.front(), FolderChooser::SelectionCause::FocusPick);
    }
  }
  // A navigation key as the control handles it: from its selection, and only with one.
  void KeyTo(TreeNode node) {
    if (selection_ != kNoNode) Move(node, FolderChooser::SelectionCause::Request);
  }

  // Collapses `node` as some versions of the control do: a selection below it moves to it
  // without any notification.
  void CollapseQuietly(TreeNode node) {
    items_.at(node).expanded = false;
    for (TreeNode n = selection_; n != kNoNode; n = items_.at(n).parent) {
      if (items_.at(n).parent == node) selection_ = node;
    }
  }

  // Test helpers.
  const Item& At(TreeNode node) const { return items_.at(node); }
  std::vector<TreeNode> Children(TreeNode node) { return ChildList(node); }
  std::vector<std::string> ChildTexts(TreeNode node) {
    std::vector<std::string> texts;
    for (TreeNode n : ChildList(node)) texts.push_back(items_.at(n).text);
    return texts;
  }
  // The child of `parent` with this exact text, or kNoNode.
  TreeNode Find(TreeNode parent, const std::string& text) {
    for (TreeNode n : ChildList(parent)) {
      if (items_.at(n).text == text) return n;
    }
    return kNoNode;
  }
  bool HasPlaceholder(TreeNode node) {
    const auto& list = ChildList(node);
    return !list.empty() && items_.at(list.front()).text.empty();
  }

  int deletions = 0;
  int expandRequests = 0;
  std::vector<TreeNode> ensuredVisible;

 private:
  void Move(TreeNode node, FolderChooser::SelectionCause cause) {
    if (onSelChanging && onSelChanging(node, cause) != 0) return;
    selection_ = node;
    if (onSelChanged) onSelChanged(node);
  }
  static std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
  }
  std::vector<TreeNode>& ChildList(TreeNode node) {
    return node == kNoNode ? roots_ : items_.at(node).children;
  }

  std::map<TreeNode, Item> items_;
  std::vector<TreeNode> roots_;
  TreeNode selection_ = kNoNode;
  TreeNode next_ = 0x100;
};

// Folders and files by full path ("C:\Data\Projects"); a drive's root is its drive name.
class FakeChooserFs : public ChooserFileSystem {
 public:
  struct Drive {
    DriveType type = DriveType::NoRootDir;
    std::optional<std::string> volumeName;   // nullopt: the volume query fails
    std::optional<DiskFreeSpace> freeSpace;  // nullopt: the free-space query fails
    bool ready = true;                       // false: no medium, nothing can be listed
  };

  void AddDrive(char letter, Drive drive) { drives_[letter] = std::move(drive); }
  // Adds an entry below its parent folder (which must have been added, or be a root).
  void Add(const std::string& path, std::uint32_t attributes = kAttrDirectory) {
    entries_[Parent(path)].push_back(DirEntry{path.substr(path.rfind('\\') + 1), attributes});
  }
  void MakeUnlistable(const std::string& folder) { unlistable_.insert(folder); }

  DriveType DriveTypeOf(const std::string& rootPath) override {
    calls.push_back("type " + rootPath);
    auto it = drives_.find(rootPath[0]);
    return it == drives_.end() ? DriveType::NoRootDir : it->second.type;
  }
  bool VolumeName(const std::string& rootPath, std::string& name) override {
    calls.push_back("volume " + rootPath);
    auto it = drives_.find(rootPath[0]);
    if (it == drives_.end() || !it->second.volumeName || !it->second.ready) return false;
    name = *it->second.volumeName;
    return true;
  }
  std::unique_ptr<DirEnumeration> Enumerate(const std::string& pattern) override {
    ++enumerations[pattern];
    const std::string suffix = "\\*.*";
    if (pattern.size() < suffix.size() ||
        pattern.compare(pattern.size() - suffix.size(), suffix.size(), suffix) != 0) {
      return nullptr;
    }
    const std::string folder = pattern.substr(0, pattern.size() - suffix.size());
    auto drive = drives_.find(folder[0]);
    if (drive == drives_.end() || !drive->second.ready || unlistable_.count(folder)) {
      return nullptr;
    }
    const bool isRoot = folder.size() == 2;
    if (!isRoot && !IsKnownFolder(folder)) return nullptr;
    std::vector<DirEntry> list;
    if (!isRoot) {
      list.push_back({".", kAttrDirectory});
      list.push_back({"..", kAttrDirectory});
    }
    auto it = entries_.find(folder);
    if (it != entries_.end()) list.insert(list.end(), it->second.begin(), it->second.end());
    return std::make_unique<Listing>(std::move(list));
  }
  bool FreeSpace(const std::string& rootPath, DiskFreeSpace& space) override {
    freeSpaceRoots.push_back(rootPath);
    auto it = drives_.find(rootPath[0]);
    if (it == drives_.end() || !it->second.freeSpace) return false;
    space = *it->second.freeSpace;
    return true;
  }
  // The portable table stands in for the system's case mapping.
  bool SameName(const std::string& a, const std::string& b) override {
    return NamesEqualIgnoringCase(a, b);
  }

  std::vector<std::string> calls;
  std::map<std::string, int> enumerations;
  std::vector<std::string> freeSpaceRoots;

 private:
  class Listing : public DirEnumeration {
   public:
    explicit Listing(std::vector<DirEntry> list) : list_(std::move(list)) {}
    bool Next(DirEntry& entry) override {
      if (next_ >= list_.size()) return false;
      entry = list_[next_++];
      return true;
    }

   private:
    std::vector<DirEntry> list_;
    std::size_t next_ = 0;
  };

  static std::string Parent(const std::string& path) { return path.substr(0, path.rfind('\\')); }
  bool IsKnownFolder(const std::string& folder) {
    auto it = entries_.find(Parent(folder));
    if (it == entries_.end()) return false;
    const std::string name = folder.substr(folder.rfind('\\') + 1);
    return std::any_of(it->second.begin(), it->second.end(), [&](const DirEntry& e) {
      return e.name == name && (e.attributes & kAttrDirectory);
    });
  }

  std::map<char, Drive> drives_;
  std::map<std::string, std::vector<DirEntry>> entries_;
  std::set<std::string> unlistable_;
};

class FakeChooserUi : public ChooserUi {
 public:
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  void Beep(std::uint32_t frequency, std::uint32_t duration) override {
    beeps.push_back({frequency, duration});
  }
  void BeginWait() override {
    ++waitDepth;
    ++waitsBegun;
  }
  void EndWait() override { --waitDepth; }
  void SetPathDisplay(const std::string& text) override { pathDisplay = text; }
  void SetFreeSpaceText(const std::string& text) override {
    freeSpaceText = text;
    ++freeSpaceUpdates;
  }

  std::vector<std::string> messages;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> beeps;
  int waitDepth = 0;
  int waitsBegun = 0;
  std::string pathDisplay;
  std::string freeSpaceText;
  int freeSpaceUpdates = 0;
};

}  // namespace corvane::testing
