#include "app/unattended.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "host/app/app_doubles.h"
#include "support/fake_file_holders.h"
#include "support/fake_setup_view.h"
#include "support/fake_shell.h"

namespace corvane {
namespace {

using namespace testing;  // the doubles of app_doubles.h and their machine

constexpr const char* kAdminLine =
    "message: Installation Folder needs Administrator Privilege. You can either Run Setup "
    "Program as Administrator (recommended) or Select another Installation Folder -> OK";

class UnattendedTest : public ::testing::Test, protected testing::AppFakes {
 protected:
  UnattendedTest() { PrepareMachine(); }

  SetupOutcome Run() { return RunUnattendedInstall(services, paths, switches, log); }

  GlobalPaths paths;
  InstallSwitches switches;
  MemoryLog log;
};

TEST_F(UnattendedTest, FreshInstallLogsEachStepAndStartsNothing) {
  EXPECT_EQ(Run(), SetupOutcome::Installed);
  EXPECT_EQ(BytesText(fs.FindFile(std::string(kInstall) + "kvx.exe")->bytes), "main program");
  EXPECT_EQ(shell.shortcuts.size(), 2u);
  EXPECT_EQ(reg.Value(std::string(kAppPathsKey) + "\\kvx.exe", "Path"),
            "C:\\Program Files\\Tamarind Software\\Corvane");
  EXPECT_TRUE(shell.launched.empty());
  EXPECT_TRUE(shell.opened.empty());

  for (const std::string line : {
           "registry open HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App "
           "Paths\\kvx.exe: not found",
           "install folder: C:\\Program Files\\Tamarind Software\\Corvane",
           "folder C:\\Program Files: held",
           "create folder C:\\Program Files\\Tamarind Software shut to all but administrators: "
           "created",
           "open for writing C:\\Program Files\\Tamarind Software\\Corvane\\kvx.exe: ok, nothing "
           "written",
           "delete C:\\users\\Public\\Desktop\\KVX.lnk: not deleted",
           "registry set HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App "
           "Paths\\kvx.exe [Path] = \"C:\\Program Files\\Tamarind Software\\Corvane\": ok",
           "shortcut C:\\users\\Public\\Desktop\\Corvane.lnk to C:\\Program Files\\Tamarind "
           "Software\\Corvane\\kvx.exe: ok",
           "start C:\\Program Files\\Tamarind Software\\Corvane\\kvxh.exe: not done (unattended)",
           "dialog text: The program is successfully installed A shortcut (named Corvane) can be "
           "found on Windows Desktop and in \"Programs\" of Windows \"Start\".",
       }) {
    EXPECT_TRUE(log.Has(line)) << line;
  }
  // kvx.exe staged under a working name beside it, then put in place.
  const std::string folder = "C:\\Program Files\\Tamarind Software\\Corvane\\";
  auto staged = std::find_if(log.lines.begin(), log.lines.end(), [&](const std::string& l) {
    return l.rfind("write " + folder + "~n0", 0) == 0;
  });
  ASSERT_NE(staged, log.lines.end());
  const std::string name = staged->substr(6, staged->find(':', 8) - 6);
  EXPECT_EQ(*staged, "write " + name + ": 12 bytes, file time set");
  EXPECT_TRUE(log.Has("rename " + name + " to " + folder + "kvx.exe: ok"));
  for (const std::string& line : log.lines) {
    EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << line;
  }
}

// /DIR= names the folder of a new installation. One installation is kept: the previous one is
// installed over when it is the folder asked for (or none is asked for), and otherwise nothing
// is installed.
TEST_F(UnattendedTest, PreviousInstallationIsInstalledOver) {
  fs.AddDirectory("D:\\Old");
  fs.SetDriveType("D:\\", DriveType::Fixed);
  reg.SetValue(std::string(kAppPathsKey) + "\\kvx.exe", "Path", "D:\\Old");
  switches.folder = "D:\\Apps\\Corvane";
  EXPECT_EQ(Run(), SetupOutcome::FolderNotWritable);
  EXPECT_TRUE(log.Has("install folder asked for (/DIR=): D:\\Apps\\Corvane; a previous "
                      "installation is in D:\\Old, and one installation is kept: not installed"));
  EXPECT_EQ(fs.FindFile("D:\\Old\\kvx.exe"), nullptr);
  EXPECT_FALSE(fs.HasAttributes("D:\\Apps\\Corvane"));

  switches.folder = "d:\\old\\";
  EXPECT_EQ(Run(), SetupOutcome::Installed);
  EXPECT_EQ(BytesText(fs.FindFile("D:\\Old\\kvx.exe")->bytes), "main program");
  EXPECT_TRUE(
      log.Has("message: A previous installation of a Corvane product is found. "
              "Continue? -> Yes"));
  EXPECT_TRUE(shell.launched.empty());
}

// A new installation goes where /DIR= says, missing levels made, through the checks every
// install folder goes through: a relative or drive-relative folder or a system folder is refused
// with the reason in the log.
TEST(UnattendedFolderTest, FolderAskedForIsCheckedAsAnyOther) {
  struct Case {
    const char* asked;
    SetupOutcome outcome;
    const char* line;  // in the log
  } cases[] = {
      {"D:\\Apps\\Tools\\Corvane\\", SetupOutcome::Installed,
       "create folder D:\\Apps\\Tools shut to all but administrators: created"},
      {"Corvane", SetupOutcome::FolderNotWritable,
       "folder Corvane: not an absolute folder on a local drive"},
      {"\\\\server\\share\\Corvane", SetupOutcome::FolderNotWritable,
       "folder \\\\server\\share\\Corvane: not an absolute folder on a local drive"},
      {"D:Corvane", SetupOutcome::FolderNotWritable,
       "folder D:Corvane: not an absolute folder on a local drive"},
      {"C:\\Windows", SetupOutcome::FolderNotWritable,
       "folder C:\\Windows: a system folder, or above or inside one"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.asked);
    testing::AppFakes f;
    f.PrepareMachine();
    f.fs.AddDirectory("D:\\");
    f.fs.SetDriveType("D:\\", DriveType::Fixed);
    f.folders.special[0x24] = "C:\\Windows";
    GlobalPaths p;
    MemoryLog l;
    InstallSwitches s;
    s.folder = c.asked;
    EXPECT_EQ(RunUnattendedInstall(f.services, p, s, l), c.outcome);
    EXPECT_TRUE(l.Has(c.line));
    const auto* kvx = f.fs.FindFile("D:\\Apps\\Tools\\Corvane\\kvx.exe");
    EXPECT_EQ(kvx != nullptr, c.outcome == SetupOutcome::Installed);
    if (c.outcome != SetupOutcome::Installed) {
      EXPECT_EQ(f.fs.FileCount(), 0u);
    }
  }
}

// An all-users desktop or programs folder the shell could not supply (a lone backslash) or gave
// as a relative path costs only its shortcut: everything else is installed, and the log says why.
TEST_F(UnattendedTest, UnavailableShortcutFolderCostsOnlyItsShortcut) {
  struct Case {
    int csidl;
    const char* value;  // null: not supplied
    const char* skipped;
    const char* kept;
  } cases[] = {
      {25, nullptr, "\\Corvane.lnk: not made, the all-users desktop", kPrograms},
      {25, "Public\\Desktop", "Public\\Desktop\\Corvane.lnk: not made, the all-users desktop",
       kPrograms},
      {23, "Start Menu\\Programs",
       "Start Menu\\Programs\\Corvane.lnk: not made, the all-users programs", kDesktop},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.skipped);
    testing::AppFakes f;
    f.PrepareMachine();
    if (c.value == nullptr) {
      f.folders.special.erase(c.csidl);
    } else {
      f.folders.special[c.csidl] = c.value;
    }
    GlobalPaths p;
    MemoryLog l;
    EXPECT_EQ(RunUnattendedInstall(f.services, p, {}, l), SetupOutcome::Installed);
    EXPECT_EQ(f.fs.FileCount(), kContents.size());
    ASSERT_EQ(f.shell.shortcuts.size(), 1u);
    EXPECT_EQ(f.shell.shortcuts[0].linkPath, std::string(c.kept) + "Corvane.lnk");
    EXPECT_TRUE(l.Has(std::string("shortcut ") + c.skipped + " folder is not an absolute path"));
    EXPECT_TRUE(f.reg.HasValue(std::string(kAppPathsKey) + "\\kvx.exe", "Path"));
    for (const std::string& line : l.lines) {  // no KVX.lnk removed from elsewhere
      if (line.rfind("delete ", 0) == 0) {
        EXPECT_EQ(line.rfind("delete C:\\", 0), 0u) << line;
      }
    }
  }
}

// A value anyone could have written ends at its closing quote and cannot forge a line.
TEST_F(UnattendedTest, RegistryValuesAreEscapedInTheLog) {
  reg.SetValue(std::string(kAppPathsKey) + "\\kvx.exe", "Path", "D:\\x\"y\x1b[2J\r\nok\\");
  Run();
  EXPECT_TRUE(
      log.Has("registry read HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App "
              "Paths\\kvx.exe [Path]: \"D:\\x5Cx\\x22y\\x1B[2J\\x0D\\x0Aok\\\""));
}

// A held kvx.exe fails the probe; the log names the programs that hold the product's files.
TEST_F(UnattendedTest, FailuresEndWithTheirOutcomeAndMessage) {
  const std::string kvx = std::string(kInstall) + "kvx.exe";
  fs.AddFile(kvx, {'r', 'u', 'n'});
  fs.FailOpen(kvx);
  FakeFileHolders holders;
  holders.holders = {{"Corvane", 4242, 1, "", false, false}, {"kvxh.exe", 17, 1, "", false, false}};
  services.holders = &holders;
  EXPECT_EQ(Run(), SetupOutcome::FolderNotWritable);
  EXPECT_TRUE(log.Has("open for writing " + kvx + ": failed"));
  EXPECT_EQ(log.Count(kAdminLine), 1);
  EXPECT_TRUE(log.Has("product's files held open by Corvane, process 4242"));
  EXPECT_TRUE(log.Has("product's files held open by kvxh.exe, process 17"));
  ASSERT_EQ(holders.asked.size(), 11u);
  EXPECT_EQ(holders.asked[0], kvx);
  EXPECT_TRUE(reg.writes.empty());
  holders.known = false;
  Run();
  EXPECT_TRUE(log.Has("programs holding the product's files: the system cannot tell"));

  testing::AppFakes broken;
  broken.AddSystemFolders();
  broken.resources.data[kPayloadResourceId] = {1, 0, 0, 0, 'x', 0, 0, 0, 0};
  GlobalPaths brokenPaths;
  MemoryLog brokenLog;
  EXPECT_EQ(RunUnattendedInstall(broken.services, brokenPaths, {}, brokenLog),
            SetupOutcome::ExtractionFailed);
  EXPECT_EQ(brokenLog.Count("message: Error in installation -> OK"), 2);
  EXPECT_TRUE(broken.shell.shortcuts.empty());
}

// Deployment switches for a kvx.exe in use. /CLOSEAPPLICATIONS closes the holders only when all
// are the product's own programs, and starts again those that asked for it; /REBOOTOK installs
// everything else and leaves the file in use to the next restart (exit 3010).
TEST_F(UnattendedTest, FilesInUseUnderTheDeploymentSwitches) {
  const std::string kvx = std::string(kInstall) + "kvx.exe";
  auto holdKvx = [this, &kvx] {
    fs.AddFile(kvx, {'r', 'u', 'n'});
    fs.FailOpen(kvx);
    fs.HoldOpen(kvx);
  };
  FakeFileHolders holders;
  services.holders = &holders;
  holdKvx();
  holders.holders = {{"Corvane", 4242, 1, kvx, true, false},
                     {"Notes", 77, 1, "C:\\Tools\\notes.exe", false, false}};
  switches.closeApplications = true;
  EXPECT_EQ(Run(), SetupOutcome::FolderNotWritable);
  EXPECT_TRUE(holders.closeCalls.empty());
  EXPECT_TRUE(log.Has("closing programs: Notes, process 77, is not one of the product's "
                      "programs; nothing closed"));

  holders.holders.pop_back();
  holders.close = [this, &kvx] {
    fs.Release(kvx);
    return true;
  };
  EXPECT_EQ(Run(), SetupOutcome::Installed);
  ASSERT_EQ(holders.closeCalls.size(), 1u);
  EXPECT_EQ(holders.closeCalls[0].size(), 1u);
  EXPECT_EQ(BytesText(fs.FindFile(kvx)->bytes), "main program");
  EXPECT_TRUE(log.Has("closed Corvane, process 4242"));
  EXPECT_EQ(shell.launched, std::vector<std::string>{kvx});  // asked to be started again

  // Still held after all that: the rest installed, kvx.exe replaced when the system starts.
  holdKvx();
  holders.close = [] { return false; };
  switches.rebootOk = true;
  EXPECT_EQ(Run(), SetupOutcome::InstalledAtRestart);
  EXPECT_EQ(BytesText(fs.FindFile(kvx)->bytes), "run");
  EXPECT_EQ(BytesText(fs.FindFile(std::string(kInstall) + "kvxh.exe")->bytes), "helper");
  EXPECT_EQ(reg.Value(std::string(kAppPathsKey) + "\\kvx.exe", "Path"),
            "C:\\Program Files\\Tamarind Software\\Corvane");
  EXPECT_EQ(std::count_if(log.lines.begin(), log.lines.end(),
                          [&kvx](const std::string& line) {
                            return line.rfind("replace " + kvx + " with ", 0) == 0 &&
                                   line.ends_with(" at the next restart: scheduled");
                          }),
            1);
  fs.Release(kvx);
  fs.Restart();
  EXPECT_EQ(BytesText(fs.FindFile(kvx)->bytes), "main program");
  EXPECT_EQ(fs.FileCount(), kContents.size() + 1);  // and the working list

  // A data file held by a viewer, the programs free: the same, found only while replacing.
  const std::string rex = "C:\\ProgramData\\Tamarind Software\\Corvane\\default.rex";
  fs.HoldOpen(rex);
  EXPECT_EQ(Run(), SetupOutcome::InstalledAtRestart);
  switches.rebootOk = false;
  EXPECT_EQ(Run(), SetupOutcome::ExtractionFailed);
}

// The interactive setup's log names the way each program and page was started, and the address
// of a page that was not opened.
TEST(LoggingShellTest, EachStartIsLoggedWithItsWay) {
  testing::FakeShell inner;
  MemoryLog log;
  LoggingShell shell(inner, log);
  inner.way = StartWay::DesktopShell;
  EXPECT_TRUE(shell.Launch("C:\\P\\kvxh.exe", "C:\\P", kShowNormal).started);
  inner.way = StartWay::ShellUser;
  inner.openResult = 2;  // ERROR_FILE_NOT_FOUND
  EXPECT_FALSE(shell.Launch("C:\\P\\kvx.exe", "C:\\P", kShowRestore).started);
  inner.way = StartWay::NotStarted;
  EXPECT_FALSE(shell.OpenPage("http://example/", 0).started);
  EXPECT_EQ(inner.folders, (std::vector<std::string>{"C:\\P", "C:\\P"}));
  EXPECT_EQ(log.lines,
            (std::vector<std::string>{
                "start C:\\P\\kvxh.exe in C:\\P: through the desktop shell, as the signed-in user",
                "start C:\\P\\kvx.exe in C:\\P: the desktop shell did not answer, started as the "
                "user of its process, failed",
                "open http://example/: the desktop shell did not answer, not started by the "
                "elevated setup"}));
}

// The dialog's runs: the last install attempt decides, and no attempt counts as declined.
TEST(SetupOutcomeTest, LastAttemptDecides) {
  testing::AppFakes f;
  f.AddSystemFolders();
  const std::string kvx = std::string(kInstall) + "kvx.exe";
  f.fs.AddFile(kvx);
  f.fs.FailOpen(kvx);
  FakeSetupView view;
  GlobalPaths paths;
  SetupLogic logic(view, f.services, paths);
  logic.InitDialog();
  EXPECT_EQ(logic.outcome, SetupOutcome::Declined);
  logic.OnOk();
  EXPECT_EQ(logic.outcome, SetupOutcome::FolderNotWritable);

  f.fs = testing::FakeFileSystem();  // the file is free again, but the payload is missing
  f.AddSystemFolders();
  logic.OnOk();
  EXPECT_EQ(logic.outcome, SetupOutcome::ExtractionFailed);

  f.resources.data[kPayloadResourceId] = testing::ContentPayload(kContents);
  logic.OnOk();
  EXPECT_EQ(logic.outcome, SetupOutcome::Installed);
  logic.OnOk();  // Next, then Run Program: still installed
  logic.OnOk();
  EXPECT_EQ(logic.outcome, SetupOutcome::Installed);
}

}  // namespace
}  // namespace corvane
