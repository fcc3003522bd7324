#include <windows.h>

#include <commctrl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "folderdlg/folder_chooser.h"
#include "folderdlg/win32/win32_chooser_file_system.h"
#include "folderdlg/win32/win32_tree_view.h"
#include "host/folderdlg/fake_chooser_platform.h"
#include "system/win32/wide.h"
#include "win32/payload/scratch_folder.h"

namespace corvane {
namespace {

using ::testing::ElementsAre;
using ::testing::UnorderedElementsAre;

const char kUnicodeName[] =
    "\xc3\x9c"
    "ber \xd0\x94\xd0\xb0\xd0\xbd\xd0\xbd\xd1\x8b\xd0\xb5";

using testing::ScratchFolder;

std::string MakeFolder(const std::string& path, DWORD attributes = 0) {
  const std::wstring wide = ToWide(path);
  EXPECT_TRUE(CreateDirectoryW(wide.c_str(), nullptr)) << path;
  EXPECT_TRUE(attributes == 0 || SetFileAttributesW(wide.c_str(), attributes)) << path;
  return path;
}

std::map<std::string, std::uint32_t> ListAll(ChooserFileSystem& fs, const std::string& pattern) {
  std::map<std::string, std::uint32_t> entries;
  auto enumeration = fs.Enumerate(pattern);
  EXPECT_TRUE(enumeration) << pattern;
  if (!enumeration) return entries;
  DirEntry entry;
  while (enumeration->Next(entry)) entries[entry.name] = entry.attributes;
  return entries;
}

TEST(Win32ChooserFileSystemTest, EnumeratesNamesAndAttributesOnTheWideApi) {
  ScratchFolder scratch("chooser");
  MakeFolder(scratch.Path() + "Plain");
  MakeFolder(scratch.Path() + "Hidden", FILE_ATTRIBUTE_HIDDEN);
  MakeFolder(scratch.Path() + "Guarded", FILE_ATTRIBUTE_SYSTEM);
  MakeFolder(scratch.Path() + kUnicodeName);
  ASSERT_TRUE(testing::WriteAll(scratch.Path() + "file.txt", {}));

  Win32ChooserFileSystem fs;
  const auto entries = ListAll(fs, scratch.Path() + "*.*");
  std::vector<std::string> names;
  for (const auto& [name, attributes] : entries) names.push_back(name);
  EXPECT_THAT(names, UnorderedElementsAre(".", "..", "Plain", "Hidden", "Guarded", kUnicodeName,
                                          "file.txt"));
  EXPECT_TRUE(entries.at("Plain") & kAttrDirectory);
  EXPECT_TRUE(entries.at(kUnicodeName) & kAttrDirectory);
  EXPECT_TRUE(entries.at("Hidden") & kAttrHidden);
  EXPECT_TRUE(entries.at("Guarded") & kAttrSystem);
  EXPECT_FALSE(entries.at("file.txt") & kAttrDirectory);
}

TEST(Win32ChooserFileSystemTest, EnumerationThatCannotStart) {
  ScratchFolder scratch("chooser");
  Win32ChooserFileSystem fs;
  EXPECT_FALSE(fs.Enumerate(scratch.Path() + "Missing\\*.*"));
  // An existing folder that holds nothing matching still starts (and yields nothing).
  auto empty = fs.Enumerate(scratch.Path() + "*.txt");
  ASSERT_TRUE(empty);
  DirEntry entry;
  EXPECT_FALSE(empty->Next(entry));
}

TEST(Win32ChooserFileSystemTest, DrivesVolumesAndFreeSpace) {
  Win32ChooserFileSystem fs;
  EXPECT_EQ(fs.DriveTypeOf("C:\\"), DriveType::Fixed);
  std::string volume = "unchanged";
  EXPECT_TRUE(fs.VolumeName("C:\\", volume));
  EXPECT_NE(volume, "unchanged");
  DiskFreeSpace space;
  ASSERT_TRUE(fs.FreeSpace("C:\\", space));
  EXPECT_GT(space.bytesPerSector, 0u);
  EXPECT_GT(space.sectorsPerCluster, 0u);
  EXPECT_FALSE(FreeSpaceText(space).empty());

  // A letter with nothing behind it.
  char unused = 0;
  const DWORD mask = GetLogicalDrives();
  for (char letter = 'Y'; letter > 'D'; --letter) {
    if ((mask & (1u << (letter - 'A'))) == 0) {
      unused = letter;
      break;
    }
  }
  ASSERT_NE(unused, 0);
  const std::string root{unused, ':', '\\'};
  EXPECT_EQ(fs.DriveTypeOf(root), DriveType::NoRootDir);
  EXPECT_FALSE(fs.VolumeName(root, volume));
  EXPECT_FALSE(fs.FreeSpace(root, space));
  EXPECT_FALSE(fs.Enumerate(root + "*.*"));
}

TEST(Win32ChooserFileSystemTest, NamesFoldAsTheSystemFoldsThem) {
  Win32ChooserFileSystem fs;
  struct Pair {
    const char* lower;
    const char* upper;
  };
  const Pair pairs[] = {
      {"program files", "PROGRAM FILES"},
      {"\xc3\xa4rger", "\xc3\x84RGER"},  // Latin-1
      {"\xd0\xb4\xd0\xb0\xd0\xbd\xd0\xbd\xd1\x8b\xd0\xb5",
       "\xd0\x94\xd0\x90\xd0\x9d\xd0\x9d\xd0\xab\xd0\x95"},      // Cyrillic
      {"\xc8\x99i \xc8\x9b", "\xc8\x98I \xc8\x9a"},              // Romanian s, t with comma
      {"\xe1\xba\xa1\xe1\xbb\x87", "\xe1\xba\xa0\xe1\xbb\x86"},  // Vietnamese
      {"\xd5\xa1\xd5\xa2", "\xd4\xb1\xd4\xb2"},                  // Armenian
      {"\xe2\xb4\x80", "\xe1\x82\xa0"},                          // Georgian
      {"\xef\xbd\x81\xef\xbd\x82", "\xef\xbc\xa1\xef\xbc\xa2"},  // full-width
  };
  for (const Pair& pair : pairs) {
    EXPECT_TRUE(fs.SameName(pair.lower, pair.upper)) << pair.upper;
    EXPECT_TRUE(fs.SameName(pair.upper, pair.lower)) << pair.upper;
  }
  EXPECT_TRUE(fs.SameName("", ""));
  EXPECT_FALSE(fs.SameName("Data", "Dat"));
  EXPECT_FALSE(fs.SameName("Data", "Date"));
  EXPECT_FALSE(fs.SameName("\xd5\xa1", "\xd5\xa2"));
}

// A real tree-view control in a hidden top-level window.
class Win32TreeViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    HMODULE comctl = LoadLibraryW(L"comctl32.dll");
    ASSERT_NE(comctl, nullptr);
    using InitFn = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
    auto init = reinterpret_cast<InitFn>(
        reinterpret_cast<void*>(GetProcAddress(comctl, "InitCommonControlsEx")));
    ASSERT_NE(init, nullptr);
    INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX), ICC_TREEVIEW_CLASSES};
    ASSERT_TRUE(init(&classes));
    window_ = CreateWindowExW(0, WC_TREEVIEWW, L"", WS_POPUP | TVS_HASBUTTONS, 0, 0, 200, 200,
                              nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(window_, nullptr);
  }
  void TearDown() override {
    if (window_ != nullptr) DestroyWindow(window_);
  }

  std::vector<std::string> Texts(Win32TreeView& tree, TreeNode parent) {
    std::vector<std::string> texts;
    for (TreeNode n = tree.FirstChild(parent); n != kNoNode; n = tree.NextSibling(n)) {
      texts.push_back(tree.Text(n));
    }
    return texts;
  }

  HWND window_ = nullptr;
};

TEST_F(Win32TreeViewTest, InsertsWalksAndDeletes) {
  Win32TreeView tree(window_);
  EXPECT_EQ(tree.FirstChild(kNoNode), kNoNode);
  const TreeNode c = tree.Insert(kNoNode, "System (C:)", NodeImage::FixedDrive, InsertAt::Last);
  const TreeNode a = tree.Insert(kNoNode, "A:", NodeImage::RemovableDrive, InsertAt::Last);
  ASSERT_NE(c, kNoNode);
  ASSERT_NE(a, kNoNode);
  EXPECT_THAT(Texts(tree, kNoNode), ElementsAre("System (C:)", "A:")) << "TVI_LAST keeps order";

  const TreeNode placeholder = tree.Insert(c, "", NodeImage::Folder, InsertAt::Last);
  tree.Insert(c, "Windows", NodeImage::Folder, InsertAt::Sorted);
  tree.Insert(c, "data", NodeImage::Folder, InsertAt::Sorted);
  const TreeNode unicode = tree.Insert(c, kUnicodeName, NodeImage::Folder, InsertAt::Sorted);
  tree.Insert(c, "Program Files", NodeImage::Folder, InsertAt::Sorted);
  EXPECT_EQ(tree.FirstChild(c), placeholder);
  EXPECT_EQ(tree.Text(placeholder), "");
  EXPECT_EQ(tree.Text(unicode), kUnicodeName);
  EXPECT_EQ(tree.Parent(unicode), c);
  EXPECT_EQ(tree.Parent(c), kNoNode);

  tree.Delete(placeholder);
  const auto texts = Texts(tree, c);
  ASSERT_EQ(texts.size(), 4u);
  // Sorted without regard to case; where the non-ASCII name goes is the control's business.
  std::vector<std::string> ascii;
  for (const auto& t : texts) {
    if (t != kUnicodeName) ascii.push_back(t);
  }
  EXPECT_THAT(ascii, ElementsAre("data", "Program Files", "Windows"));
}

TEST_F(Win32TreeViewTest, SelectionAndLongTexts) {
  Win32TreeView tree(window_);
  const TreeNode c = tree.Insert(kNoNode, "C:", NodeImage::FixedDrive, InsertAt::Last);
  const std::string longName(300, 'x');
  const TreeNode longNode = tree.Insert(c, longName, NodeImage::Folder, InsertAt::Last);
  EXPECT_EQ(tree.Text(longNode), std::string(259, 'x')) << "read through 260 characters";

  EXPECT_EQ(tree.Selection(), kNoNode);
  tree.Expand(c);
  tree.SetSelectedState(longNode);
  tree.Select(longNode);
  EXPECT_EQ(tree.Selection(), longNode);
  tree.EnsureVisible(longNode);
  EXPECT_EQ(SendMessageW(window_, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(c), TVIS_EXPANDED) &
                TVIS_EXPANDED,
            static_cast<LRESULT>(TVIS_EXPANDED));
}

// The logic over the real file system: the folder filter and the expand-button probe.
TEST_F(Win32TreeViewTest, ChooserReadsARealFolderLevel) {
  ScratchFolder scratch("chooser");
  const std::string base = MakeFolder(scratch.Path() + "Level");
  MakeFolder(base + "\\Plain");
  MakeFolder(base + "\\Plain\\Inner");
  MakeFolder(base + "\\Hidden", FILE_ATTRIBUTE_HIDDEN);
  MakeFolder(base + "\\Guarded", FILE_ATTRIBUTE_SYSTEM);
  MakeFolder(base + "\\OnlyGuarded");
  MakeFolder(base + "\\OnlyGuarded\\Sys", FILE_ATTRIBUTE_SYSTEM);
  MakeFolder(base + "\\" + kUnicodeName);
  ASSERT_TRUE(testing::WriteAll(base + "\\file.txt", {}));

  Win32TreeView tree(window_);
  Win32ChooserFileSystem fs;
  testing::FakeChooserUi ui;
  FolderChooser chooser(tree, fs, ui, true);
  chooser.FillDriveList();
  const TreeNode node = chooser.ExpandPath(base + "\\");
  ASSERT_NE(node, kNoNode) << base;
  EXPECT_EQ(chooser.GetNodePath(node), base + "\\");
  ASSERT_TRUE(chooser.OnItemExpanding(node) == 0);

  std::map<std::string, bool> children;  // name -> has an expand button
  for (TreeNode n = tree.FirstChild(node); n != kNoNode; n = tree.NextSibling(n)) {
    children[tree.Text(n)] = tree.FirstChild(n) != kNoNode;
  }
  std::map<std::string, bool> expected{
      {"Plain", true}, {"Hidden", false}, {"OnlyGuarded", false}, {kUnicodeName, false}};
  EXPECT_EQ(children, expected);
  EXPECT_TRUE(ui.messages.empty());
}

}  // namespace
}  // namespace corvane
