#include "folderdlg/folder_chooser.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "host/folderdlg/fake_chooser_platform.h"

namespace corvane {
namespace {

using ::testing::ElementsAre;
using testing::FakeChooserFs;
using testing::FakeChooserUi;
using testing::FakeTree;
using testing::NamesEqualIgnoringCase;

constexpr DiskFreeSpace kFourKbClusters(std::uint32_t freeClusters) {
  return DiskFreeSpace{8, 512, freeClusters};
}

class FolderChooserTest : public ::testing::Test {
 protected:
  FolderChooserTest() {
    fs.AddDrive('C', {DriveType::Fixed, "System", kFourKbClusters(2500000), true});
    fs.AddDrive('D', {DriveType::Fixed, "", kFourKbClusters(2047), true});
    fs.AddDrive('E', {DriveType::CdRom, std::nullopt, std::nullopt, false});
    fs.Add("C:\\Program Files");
    fs.Add("C:\\Program Files\\Common Files");
    fs.Add("C:\\Data");
    fs.Add("C:\\Data\\Projects");
    fs.Add("C:\\Data\\notes.txt", 0x20);
    fs.Add("C:\\Data\\Hidden", kAttrDirectory | kAttrHidden);
    fs.Add("C:\\Data\\Guarded", kAttrDirectory | kAttrSystem);
    fs.Add("C:\\Data\\Guarded\\Inner");
    fs.Add("C:\\Data\\Projects\\Alpha");
    fs.Add("C:\\Data\\OnlySystemBelow");
    fs.Add("C:\\Data\\OnlySystemBelow\\Sys", kAttrDirectory | kAttrSystem);
    fs.Add("C:\\Data\\OnlySystemBelow\\file.bin", 0x20);
    fs.Add("C:\\\xc3\x84rger");  // "Ärger"
    tree.onSelChanging = [this](TreeNode n, FolderChooser::SelectionCause cause) {
      return chooser.OnSelChanging(n, cause);
    };
    tree.onSelChanged = [this](TreeNode n) { chooser.OnSelChanged(n); };
    tree.onItemExpanding = [this](TreeNode n) { chooser.OnItemExpanding(n); };
  }

  TreeNode DriveNode(const std::string& label) { return tree.Find(kNoNode, label); }

  FakeTree tree;
  FakeChooserFs fs;
  FakeChooserUi ui;
  FolderChooser chooser{tree, fs, ui, true};
};

TEST(FreeSpaceTextTest, KilobytesUnder8MbMegabytesAboveAndNothingPastTheLimit) {
  EXPECT_EQ(FreeSpaceText({2, 512, 8191}), "8191KB free");
  EXPECT_EQ(FreeSpaceText({2, 512, 8192}), "8MB free");
  EXPECT_EQ(FreeSpaceText({1, 1024, 10000000}), "9765MB free");
  EXPECT_EQ(FreeSpaceText({8, 512, 0}), "0KB free");
  // 4 KB clusters: 0x3FFFC000 clusters are exactly 0xFFFF0000 KB.
  EXPECT_EQ(FreeSpaceText({8, 512, 0x3FFFC000u}), "");
  EXPECT_EQ(FreeSpaceText({8, 512, 0x3FFFBFFFu}), "4194239MB free");
  // Far beyond 32 bits of kilobytes: no wrap-around into a small number.
  EXPECT_EQ(FreeSpaceText({128, 512, 0xFFFFFFFFu}), "");
  EXPECT_EQ(FreeSpaceText({0xFFFFFFFFu, 0xFFFFFFFFu, 1}), "");
  // Clusters under one kilobyte count from bytes.
  EXPECT_EQ(FreeSpaceText({1, 512, 3}), "1KB free");
  EXPECT_EQ(FreeSpaceText({1, 512, 16383}), "8191KB free");
  EXPECT_EQ(FreeSpaceText({1, 512, 16384}), "8MB free");
  EXPECT_EQ(FreeSpaceText({1, 256, 400000}), "97MB free");
}

TEST(DriveLabelTest, NamedUnnamedAndUnknownVolumes) {
  EXPECT_EQ(DriveLabel("C:", true, "System"), "System (C:)");
  EXPECT_EQ(DriveLabel("D:", true, ""), " (D:)");
  EXPECT_EQ(DriveLabel("E:", false, "stale"), "E:");
}

TEST(NamesEqualIgnoringCaseTest, FoldsLettersOfCommonScriptsAndNothingElse) {
  EXPECT_TRUE(NamesEqualIgnoringCase("program files", "Program Files"));
  EXPECT_TRUE(NamesEqualIgnoringCase("\xc3\xa9t\xc3\xa9", "\xc3\x89T\xc3\x89"));  // été / ÉTÉ
  EXPECT_TRUE(NamesEqualIgnoringCase("\xd0\xb4\xd0\xbe\xd0\xbc", "\xd0\x94\xd0\x9e\xd0\x9c"));
  EXPECT_TRUE(NamesEqualIgnoringCase("\xce\xb1\xce\xb2", "\xce\x91\xce\x92"));  // αβ / ΑΒ
  EXPECT_TRUE(
      NamesEqualIgnoringCase("\xc5\x82\xc3\xb3"
                             "d\xc5\xba",
                             "\xc5\x81\xc3\x93"
                             "D\xc5\xb9"));
  EXPECT_TRUE(NamesEqualIgnoringCase("\xc3\xbf", "\xc5\xb8"));  // ÿ / Ÿ
  // Different names stay apart.
  EXPECT_FALSE(NamesEqualIgnoringCase("Data", "Dat"));
  EXPECT_FALSE(NamesEqualIgnoringCase("Dat", "Data"));
  EXPECT_FALSE(NamesEqualIgnoringCase("C:", ""));
  EXPECT_FALSE(NamesEqualIgnoringCase("\xc3\xa9", "\xc3\xa8"));  // é / è
  EXPECT_FALSE(NamesEqualIgnoringCase("\xc3\x97", "\xc3\xb7"));  // × / ÷ are not a pair
  EXPECT_FALSE(NamesEqualIgnoringCase("[", "{"));
  // Malformed bytes only equal themselves and never swallow what follows.
  EXPECT_TRUE(
      NamesEqualIgnoringCase("\xff"
                             "a",
                             "\xff"
                             "A"));
  EXPECT_FALSE(NamesEqualIgnoringCase("\xc3", "\xc3\xa9"));
  EXPECT_FALSE(NamesEqualIgnoringCase("\xe0\x80", "\xe0\x81"));
}

TEST_F(FolderChooserTest, FillDriveListAsksEveryLetterAndListsAcceptedTypes) {
  fs.AddDrive('F', {DriveType::RamDisk, "Ram", std::nullopt, true});
  fs.AddDrive('G', {DriveType::Unknown, "What", std::nullopt, true});
  fs.AddDrive('N', {DriveType::Remote, "share", std::nullopt, true});
  fs.AddDrive('A', {DriveType::Removable, std::nullopt, std::nullopt, false});
  chooser.FillDriveList();

  ASSERT_EQ(fs.calls.size(), 52u);
  for (int i = 0; i < 26; ++i) {
    const std::string root = std::string{static_cast<char>('A' + i), ':', '\\'};
    EXPECT_EQ(fs.calls[2 * i], "type " + root);
    EXPECT_EQ(fs.calls[2 * i + 1], "volume " + root);
  }
  EXPECT_THAT(tree.ChildTexts(kNoNode),
              ElementsAre("A:", "System (C:)", " (D:)", "E:", "share (N:)"));
  const std::vector<NodeImage> images{NodeImage::RemovableDrive, NodeImage::FixedDrive,
                                      NodeImage::FixedDrive, NodeImage::CdRomDrive,
                                      NodeImage::RemoteDrive};
  const auto drives = tree.Children(kNoNode);
  for (std::size_t i = 0; i < drives.size(); ++i) {
    EXPECT_EQ(tree.At(drives[i]).image, images[i]) << i;
    EXPECT_TRUE(tree.HasPlaceholder(drives[i])) << i;
    EXPECT_EQ(tree.Children(drives[i]).size(), 1u) << i;
  }
  EXPECT_TRUE(fs.enumerations.empty());
}

TEST_F(FolderChooserTest, NodeNamesAndPaths) {
  chooser.FillDriveList();
  const TreeNode c = DriveNode("System (C:)");
  const TreeNode d = DriveNode(" (D:)");
  const TreeNode e = DriveNode("E:");
  EXPECT_EQ(chooser.GetNodeName(c), "C:");
  EXPECT_EQ(chooser.GetNodeName(d), "D:");
  EXPECT_EQ(chooser.GetNodeName(e), "E:");
  EXPECT_EQ(chooser.GetNodePath(c), "C:\\");
  EXPECT_EQ(chooser.GetNodePath(e), "E:\\");

  ASSERT_EQ(chooser.OnItemExpanding(c), 0);
  const TreeNode data = tree.Find(c, "Data");
  ASSERT_NE(data, kNoNode);
  chooser.OnItemExpanding(data);
  const TreeNode projects = tree.Find(data, "Projects");
  ASSERT_NE(projects, kNoNode);
  EXPECT_EQ(chooser.GetNodeName(projects), "Projects");
  EXPECT_EQ(chooser.GetNodePath(projects), "C:\\Data\\Projects\\");
  // A folder's name is its text even when it looks like a drive label.
  const TreeNode odd = tree.Insert(data, "x (Q:)", NodeImage::Folder, InsertAt::Sorted);
  EXPECT_EQ(chooser.GetNodePath(odd), "C:\\Data\\x (Q:)\\");
}

TEST_F(FolderChooserTest, InsertSubfoldersFiltersSortsAndMarksExpandableFolders) {
  chooser.FillDriveList();
  const TreeNode c = DriveNode("System (C:)");
  chooser.OnItemExpanding(c);
  const TreeNode data = tree.Find(c, "Data");
  tree.Delete(tree.FirstChild(data));  // the placeholder
  ASSERT_TRUE(chooser.InsertSubfolders(data));

  // Sorted, hidden listed, system folders, files, "." and ".." left out.
  EXPECT_THAT(tree.ChildTexts(data), ElementsAre("Hidden", "OnlySystemBelow", "Projects"));
  EXPECT_TRUE(tree.HasPlaceholder(tree.Find(data, "Projects")));
  EXPECT_FALSE(tree.HasPlaceholder(tree.Find(data, "Hidden")));
  // Its only subfolder has the system attribute: no expand button.
  EXPECT_TRUE(tree.Children(tree.Find(data, "OnlySystemBelow")).empty());
  EXPECT_EQ(tree.At(tree.Find(data, "Projects")).image, NodeImage::Folder);
  EXPECT_EQ(ui.waitsBegun, 2);
  EXPECT_EQ(ui.waitDepth, 0);
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(FolderChooserTest, UnreadableDriveShowsTheDriveErrorAndKeepsNoChildren) {
  chooser.FillDriveList();
  const TreeNode e = DriveNode("E:");
  EXPECT_EQ(chooser.OnItemExpanding(e), 0);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0], "Error Drive: E:\r\nCorrect and try again");
  EXPECT_TRUE(tree.Children(e).empty());
  EXPECT_EQ(ui.waitDepth, 0);
  EXPECT_EQ(ui.waitsBegun, 1);
  // Expanding again reads nothing and says nothing more.
  chooser.OnItemExpanding(e);
  EXPECT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(fs.enumerations["E:\\*.*"], 1);
}

TEST_F(FolderChooserTest, FolderThatCannotBeListedNamesItsDrive) {
  fs.MakeUnlistable("C:\\Data");
  chooser.FillDriveList();
  chooser.OnItemExpanding(DriveNode("System (C:)"));
  const TreeNode data = tree.Find(DriveNode("System (C:)"), "Data");
  // The probe could not look inside, so no expand button; a direct read reports the drive.
  EXPECT_TRUE(tree.Children(data).empty());
  EXPECT_FALSE(chooser.InsertSubfolders(data));
  EXPECT_THAT(ui.messages, ElementsAre("Error Drive: C:\r\nCorrect and try again"));
}

TEST_F(FolderChooserTest, NodesAreReadOnce) {
  chooser.FillDriveList();
  const TreeNode c = DriveNode("System (C:)");
  chooser.OnItemExpanding(c);
  const auto firstChildren = tree.Children(c);
  chooser.OnItemExpanding(c);  // collapse
  chooser.OnItemExpanding(c);  // expand again
  EXPECT_EQ(tree.Children(c), firstChildren);
  EXPECT_EQ(fs.enumerations["C:\\*.*"], 1);
  EXPECT_EQ(tree.deletions, 1);
}

TEST_F(FolderChooserTest, StartFolderWithMissingLastComponentsSelectsNothingUntilAKey) {
  const std::string start = "C:\\Program Files\\Tamarind Software\\Corvane\\";
  chooser.chooserPath = start;
  chooser.Initialise(true);

  const TreeNode c = DriveNode("System (C:)");
  const TreeNode programFiles = tree.Find(c, "Program Files");
  ASSERT_NE(programFiles, kNoNode);
  EXPECT_TRUE(tree.At(c).expanded);
  EXPECT_TRUE(tree.At(programFiles).expanded);
  EXPECT_THAT(tree.ChildTexts(programFiles), ElementsAre("Common Files"));
  EXPECT_EQ(tree.Selection(), kNoNode);
  EXPECT_EQ(chooser.chooserPath, start);
  EXPECT_EQ(ui.pathDisplay, "");
  EXPECT_TRUE(tree.ensuredVisible.empty());
  EXPECT_TRUE(ui.beeps.empty());
  // Nothing else was read.
  EXPECT_TRUE(tree.HasPlaceholder(DriveNode(" (D:)")));
  EXPECT_TRUE(tree.HasPlaceholder(tree.Find(c, "Data")));

  // Nothing is selected while the start folder is not in the tree. Gaining the focus does not
  // change that, however often; the first navigation key gives the tree a selection of its own,
  // which counts like any other, and the control moves it from there.
  for (int i = 0; i < 2; ++i) {
    tree.GainFocus();
    tree.KeyTo(programFiles);  // the control ignores keys while it has no selection
  }
  EXPECT_EQ(tree.Selection(), kNoNode);
  EXPECT_EQ(chooser.chooserPath, start);
  EXPECT_EQ(ui.pathDisplay, "");

  chooser.OnNavigationKey();
  EXPECT_EQ(tree.Selection(), c);
  EXPECT_EQ(chooser.chooserPath, "C:\\");
  EXPECT_EQ(ui.pathDisplay, "C:\\");
  EXPECT_EQ(ui.freeSpaceText, "9765MB free");
  EXPECT_THAT(tree.ensuredVisible, ElementsAre(c));
  tree.KeyTo(programFiles);
  EXPECT_EQ(chooser.chooserPath, "C:\\Program Files\\");
  EXPECT_EQ(ui.pathDisplay, "C:\\Program Files\\");

  // With a selection, a key is the control's alone.
  chooser.OnNavigationKey();
  tree.GainFocus();
  EXPECT_EQ(tree.Selection(), programFiles);
  EXPECT_EQ(chooser.chooserPath, "C:\\Program Files\\");
}

TEST_F(FolderChooserTest, StartFolderThatExistsIsSelectedButNotExpanded) {
  chooser.chooserPath = "C:\\Data\\Projects\\";
  chooser.Initialise(true);

  const TreeNode data = tree.Find(DriveNode("System (C:)"), "Data");
  const TreeNode projects = tree.Find(data, "Projects");
  ASSERT_NE(projects, kNoNode);
  EXPECT_EQ(tree.Selection(), projects);
  EXPECT_TRUE(tree.At(projects).selectedState);
  EXPECT_TRUE(tree.At(data).expanded);
  EXPECT_FALSE(tree.At(projects).expanded);
  EXPECT_TRUE(tree.HasPlaceholder(projects));
  EXPECT_THAT(tree.ensuredVisible, ElementsAre(projects));
  EXPECT_EQ(chooser.chooserPath, "C:\\Data\\Projects\\");
  EXPECT_EQ(ui.pathDisplay, "C:\\Data\\Projects\\");
  EXPECT_EQ(ui.freeSpaceText, "9765MB free");
  EXPECT_THAT(fs.freeSpaceRoots, ElementsAre("C:\\"));
}

// A start folder is found without regard to letter case and takes the tree's; a drive is
// selected without being read (nothing expanded); a bare backslash selects nothing.
TEST_F(FolderChooserTest, StartFolderInOtherLetterCaseADriveOrNothing) {
  struct Case {
    const char* start;
    const char* chosen;    // the path afterwards, also shown when something is selected
    const char* selected;  // the selected node's text, empty for none
    const char* freeSpace;
    bool expands;
  } cases[] = {{"c:\\program files\\", "C:\\Program Files\\", "Program Files", "9765MB free", true},
               {"C:\\\xc3\xa4RGER\\", "C:\\\xc3\x84rger\\", "\xc3\x84rger", "9765MB free", true},
               {"d:\\", "D:\\", " (D:)", "8188KB free", false},
               {"\\", "\\", "", "", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.start);
    FakeTree t;
    FakeChooserUi u;
    FolderChooser started{t, fs, u, true};
    t.onSelChanged = [&](TreeNode n) { started.OnSelChanged(n); };
    t.onItemExpanding = [&](TreeNode n) { started.OnItemExpanding(n); };
    started.chooserPath = c.start;
    started.Initialise(true);
    EXPECT_EQ(started.chooserPath, c.chosen);
    EXPECT_EQ(t.Selection() == kNoNode ? "" : t.At(t.Selection()).text, c.selected);
    EXPECT_EQ(u.pathDisplay, *c.selected ? c.chosen : "");
    EXPECT_EQ(u.freeSpaceText, c.freeSpace);
    EXPECT_EQ(t.expandRequests != 0, c.expands);
  }
}

TEST_F(FolderChooserTest, DriveErrorDuringTheStartWalkDoesNotStopIt) {
  chooser.chooserPath = "E:\\Setup\\";
  chooser.Initialise(true);
  EXPECT_THAT(ui.messages, ElementsAre("Error Drive: E:\r\nCorrect and try again"));
  EXPECT_EQ(tree.Selection(), kNoNode);
  EXPECT_EQ(chooser.chooserPath, "E:\\Setup\\");
  EXPECT_EQ(ui.waitDepth, 0);
}

TEST_F(FolderChooserTest, SelectionChangesFollowTheNode) {
  chooser.chooserPath = "C:\\Data\\";
  chooser.Initialise(true);
  const TreeNode d = DriveNode(" (D:)");
  tree.Select(d);
  EXPECT_EQ(chooser.chooserPath, "D:\\");
  EXPECT_EQ(ui.pathDisplay, "D:\\");
  EXPECT_EQ(ui.freeSpaceText, "8188KB free");
  const TreeNode e = DriveNode("E:");
  tree.Select(e);
  EXPECT_EQ(chooser.chooserPath, "E:\\");
  EXPECT_EQ(ui.freeSpaceText, "") << "a failed free-space query leaves no stale figure";
  // The control reporting "nothing selected" keeps the last chosen path.
  tree.Select(kNoNode);
  EXPECT_EQ(chooser.chooserPath, "E:\\");
}

TEST_F(FolderChooserTest, ASelectionMovedWithoutNoticeIsFollowed) {
  fs.AddDrive('C', {DriveType::Fixed, "System", kFourKbClusters(2500000), true});
  chooser.chooserPath = "C:\\Data\\Projects\\Alpha\\";
  chooser.Initialise(true);
  const TreeNode alpha = tree.Selection();
  ASSERT_EQ(tree.At(alpha).text, "Alpha");
  const int updates = ui.freeSpaceUpdates;
  chooser.FollowSelection();
  EXPECT_EQ(ui.freeSpaceUpdates, updates) << "nothing moved, nothing to do";

  fs.AddDrive('C', {DriveType::Fixed, "System", kFourKbClusters(2000), true});
  const TreeNode data = tree.At(tree.At(alpha).parent).parent;
  tree.CollapseQuietly(data);
  ASSERT_EQ(tree.Selection(), data);
  chooser.FollowSelection();
  EXPECT_EQ(chooser.chooserPath, "C:\\Data\\");
  EXPECT_EQ(ui.pathDisplay, "C:\\Data\\");
  EXPECT_EQ(ui.freeSpaceText, "8000KB free");
}

TEST_F(FolderChooserTest, WithoutFreeSpaceTheFieldIsLeftAlone) {
  FolderChooser old{tree, fs, ui, false};
  tree.onSelChanged = [&](TreeNode n) { old.OnSelChanged(n); };
  old.chooserPath = "C:\\Data\\";
  old.Initialise(true);
  tree.Select(DriveNode(" (D:)"));
  EXPECT_EQ(old.chooserPath, "D:\\");
  EXPECT_EQ(ui.pathDisplay, "D:\\");
  EXPECT_EQ(ui.freeSpaceUpdates, 0);
  EXPECT_TRUE(fs.freeSpaceRoots.empty());
}

TEST_F(FolderChooserTest, MissingImageListBeepsOnce) {
  chooser.Initialise(false);
  EXPECT_THAT(ui.beeps, ElementsAre(std::make_pair(99u, 99u)));
  EXPECT_EQ(tree.Children(kNoNode).size(), 3u);
}

TEST_F(FolderChooserTest, FindChildNodeExpandsOnlyWhenAsked) {
  chooser.FillDriveList();
  const TreeNode c = chooser.FindChildNode(kNoNode, "c:", false);
  ASSERT_EQ(c, DriveNode("System (C:)"));
  EXPECT_TRUE(tree.HasPlaceholder(c));
  EXPECT_EQ(chooser.FindChildNode(c, "data", false), kNoNode) << "unread drive has no folders";
  EXPECT_EQ(chooser.FindChildNode(kNoNode, "c:", true), c);
  EXPECT_TRUE(tree.At(c).expanded);
  EXPECT_NE(chooser.FindChildNode(c, "DATA", false), kNoNode);
  EXPECT_EQ(chooser.FindChildNode(c, "Dat", false), kNoNode);
  EXPECT_EQ(chooser.FindChildNode(kNoNode, "System (C:)", false), kNoNode);
  EXPECT_EQ(fs.enumerations["C:\\*.*"], 1);
}

}  // namespace
}  // namespace corvane
