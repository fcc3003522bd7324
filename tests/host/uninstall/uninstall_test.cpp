#include "uninstall/uninstall_logic.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "support/fake_registry.h"
#include "system/product.h"

namespace corvane {
namespace {

using testing::FakeRegistry;

const std::string kInstall = "C:\\Program Files\\Tamarind Software\\Corvane\\";
const std::string kData = "C:\\ProgramData\\Tamarind Software\\Corvane\\";
const std::string kWork = "C:\\users\\admin\\AppData\\Local\\Tamarind Software\\Corvane\\";
const std::string kAppPaths = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths";
const std::string kUninstall = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

class Folders : public KnownFolderSource {
 public:
  std::string SpecialFolder(int csidl) override {
    static const std::map<int, std::string> kFolders = {
        {23, "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs"},
        {25, "C:\\users\\Public\\Desktop"},
        {26, "C:\\users\\admin\\AppData\\Roaming"},
        {28, "C:\\users\\admin\\AppData\\Local"},
        {35, "C:\\ProgramData"},
        {36, "C:\\windows"},
        {37, "C:\\windows\\system32"},
        {38, "C:\\Program Files"},
        {40, "C:\\users\\admin"},
        {46, "C:\\users\\Public\\Documents"}};
    auto it = kFolders.find(csidl);
    return it == kFolders.end() ? std::string() : it->second;
  }
  std::string TempPath() override { return "C:\\users\\admin\\Temp\\"; }
  std::string FindName(const std::string&) override { return {}; }
};

// Files and folders by folded path; a folder is removable only when nothing lies below it.
class Files : public RemovalFileSystem {
 public:
  std::set<std::string> files, folders, inUse, atRestart;
  std::vector<std::string> calls;

  void AddFile(const std::string& path) {
    files.insert(Fold(path));
    for (auto cut = path.rfind('\\'); cut != std::string::npos && cut > 2;
         cut = path.rfind('\\', cut - 1)) {
      folders.insert(Fold(path.substr(0, cut + 1)));
    }
  }
  bool HasFile(const std::string& path) const { return files.count(Fold(path)) != 0; }
  bool HasFolder(const std::string& path) const { return folders.count(Fold(path)) != 0; }

  RemoveResult RemoveFile(const std::string& path) override {
    calls.push_back("file " + path);
    const std::string key = Fold(path);
    if (inUse.count(key)) return RemoveResult::InUse;
    return files.erase(key) ? RemoveResult::Removed : RemoveResult::Missing;
  }
  RemoveResult RemoveFolder(const std::string& path) override {
    calls.push_back("folder " + path);
    const std::string key = Fold(path);
    if (!folders.count(key)) return RemoveResult::Missing;
    for (const auto* set : {&files, &folders}) {
      for (const std::string& p : *set) {
        if (p != key && p.rfind(key, 0) == 0) return RemoveResult::Failed;
      }
    }
    folders.erase(key);
    return RemoveResult::Removed;
  }
  bool RemoveAtRestart(const std::string& path) override {
    atRestart.insert(Fold(path));
    return true;
  }
  DriveType DriveTypeOf(const std::string& root) override {
    calls.push_back("drive " + root);
    return root == "D:\\" ? DriveType::CdRom : DriveType::Fixed;
  }

  static std::string Fold(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
  }
};

class Lock : public InstanceLockSource {
 public:
  InstanceLock state = InstanceLock::Acquired;
  InstanceLock Acquire(unsigned) override { return state; }
};

class Ui : public UninstallUi {
 public:
  bool answer = true;
  std::vector<std::string> shown;
  bool Confirm(std::string_view question) override {
    shown.emplace_back(question);
    return answer;
  }
  void Tell(std::string_view text) override { shown.emplace_back(text); }
};

class Log : public SetupLog {
 public:
  std::vector<std::string> lines;

 protected:
  void WriteLine(std::string_view line) override { lines.emplace_back(line); }
};

// A machine with a complete installation in the default folder.
struct Machine {
  FakeRegistry registry;
  Folders folders;
  Files files;
  Lock lock;
  Ui ui;
  Log log;
  UninstallServices services{registry, folders, files, lock, ui, log};

  explicit Machine(const std::string& path = "C:\\Program Files\\Tamarind Software\\Corvane") {
    for (const std::string& file : ProductFileList(kInstall, kData)) files.AddFile(file);
    files.AddFile("C:\\users\\Public\\Desktop\\Corvane.lnk");
    files.AddFile("C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Corvane.lnk");
    files.AddFile(kWork + "prog.tmp");
    files.AddFile("C:\\windows\\system32\\kernel32.dll");
    registry.SetValue(kAppPaths + "\\kvx.exe", "Path", path);
    registry.SetValue(kUninstall + "\\Corvane", "DisplayName", "Corvane");
    registry.SetValue(kAppPaths + "\\other.exe", "Path", "C:\\Other");
  }
};

TEST(RemovalPlanTest, EverythingTheSetupWroteAndNothingElse) {
  Folders source;
  FakeRegistry registry;
  const KnownFolders known = SetUpKnownFolders(source, registry, "Corvane", false);
  const RemovalPlan plan = PlanRemoval(kInstall, known);
  std::vector<std::string> expected = ProductFileList(kInstall, kData);
  expected.push_back("C:\\users\\Public\\Desktop\\Corvane.lnk");
  expected.push_back("C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Corvane.lnk");
  expected.push_back(kWork + "prog.tmp");
  EXPECT_EQ(plan.files, expected);
  EXPECT_EQ(plan.folders,
            (std::vector<std::string>{kData, "C:\\ProgramData\\Tamarind Software\\", kWork,
                                      "C:\\users\\admin\\AppData\\Local\\Tamarind Software\\",
                                      kInstall, "C:\\Program Files\\Tamarind Software\\"}));
  // A folder the user chose: only that folder, not the one above it.
  const RemovalPlan chosen = PlanRemoval("E:\\Tools\\Corvane\\", known);
  EXPECT_EQ(chosen.folders.back(), "E:\\Tools\\Corvane\\");
  EXPECT_EQ(chosen.folders.size(), 5u);
}

TEST(InstallFolderTest, OnlyAbsoluteLocalNonSystemFolders) {
  Folders source;
  Files files;
  const std::vector<std::string> system = SystemFolders(source);
  for (const char* bad :
       {"Corvane", "\\Corvane", "C:Corvane", "C:\\", "C:", "\\\\server\\share\\Corvane",
        "C:\\Windows", "c:\\WINDOWS\\", "C:\\windows\\Temp\\Corvane", "C:\\Program Files",
        "C:\\ProgramData", "C:\\users", "C:\\users\\admin", "C:\\Corvane\\..\\windows",
        "C:\\Corvane\\.", "C:\\Program Files\\\\Corvane", "D:\\Corvane", "C:/Corvane", ""}) {
    EXPECT_FALSE(InstallFolderAcceptable(bad, system, files)) << bad;
  }
  for (const char* good : {"C:\\Program Files\\Tamarind Software\\Corvane", "E:\\Corvane\\",
                           "C:\\users\\admin\\Corvane"}) {
    EXPECT_TRUE(InstallFolderAcceptable(good, system, files)) << good;
  }
}

TEST(UninstallTest, SilentRemovesTheInstallationButNotTheUsersFiles) {
  Machine m;
  m.files.AddFile(kData + "mine.aws");
  const UninstallResult result = RunUninstall(m.services, true, "C:\\e2e\\Uninstall.exe");
  EXPECT_EQ(UninstallExitCode(result.outcome), 0);
  EXPECT_TRUE(m.ui.shown.empty());
  for (const std::string& file : ProductFileList(kInstall, kData)) {
    EXPECT_FALSE(m.files.HasFile(file)) << file;
  }
  EXPECT_FALSE(m.files.HasFile("C:\\users\\Public\\Desktop\\Corvane.lnk"));
  EXPECT_FALSE(m.files.HasFile(kWork + "prog.tmp"));
  EXPECT_FALSE(m.files.HasFolder(kInstall));
  EXPECT_FALSE(m.files.HasFolder("C:\\Program Files\\Tamarind Software\\"));
  EXPECT_FALSE(m.files.HasFolder(kWork));
  // The user's file and the folders holding it stay.
  EXPECT_TRUE(m.files.HasFile(kData + "mine.aws"));
  EXPECT_TRUE(m.files.HasFolder(kData));
  EXPECT_FALSE(m.registry.HasKey(kAppPaths + "\\kvx.exe"));
  EXPECT_FALSE(m.registry.HasKey(kUninstall + "\\Corvane"));
  EXPECT_TRUE(m.registry.HasKey(kAppPaths + "\\other.exe"));
  EXPECT_TRUE(result.leftInstallFolder.empty());
  EXPECT_EQ(m.log.lines.back(), "result: removed, exit code 0");
}

TEST(UninstallTest, RunningFromTheInstallFolderLeavesItsOwnFileForLater) {
  Machine m;
  const UninstallResult result = RunUninstall(m.services, true, kInstall + "UNINSTALL.EXE");
  EXPECT_EQ(result.outcome, UninstallOutcome::Removed);
  EXPECT_EQ(result.leftInstallFolder, kInstall);
  EXPECT_TRUE(m.files.HasFile(kInstall + "uninstall.exe"));
  EXPECT_FALSE(m.files.HasFile(kInstall + "kvx.exe"));
  // The later step: the uninstaller and its folders.
  EXPECT_TRUE(RemoveLeftUninstaller(m.services, result.leftInstallFolder));
  EXPECT_FALSE(m.files.HasFolder(kInstall));
  EXPECT_FALSE(m.files.HasFolder("C:\\Program Files\\Tamarind Software\\"));
}

TEST(UninstallTest, RefusedFolderRemovesNothing) {
  for (const char* path : {"Corvane", "C:\\Windows", "C:\\windows\\system32", "\\"}) {
    SCOPED_TRACE(path);
    Machine m(path);
    m.files.AddFile(std::string(path) + "\\kvx.exe");
    const std::set<std::string> before = m.files.files;
    const UninstallResult result = RunUninstall(m.services, true, "");
    EXPECT_EQ(UninstallExitCode(result.outcome), 1603);
    EXPECT_EQ(m.files.files, before);
    for (const std::string& call : m.files.calls) EXPECT_EQ(call.rfind("drive ", 0), 0u);
    EXPECT_TRUE(m.registry.HasKey(kAppPaths + "\\kvx.exe"));
    EXPECT_TRUE(m.registry.HasKey(kUninstall + "\\Corvane"));
    EXPECT_FALSE(RemoveLeftUninstaller(m.services, path));
  }
}

TEST(UninstallTest, DeclinedBusyAndInUse) {
  {
    Machine m;
    m.ui.answer = false;
    const std::set<std::string> before = m.files.files;
    EXPECT_EQ(UninstallExitCode(RunUninstall(m.services, false, "").outcome), 1602);
    EXPECT_EQ(m.ui.shown, std::vector<std::string>{std::string(kUninstallQuestion)});
    EXPECT_EQ(m.files.files, before);
    EXPECT_TRUE(m.registry.HasKey(kUninstall + "\\Corvane"));
  }
  {
    Machine m;
    m.lock.state = InstanceLock::Busy;
    EXPECT_EQ(UninstallExitCode(RunUninstall(m.services, true, "").outcome), 1618);
    EXPECT_TRUE(m.files.HasFile(kInstall + "kvx.exe"));
  }
  {
    // A running kvx.exe: removed at restart with its folders, and the entry is gone.
    Machine m;
    m.files.inUse.insert(Files::Fold(kInstall + "kvx.exe"));
    EXPECT_EQ(UninstallExitCode(RunUninstall(m.services, true, "").outcome), 3010);
    EXPECT_EQ(m.files.atRestart,
              (std::set<std::string>{Files::Fold(kInstall + "kvx.exe"), Files::Fold(kInstall),
                                     Files::Fold("C:\\Program Files\\Tamarind Software\\")}));
    EXPECT_FALSE(m.registry.HasKey(kUninstall + "\\Corvane"));
  }
  {
    // The same while the uninstaller runs from there: its folders still go at the restart.
    Machine m;
    m.files.inUse.insert(Files::Fold(kInstall + "kvxh.exe"));
    const UninstallResult result = RunUninstall(m.services, true, kInstall + "Uninstall.exe");
    EXPECT_EQ(UninstallExitCode(result.outcome), 3010);
    EXPECT_EQ(result.leftInstallFolder, kInstall);
    EXPECT_EQ(m.files.atRestart.count(Files::Fold(kInstall)), 1u);
  }
}

}  // namespace
}  // namespace corvane
