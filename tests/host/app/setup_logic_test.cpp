#include "app/setup_logic.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "host/app/app_doubles.h"
#include "payload/paths.h"
#include "payload/secure_folders.h"
#include "support/fake_setup_view.h"

namespace corvane {
namespace {

using namespace testing;  // the doubles of app_doubles.h and their machine

constexpr const char* kUninstallKey =
    "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr const char* kData = "C:\\ProgramData\\Tamarind Software\\Corvane\\";
constexpr const char* kWork = "C:\\users\\pat\\AppData\\Local\\Tamarind Software\\Corvane\\";

class SetupLogicTest : public ::testing::Test, protected testing::AppFakes {
 protected:
  SetupLogicTest() {
    PrepareMachine();
    view.onEvent = [this](const std::string& e) { log.push_back(e); };
  }

  void Init() {
    logic.InitDialog();
    log.clear();
  }

  std::size_t IndexOf(const std::string& event) const {
    auto it = std::find(log.begin(), log.end(), event);
    EXPECT_NE(it, log.end()) << event;
    return static_cast<std::size_t>(it - log.begin());
  }

  // A failed install leaves the dialog as it was: state 0, not busy, no wait cursor, and every
  // control's text and visibility as in `before`.
  void ExpectDialogAsBefore(const std::map<int, FakeSetupView::Control>& before) {
    EXPECT_EQ(logic.state, 0);
    EXPECT_EQ(logic.busy, 0);
    EXPECT_EQ(view.WaitDepth(), 0);
    for (const auto& [id, c] : view.Snapshot()) {
      EXPECT_EQ(c.text, before.at(id).text) << id;
      EXPECT_EQ(c.visible, before.at(id).visible) << id;
    }
  }

  FakeSetupView view;
  GlobalPaths paths;
  SetupLogic logic{view, services, paths};
};

// --- InitDialog ---

TEST_F(SetupLogicTest, FreshMachineOffersDefaultFolderWithoutQuestion) {
  logic.InitDialog();
  EXPECT_TRUE(view.Boxes().empty());
  EXPECT_EQ(view.Get(kIdInstallPath).text, "C:\\Program Files\\Tamarind Software\\Corvane");
  EXPECT_EQ(logic.installPathText, view.Get(kIdInstallPath).text);
  EXPECT_EQ(view.Get(kIdDescription).text, "Install Corvane?");
  EXPECT_EQ(logic.descriptionText, "Install Corvane?");
  EXPECT_FALSE(view.Get(kIdInstallPath).enabled);
  EXPECT_FALSE(view.Get(kBrowseButton).enabled);
  EXPECT_EQ(view.EndCalls(), 0);
  EXPECT_EQ(paths.known.defaultInstall, kInstall);
  EXPECT_EQ(paths.known.work, kWork);  // the local data folder, not the low one
  EXPECT_EQ(reg.OpenHandles(), 0u);
}

TEST_F(SetupLogicTest, PreviousInstallationPathVariants) {
  struct Case {
    std::string stored;
    bool asks;
    const char* shown;
  };
  const Case cases[] = {
      {"", false, "C:\\Program Files\\Tamarind Software\\Corvane"},
      {std::string(300, 'x'), false,
       "C:\\Program Files\\Tamarind Software\\Corvane"},  // unreadable
      {"D:\\Tools\\Corvane", true, "D:\\Tools\\Corvane"},
      {"D:\\Tools\\Corvane\\", true, "D:\\Tools\\Corvane\\"},  // as recorded
      {"\\", true, "\\"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored);
    FakeSetupView v;
    GlobalPaths p;
    reg.SetValue(std::string(kAppPathsKey) + "\\kvx.exe", "Path", c.stored);
    SetupLogic l(v, services, p);
    v.QueueAnswer(Answer::Yes);
    l.InitDialog();
    EXPECT_EQ(v.Boxes().size(), c.asks ? 1u : 0u);
    if (c.asks) {
      EXPECT_EQ(v.Boxes()[0].text,
                "A previous installation of a Corvane product is found.\r\n\r\nContinue?");
      EXPECT_EQ(v.Boxes()[0].buttons, Buttons::YesNo);
    }
    EXPECT_EQ(v.Get(kIdInstallPath).text, c.shown);
    EXPECT_EQ(v.EndCalls(), 0);
  }
}

TEST_F(SetupLogicTest, NoToPreviousInstallationEndsDialogButFinishesInit) {
  reg.SetValue(std::string(kAppPathsKey) + "\\kvx.exe", "Path", "D:\\Old");
  view.QueueAnswer(Answer::No);
  logic.InitDialog();
  EXPECT_EQ(view.EndCalls(), 1);
  EXPECT_EQ(view.EndResult(), 2);
  // The remaining steps still run before the dialog closes.
  EXPECT_EQ(view.Get(kIdInstallPath).text, "D:\\Old");
  EXPECT_EQ(view.Get(kIdDescription).text, "Install Corvane?");
  // Nothing of the product was written.
  EXPECT_EQ(fs.FileCount(), 0u);
  EXPECT_TRUE(reg.writes.empty());
}

// --- RunInstall: success ---

TEST_F(SetupLogicTest, InstallWritesEveryFileWithFixedTime) {
  Init();
  logic.OnOk();
  const std::vector<std::string> targets = InstallFileList(paths);
  ASSERT_EQ(targets.size(), 11u);
  EXPECT_EQ(targets[0], std::string(kInstall) + "kvx.exe");
  EXPECT_EQ(targets[2], std::string(kInstall) + "uninstall.exe");
  EXPECT_EQ(targets[3], std::string(kData) + "default.rex");
  EXPECT_EQ(targets[10], std::string(kData) + "Workspace3- after comparing the 2 documents.aws");
  for (std::size_t i = 0; i < targets.size(); ++i) {
    SCOPED_TRACE(targets[i]);
    const auto* f = fs.FindFile(targets[i]);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(BytesText(f->bytes), kContents[i]);
    ASSERT_TRUE(f->lastWriteTime.has_value());
    // 2013-08-10 07:20:00 UTC in 100 ns ticks since 1601.
    EXPECT_EQ(*f->lastWriteTime, (1376119200ull + 11644473600ull) * 10000000ull);
  }
  EXPECT_EQ(fs.FileCount(), targets.size());  // nothing else, in the work folder or elsewhere
  EXPECT_EQ(fs.OpenHandles(), 0);
  for (const char* d : {kInstall, "C:\\Program Files\\Tamarind Software", kData,
                        "C:\\ProgramData\\Tamarind Software"}) {
    EXPECT_TRUE(fs.MadeByCall(d)) << d;
  }
  EXPECT_EQ(security.Held(), 0);  // released once the install is done
  // The data folder levels are made shut and opened only after the last file is in place.
  const auto& calls = fs.Log();
  const std::string data = StripTrailingBackslash(kData);
  // The first call that starts with `prefix`; a call that never came fails here, not as an
  // order that holds against the end of the list.
  auto first = [&](const std::string& prefix) {
    const auto it = std::find_if(calls.begin(), calls.end(),
                                 [&](const std::string& e) { return e.rfind(prefix, 0) == 0; });
    EXPECT_NE(it, calls.end()) << prefix;
    return it;
  };
  const auto lastRename = std::find_if(calls.rbegin(), calls.rend(), [](const std::string& e) {
    return e.rfind("rename ", 0) == 0;
  });
  ASSERT_NE(lastRename, calls.rend());
  EXPECT_LT(first("shut " + data), first("open " + std::string(kData)));
  EXPECT_LT(lastRename.base(), first("inherit C:\\ProgramData\\Tamarind Software"));
  EXPECT_LT(first("inherit C:\\ProgramData\\Tamarind Software"), first("inherit " + data));
  EXPECT_TRUE(fs.DirectoryExists(kWork));
  EXPECT_EQ(logic.state, 1);
  EXPECT_EQ(logic.busy, 0);
  EXPECT_TRUE(view.Boxes().empty());
  EXPECT_EQ(view.WaitDepth(), 0);
  EXPECT_EQ(view.WaitCalls(), 1);
}

TEST_F(SetupLogicTest, InstallShowsInstalledLookWithExactSuccessText) {
  Init();
  logic.OnOk();
  const std::string success =
      "The program is successfully installed\r\n\r\nA shortcut (named Corvane) can be found on "
      "Windows Desktop and in \"Programs\" of Windows \"Start\".";
  EXPECT_EQ(view.Get(kIdDescription).text, success);
  EXPECT_EQ(logic.descriptionText, success);
  EXPECT_EQ(view.Get(kIdOk).text, "Next");
  EXPECT_FALSE(view.Get(kIdCancel).visible);
  EXPECT_FALSE(view.Get(kBrowseButton).visible);
  EXPECT_FALSE(view.Get(kIdInstallPath).visible);
  EXPECT_FALSE(view.Get(kIdIconFrame).visible);
  EXPECT_FALSE(view.Get(kIdPathLabel).visible);
  EXPECT_TRUE(view.Get(kIdUpdateInfo).visible);
  EXPECT_TRUE(view.Get(kIdOk).visible);
  EXPECT_EQ(view.DescriptionGrowth(), 80);
  EXPECT_EQ(logic.installPathText, "C:\\Program Files\\Tamarind Software\\Corvane");
  EXPECT_EQ(logic.fileVersionText, "6, 1, 0, 0");
  std::vector<std::string> viewSteps;
  for (const auto& e : log) {
    if (e.rfind("view ", 0) == 0) viewSteps.push_back(e.substr(5));
  }
  EXPECT_EQ(viewSteps,
            (std::vector<std::string>{"text 1002", "hide 66536", "text 1", "hide 2", "grow",
                                      "hide 1001", "hide 1000", "hide 1003", "show 1005"}));
}

TEST_F(SetupLogicTest, InstallRegistersProductInOrder) {
  fs.AddFile(std::string(kDesktop) + "KVX.lnk", {1, 2, 3});
  Init();
  logic.OnOk();

  EXPECT_FALSE(fs.FileExists(std::string(kDesktop) + "KVX.lnk"));
  const std::string app = std::string(kAppPathsKey) + "\\kvx.exe";
  EXPECT_EQ(reg.Value(app, ""), std::string(kInstall) + "kvx.exe");
  EXPECT_EQ(reg.Value(app, "ProgramData"), "C:\\ProgramData\\Tamarind Software\\Corvane");
  EXPECT_EQ(reg.Value(app, "FileVersion"), "6, 1, 0, 0");
  EXPECT_EQ(reg.Value(app, "Path"), "C:\\Program Files\\Tamarind Software\\Corvane");
  EXPECT_EQ(reg.Value(app, "SpecialBuild"), "0");
  const std::string un = std::string(kUninstallKey) + "\\Corvane";
  EXPECT_EQ(reg.Value(un, "DisplayName"), "Corvane");
  EXPECT_EQ(reg.Value(un, "DisplayIcon"), std::string(kInstall) + "Uninstall.exe");
  EXPECT_EQ(reg.OpenHandles(), 0u);

  ASSERT_EQ(shell.shortcuts.size(), 2u);
  EXPECT_EQ(shell.shortcuts[0].linkPath, std::string(kDesktop) + "Corvane.lnk");
  EXPECT_EQ(shell.shortcuts[1].linkPath, std::string(kPrograms) + "Corvane.lnk");
  for (const auto& link : shell.shortcuts) {
    EXPECT_EQ(link.target, std::string(kInstall) + "kvx.exe");
    EXPECT_EQ(link.description, "Search and compare file utility");
    EXPECT_EQ(link.arguments, "");
  }

  // App Paths values in the fixed order, after the uninstall entry and the shortcuts.
  std::vector<std::string> appWrites;
  for (const auto& w : reg.writes) {
    if (w.rfind(app + "|", 0) == 0) appWrites.push_back(w.substr(app.size() + 1));
  }
  EXPECT_EQ(appWrites,
            (std::vector<std::string>{"", "ProgramData", "FileVersion", "Path", "SpecialBuild"}));

  const std::size_t enter = IndexOf("com enter");
  const std::size_t uninstall = IndexOf("reg set " + un + "|DisplayName");
  const std::size_t desktopLink = IndexOf("shell link " + std::string(kDesktop) + "Corvane.lnk");
  const std::size_t special = IndexOf("shell version SpecialBuild");
  const std::size_t fileVersion = IndexOf("shell version FileVersion");
  const std::size_t lastApp = IndexOf("reg set " + app + "|SpecialBuild");
  const std::size_t leave = IndexOf("com leave");
  // Started in the install folder, never in the setup's current folder.
  const std::string folder(kInstall, std::string_view(kInstall).size() - 1);
  const std::size_t launch =
      IndexOf("shell launch " + std::string(kInstall) + "kvxh.exe in " + folder);
  const std::size_t grow = IndexOf("view grow");
  EXPECT_LT(grow, enter);
  EXPECT_LT(enter, uninstall);
  EXPECT_LT(uninstall, desktopLink);
  EXPECT_LT(desktopLink, special);
  EXPECT_LT(special, fileVersion);
  EXPECT_LT(fileVersion, lastApp);
  EXPECT_LT(lastApp, leave);
  EXPECT_LT(leave, launch);
  EXPECT_LT(launch, IndexOf("view show 1005"));
  EXPECT_EQ(shell.launched, std::vector<std::string>{std::string(kInstall) + "kvxh.exe"});
  EXPECT_EQ(com.depth, 0);
}

// What deployment tools read, added beside the entry's three values, which stay as they were.
TEST_F(SetupLogicTest, InstallAddsDeploymentValuesToTheUninstallEntry) {
  shell.versionStrings["CompanyName"] = " Tamarind Software ";
  Init();
  logic.OnOk();
  const std::string un = std::string(kUninstallKey) + "\\Corvane";
  EXPECT_EQ(reg.Value(un, "UninstallString"), "\"" + std::string(kInstall) + "Uninstall.exe\"");
  EXPECT_EQ(reg.Value(un, "DisplayVersion"), "6.1.0.0");
  EXPECT_EQ(reg.Value(un, "Publisher"), "Tamarind Software");
  EXPECT_EQ(reg.Value(un, "InstallLocation"), "C:\\Program Files\\Tamarind Software\\Corvane");
  EXPECT_EQ(reg.Value(un, "QuietUninstallString"),
            "\"" + std::string(kInstall) + "Uninstall.exe\" /S");
  EXPECT_EQ(reg.Value(un, "URLUpdateInfo"), UpdatePageAddress());
  std::size_t bytes = 0;
  for (const std::string& target : InstallFileList(paths))
    bytes += fs.FindFile(target)->bytes.size();
  EXPECT_EQ(reg.Value(un, "EstimatedSize"), "dword:" + std::to_string((bytes + 1023) / 1024));
  EXPECT_EQ(reg.Value(un, "NoModify"), "dword:1");
  EXPECT_EQ(reg.Value(un, "NoRepair"), "dword:1");
}

TEST_F(SetupLogicTest, InstallFolderFromEditTextBackslashes) {
  struct Case {
    const char* edit;
    const char* folder;
  };
  const Case cases[] = {{"C:\\Apps\\Corvane", "C:\\Apps\\Corvane\\"},
                        {"C:\\Apps\\Corvane\\\\", "C:\\Apps\\Corvane\\\\"}};  // one removed
  fs.AddDirectory("C:\\Apps");  // a folder elsewhere is installed only below existing ones
  for (const Case& c : cases) {
    SCOPED_TRACE(c.edit);
    FakeSetupView v;
    GlobalPaths p;
    SetupLogic l(v, services, p);
    l.InitDialog();
    v.SetText(kIdInstallPath, c.edit);
    l.OnOk();
    EXPECT_EQ(p.installFolder, c.folder);
    EXPECT_EQ(l.state, 1);
    EXPECT_TRUE(fs.FileExists("C:\\Apps\\Corvane\\kvx.exe"));
  }
}

// Version strings the program lacks are written empty; COM that cannot be entered is not left.
TEST_F(SetupLogicTest, MissingVersionStringsAndComDoNotStopTheInstall) {
  shell.versionStrings.clear();
  com.enterResult = false;
  Init();
  logic.OnOk();
  const std::string app = std::string(kAppPathsKey) + "\\kvx.exe";
  EXPECT_EQ(reg.Value(app, "FileVersion"), "");
  EXPECT_EQ(reg.Value(app, "SpecialBuild"), "");
  EXPECT_EQ(com.leaves, 0);
  EXPECT_EQ(logic.state, 1);
  EXPECT_EQ(shell.launched.size(), 1u);
}

// --- the write probe ---

TEST_F(SetupLogicTest, WriteProbeLeavesNothingChangedOrBehind) {
  const std::string kvx = std::string(kInstall) + "kvx.exe";
  resources.data[kPayloadResourceId] = {1, 0, 0, 0, 'x', 0, 0, 0, 0};  // broken record
  Init();
  // A fresh folder: a kvx.exe that is gone again once the probe closes it.
  logic.OnOk();
  ASSERT_FALSE(fs.Opens().empty());
  EXPECT_EQ(fs.Opens().front().path, kvx);
  EXPECT_EQ(fs.Opens().front().mode, OpenMode::CreateNewGone);
  EXPECT_EQ(fs.FileCount(), 0u);

  // A previous installation: its kvx.exe is opened as it is.
  fs.AddFile(kvx, {'o', 'l', 'd'});
  fs.ClearLog();
  logic.OnOk();
  EXPECT_EQ(logic.state, 0);
  ASSERT_FALSE(fs.Opens().empty());
  EXPECT_EQ(fs.Opens().front().path, kvx);
  EXPECT_EQ(fs.Opens().front().share, ShareMode::Read);
  EXPECT_EQ(fs.Opens().front().mode, OpenMode::OpenExisting);
  EXPECT_EQ(fs.FileCount(), 1u);
  EXPECT_EQ(BytesText(fs.FindFile(kvx)->bytes), "old");
}

// --- failure A ---

TEST_F(SetupLogicTest, HeldMainProgramGivesFailureAAndTouchesNothingElse) {
  const std::string kvx = std::string(kInstall) + "kvx.exe";
  fs.AddFile(kvx, {'r', 'u', 'n'});
  fs.FailOpen(kvx);
  Init();
  const auto before = view.Snapshot();
  fs.ClearLog();
  logic.OnOk();

  ASSERT_EQ(view.Boxes().size(), 1u);
  EXPECT_EQ(view.Boxes()[0].text,
            "Installation Folder needs Administrator Privilege.\r\n\r\nYou can either\r\nRun "
            "Setup Program as Administrator (recommended)\r\nor\r\nSelect another Installation "
            "Folder");
  EXPECT_EQ(view.Boxes()[0].buttons, Buttons::Ok);
  ExpectDialogAsBefore(before);
  EXPECT_EQ(fs.Opens().size(), 1u);  // only the probe
  EXPECT_EQ(BytesText(fs.FindFile(kvx)->bytes), "run");
  EXPECT_EQ(fs.FileCount(), 1u);  // the folders are made before the probe, no file in them
  EXPECT_TRUE(reg.writes.empty());
  EXPECT_TRUE(shell.shortcuts.empty());
  EXPECT_TRUE(shell.launched.empty());
}

// A "Path" that is not absolute would be taken from the current folder (System32 when the
// setup is elevated), and a system folder is not the product's to protect: the Administrator
// message, and nothing created or written anywhere. The 32-bit setup on 64-bit Windows refuses
// the system's own Program Files and Common Files too, as the uninstaller does.
TEST_F(SetupLogicTest, RelativeOrSystemPreviousPathGivesFailureAWithNothingWritten) {
  folders.special[38] = folders.special[42] = "C:\\Program Files (x86)";
  folders.special[43] = "C:\\Program Files (x86)\\Common Files";
  folders.nativeProgramFiles = "C:\\Program Files";
  folders.nativeCommonFiles = "C:\\Program Files\\Common Files";
  fs.AddDirectory("C:\\Program Files\\Common Files");
  for (const char* stored :
       {"Corvane", "\\", "\\Corvane", "C:Corvane", "\\\\server", "\\\\?\\C:\\Corvane",
        "C:\\Program Files", "C:\\Program Files\\Common Files",
        "C:\\Program Files (x86)\\Common Files"}) {
    SCOPED_TRACE(stored);
    FakeSetupView v;
    GlobalPaths p;
    reg.SetValue(std::string(kAppPathsKey) + "\\kvx.exe", "Path", stored);
    SetupLogic l(v, services, p);
    v.QueueAnswer(Answer::Yes);
    l.InitDialog();
    EXPECT_EQ(v.Get(kIdInstallPath).text, stored);  // shown as today
    fs.ClearLog();
    l.OnOk();
    ASSERT_EQ(v.Boxes().size(), 2u);
    EXPECT_EQ(v.Boxes()[1].text.rfind("Installation Folder needs Administrator", 0), 0u);
    EXPECT_EQ(l.state, 0);
    EXPECT_EQ(l.busy, 0);
    EXPECT_TRUE(fs.Log().empty());
    EXPECT_EQ(fs.FileCount(), 0u);
  }
  EXPECT_TRUE(shell.shortcuts.empty());
  EXPECT_TRUE(shell.launched.empty());
}

// A known folder the shell could not supply leaves "\Tamarind Software\Corvane\" or "\":
// the installation fails before it creates or writes anything.
TEST_F(SetupLogicTest, MissingKnownFolderFailsBeforeAnythingIsWritten) {
  struct Case {
    int csidl;
    const char* message;
  };
  const Case cases[] = {{38, "Installation Folder needs Administrator"},
                        {35, "Error in installation"},
                        {28, "Error in installation"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.csidl);
    FakeKnownFolderSource lacking = folders;
    lacking.special.erase(c.csidl);
    SetupServices s{fs, resources, reg, lacking, shell, com, security};
    FakeSetupView v;
    GlobalPaths p;
    SetupLogic l(v, s, p);
    l.InitDialog();
    fs.ClearLog();
    l.OnOk();
    ASSERT_EQ(v.Boxes().size(), 1u);
    EXPECT_EQ(v.Boxes()[0].text.rfind(c.message, 0), 0u);
    EXPECT_EQ(l.state, 0);
    EXPECT_TRUE(fs.Log().empty());
    EXPECT_FALSE(fs.DirectoryExists("C:\\Tamarind Software"));
  }
  EXPECT_TRUE(reg.writes.empty());
}

TEST_F(SetupLogicTest, UncreatableInstallFolderGivesFailureA) {
  fs.ForceMakeDirectory("C:\\Program Files\\Tamarind Software", CreateDirResult::OtherError);
  Init();
  logic.OnOk();
  ASSERT_EQ(view.Boxes().size(), 1u);
  EXPECT_EQ(view.Boxes()[0].text.rfind("Installation Folder needs Administrator", 0), 0u);
  EXPECT_TRUE(fs.Opens().empty());
  EXPECT_EQ(logic.state, 0);
  EXPECT_EQ(logic.busy, 0);
}

// "Tamarind Software" in ProgramData may hold other products' data: a link there is never
// moved. Failure B's message, after the probe of the install folder and before anything is
// written in the data folder.
TEST_F(SetupLogicTest, DataFolderThatFailsItsCheckGivesFailureBBeforeAnyWrite) {
  security.MakeReparsePoint("C:\\ProgramData\\Tamarind Software");
  Init();
  logic.OnOk();
  ASSERT_EQ(view.Boxes().size(), 1u);
  EXPECT_EQ(view.Boxes()[0].text, "Error in installation");
  ASSERT_EQ(fs.Opens().size(), 1u);  // the probe of kvx.exe
  EXPECT_EQ(fs.Opens()[0].path, std::string(kInstall) + "kvx.exe");
  EXPECT_EQ(fs.FileCount(), 0u);
  EXPECT_FALSE(fs.DirectoryExists(kData));
  EXPECT_EQ(logic.state, 0);
  EXPECT_EQ(logic.busy, 0);
  EXPECT_EQ(logic.outcome, SetupOutcome::ExtractionFailed);
  EXPECT_TRUE(reg.writes.empty());
}

// --- failure B ---

TEST_F(SetupLogicTest, ExpansionFailureShowsMessageTwiceAndKeepsStateZero) {
  // The third record expands to nothing.
  auto contents = kContents;
  contents[2] = "";
  resources.data[kPayloadResourceId] = testing::ContentPayload(contents);
  Init();
  const auto before = view.Snapshot();
  logic.OnOk();

  ASSERT_EQ(view.Boxes().size(), 2u);
  EXPECT_EQ(view.Boxes()[0].text, "Error in installation");
  EXPECT_EQ(view.Boxes()[1].text, "Error in installation");
  ExpectDialogAsBefore(before);
  // No product file is left; nothing is registered or started. The data folder levels made
  // for the install stay shut to all but the administrators.
  EXPECT_EQ(fs.FileCount(), 0u);
  for (const char* level : {kData, "C:\\ProgramData\\Tamarind Software"}) {
    EXPECT_TRUE(IsAdministratorsOnly(security.Access(level))) << level;
  }
  EXPECT_FALSE(fs.Called("inherit"));
  EXPECT_TRUE(reg.writes.empty());
  EXPECT_TRUE(shell.shortcuts.empty());
  EXPECT_TRUE(shell.launched.empty());
  EXPECT_EQ(fs.OpenHandles(), 0);
}

// A file that cannot be written at record 7 (a full disk): the message once, and a previous
// installation stays exactly as it was.
TEST_F(SetupLogicTest, TargetFailureShowsMessageOnceAndKeepsThePreviousInstallation) {
  Init();
  logic.OnOk();
  ASSERT_EQ(logic.state, 1);
  const std::vector<std::string> before = fs.FileKeys();
  const auto writesBefore = reg.writes.size();

  resources.data[kPayloadResourceId] = testing::ContentPayload(
      {"new main", "new helper", "b", "c", "d", "e", "f", "g", "h", "i", "j"});
  fs.beforeCall = [this](const std::string& e) {  // the staged help.bin (entry 7)
    const std::string prefix = "open " + std::string(kData) + "~n7";
    if (e.rfind(prefix, 0) == 0) fs.FailWrite(e.substr(5));
  };
  FakeSetupView v;
  GlobalPaths p;
  SetupLogic again(v, services, p);
  v.QueueAnswer(Answer::Yes);
  again.InitDialog();
  again.OnOk();
  ASSERT_EQ(v.Boxes().size(), 2u);  // the previous-installation question, then the failure
  EXPECT_EQ(v.Boxes()[1].text, "Error in installation");
  EXPECT_EQ(again.state, 0);
  fs.beforeCall = nullptr;
  EXPECT_EQ(fs.FileKeys(), before);
  const auto targets = InstallFileList(p);
  for (std::size_t i = 0; i < targets.size(); ++i) {
    EXPECT_EQ(BytesText(fs.FindFile(targets[i])->bytes), kContents[i]) << targets[i];
  }
  EXPECT_EQ(reg.writes.size(), writesBefore);
}

TEST_F(SetupLogicTest, OkAfterFailureRunsWholeSequenceAgain) {
  resources.data[kPayloadResourceId] = {};
  Init();
  logic.OnOk();
  EXPECT_EQ(logic.state, 0);
  EXPECT_EQ(view.Boxes().size(), 2u);

  resources.data[kPayloadResourceId] = testing::ContentPayload(kContents);
  fs.ClearLog();
  logic.OnOk();
  EXPECT_EQ(logic.state, 1);
  // Folder creation check and the probe ran again, first.
  ASSERT_FALSE(fs.Log().empty());
  EXPECT_EQ(fs.Opens().front().path, std::string(kInstall) + "kvx.exe");
  EXPECT_EQ(fs.Opens().front().mode, OpenMode::CreateNewGone);
  EXPECT_EQ(BytesText(fs.FindFile(std::string(kInstall) + "kvx.exe")->bytes), "main program");
  EXPECT_EQ(shell.launched.size(), 1u);
  EXPECT_EQ(view.WaitCalls(), 2);
  EXPECT_EQ(view.WaitDepth(), 0);
}

// --- busy and the OK button's states ---

TEST_F(SetupLogicTest, OkWhileBusyChangesNothing) {
  Init();
  // A second OK press reaches the dialog while the extraction's message box is up.
  resources.data[kPayloadResourceId] = {};
  int nested = 0;
  view.onAsk = [&](const FakeSetupView::Box&) {
    ++nested;
    const std::size_t opens = fs.Opens().size();
    logic.OnOk();
    EXPECT_EQ(fs.Opens().size(), opens);
  };
  logic.OnOk();
  EXPECT_EQ(nested, 2);
  EXPECT_EQ(view.Boxes().size(), 2u);  // no third box from a nested run
  EXPECT_EQ(view.MaxWaitDepth(), 1);

  view.onAsk = nullptr;
  logic.busy = 1;
  for (int s : {0, 1, 2}) {
    logic.state = s;
    const auto before = shell.opened.size();
    logic.OnOk();
    EXPECT_EQ(shell.opened.size(), before);
    EXPECT_EQ(view.EndCalls(), 0);
  }
}

TEST_F(SetupLogicTest, NextOpensUpdatePageThenRunProgramEnds) {
  Init();
  logic.OnOk();
  ASSERT_EQ(logic.state, 1);
  bool okEnabledDuringOpen = true;
  shell.duringOpen = [&] { okEnabledDuringOpen = view.Get(kIdOk).enabled; };
  logic.OnOk();
  EXPECT_FALSE(okEnabledDuringOpen);
  EXPECT_EQ(logic.state, 2);
  ASSERT_EQ(shell.opened.size(), 1u);
  EXPECT_EQ(shell.opened[0], "http://updates.corvane.example/init.asp?P=2&V=6.1");
  EXPECT_EQ(shell.owners[0], FakeSetupView::kWindow);
  EXPECT_TRUE(view.Get(kIdOk).enabled);
  EXPECT_EQ(view.Get(kIdOk).text, "Run Program");
  EXPECT_EQ(view.Get(kIdCancel).text, "Close");
  EXPECT_TRUE(view.Get(kIdCancel).visible);
  EXPECT_FALSE(view.Get(kIdUpdateInfo).visible);
  EXPECT_EQ(view.EndCalls(), 0);

  shell.duringOpen = nullptr;
  logic.OnOk();
  EXPECT_EQ(shell.opened.size(), 1u);
  EXPECT_EQ(shell.launched, (std::vector<std::string>{std::string(kInstall) + "kvxh.exe",
                                                      std::string(kInstall) + "kvx.exe"}));
  EXPECT_EQ(shell.shows, (std::vector<int>{kShowNormal, kShowRestore}));
  EXPECT_EQ(log[log.size() - 2], "shell launch " + std::string(kInstall) + "kvx.exe in " +
                                     std::string(kInstall, std::string_view(kInstall).size() - 1));
  EXPECT_EQ(view.EndCalls(), 1);
  EXPECT_EQ(view.EndResult(), 2);
}

TEST_F(SetupLogicTest, FolderChooserStartsFromKeptPathAndTakesOkResult) {
  Init();
  view.SetText(kIdInstallPath, "typed over");  // the chooser starts from the kept path
  std::string started;
  logic.OpenFolderChooser([&](std::string& path) {
    started = path;
    path = "D:\\Apps\\";
    return true;
  });
  EXPECT_EQ(started, "C:\\Program Files\\Tamarind Software\\Corvane\\");
  EXPECT_EQ(logic.installPathText, "D:\\Apps");
  EXPECT_EQ(view.Get(kIdInstallPath).text, "D:\\Apps");

  logic.OpenFolderChooser([&](std::string& path) {
    path = "E:\\";
    return false;
  });
  EXPECT_EQ(logic.installPathText, "D:\\Apps");
  EXPECT_EQ(view.Get(kIdInstallPath).text, "D:\\Apps");
}

}  // namespace
}  // namespace corvane
