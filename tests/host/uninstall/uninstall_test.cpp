#include "uninstall/uninstall_logic.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "support/fake_payload_services.h"
#include "support/fake_registry.h"
#include "support/fake_shell.h"
#include "system/product.h"
#include "system/system_folders.h"

namespace corvane {
namespace {

using testing::FakeKnownFolderSource;
using testing::FakeRegistry;

const std::string kInstall = "C:\\Program Files\\Tamarind Software\\Corvane\\";
const std::string kData = "C:\\ProgramData\\Tamarind Software\\Corvane\\";
const std::string kWork = "C:\\users\\admin\\AppData\\Local\\Tamarind Software\\Corvane\\";
const std::string kAppPaths = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths";
const std::string kUninstall = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

// The special folders of an administrator's account.
struct Folders : FakeKnownFolderSource {
  Folders() : FakeKnownFolderSource(testing::AccountFolders("admin")) {}
};

// Files and folders by folded path. Open folders are numbered; a folder is removable only when
// nothing lies below it, and a level in `links` is a link, refused when opened as itself.
class Files : public RemovalFileSystem {
 public:
  std::set<std::string> files, folders, links, inUse, atRestart, thisProgram;
  std::map<Folder, std::string> open;
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

  FolderOpen OpenBase(const std::string& path, Folder& folder) override {
    const std::string key = Fold(path);
    if (key.size() != 3 && !folders.count(key)) return FolderOpen::Missing;
    return Open(key, folder);
  }
  FolderOpen OpenFolder(Folder parent, const std::string& name, Folder& folder) override {
    const std::string key = open.at(parent) + Fold(name) + "\\";
    if (links.count(key)) return FolderOpen::Refused;
    if (!folders.count(key)) return FolderOpen::Missing;
    return Open(key, folder);
  }
  RemoveResult RemoveFile(Folder folder, const std::string& name) override {
    const std::string key = open.at(folder) + Fold(name);
    calls.push_back("file " + key);
    if (inUse.count(key)) return RemoveResult::InUse;
    return files.erase(key) ? RemoveResult::Removed : RemoveResult::Missing;
  }
  RemoveResult RemoveFolder(Folder folder) override {
    const std::string key = open.at(folder);
    open.erase(folder);
    calls.push_back("folder " + key);
    for (const auto* set : {&files, &folders}) {
      for (const std::string& p : *set) {
        if (p != key && p.rfind(key, 0) == 0) return RemoveResult::Failed;
      }
    }
    folders.erase(key);
    return RemoveResult::Removed;
  }
  void Close(Folder folder) override { EXPECT_EQ(open.erase(folder), 1u) << "closed twice"; }
  std::string PathOf(Folder folder) override {
    return open.count(folder) ? open.at(folder) : std::string();
  }
  bool IsThisProgram(Folder folder, const std::string& name) override {
    return thisProgram.count(open.at(folder) + Fold(name)) != 0;
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

 private:
  FolderOpen Open(const std::string& key, Folder& folder) {
    folder = next_++;
    open[folder] = key;
    return FolderOpen::Opened;
  }
  Folder next_ = 100;
};

class Lock : public InstanceLockSource {
 public:
  InstanceLock state = InstanceLock::Acquired;
  InstanceLock Acquire(unsigned) override { return state; }
  std::string_view Held() const override { return "global name"; }
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

// A machine with a complete installation in the default folder.
struct Machine {
  FakeRegistry registry;
  Folders folders;
  Files files;
  Lock lock;
  Ui ui;
  testing::MemoryLog log;
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
  const std::vector<RemovalTree> plan = PlanRemoval(kInstall, known);
  const std::vector<std::string> names = ProductFileList("", "");
  const std::vector<std::string> product = {"Tamarind Software", "Corvane"};
  ASSERT_EQ(plan.size(), 4u);
  EXPECT_EQ(plan[0].base, "C:\\Program Files\\");
  EXPECT_EQ(plan[0].levels, product);
  EXPECT_EQ(plan[0].files, std::vector<std::string>(names.begin(), names.begin() + 3));
  EXPECT_EQ(plan[0].removableLevels, 2u);
  EXPECT_EQ(plan[1].base, "C:\\ProgramData\\");
  EXPECT_EQ(plan[1].levels, product);
  EXPECT_EQ(plan[1].files, std::vector<std::string>(names.begin() + 3, names.end()));
  EXPECT_EQ(plan[1].removableLevels, 2u);
  for (const RemovalTree& shortcut : {plan[2], plan[3]}) {
    EXPECT_TRUE(shortcut.levels.empty());
    EXPECT_EQ(shortcut.files, std::vector<std::string>{"Corvane.lnk"});
    EXPECT_EQ(shortcut.removableLevels, 0u);
  }
  EXPECT_EQ(plan[2].base, "C:\\users\\Public\\Desktop\\");
  EXPECT_EQ(plan[3].base, "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\");
  // A folder the user chose: each level from the drive's root, only the last one removed.
  const std::vector<RemovalTree> chosen = PlanRemoval("E:\\Tools\\Corvane\\", known);
  EXPECT_EQ(chosen[0].base, "E:\\");
  EXPECT_EQ(chosen[0].levels, (std::vector<std::string>{"Tools", "Corvane"}));
  EXPECT_EQ(chosen[0].removableLevels, 1u);
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

  // The 32-bit uninstaller on 64-bit Windows: the special folders are the "(x86)" ones, and the
  // system's own Program Files is refused as well: the setup's list (system/system_folders.h).
  Folders wow64;
  wow64.nativeProgramFiles = "C:\\Program Files";
  wow64.nativeCommonFiles = "C:\\Program Files\\Common Files";
  wow64.special[kCsidlProgramFiles] = wow64.special[kCsidlProgramFilesX86] =
      "C:\\Program Files (x86)";
  wow64.special[kCsidlProgramFilesCommon] = "C:\\Program Files (x86)\\Common Files";
  const std::vector<std::string> wow64System = SystemFolders(wow64);
  for (const char* bad : {"C:\\Program Files", "C:\\Program Files\\Common Files\\",
                          "C:\\Program Files (x86)", "C:\\Program Files (x86)\\Common Files",
                          "E:\\.", "C:\\users\\Public\\..\\..\\ProgramData"}) {
    EXPECT_FALSE(InstallFolderAcceptable(bad, wow64System, files)) << bad;
  }
  EXPECT_TRUE(InstallFolderAcceptable("C:\\Program Files (x86)\\Tamarind Software\\Corvane",
                                      wow64System, files));
}

TEST(UninstallTest, SilentRemovesTheInstallationButNotTheUsersFiles) {
  Machine m;
  m.files.AddFile(kData + "mine.aws");
  const UninstallResult result = RunUninstall(m.services, true, "C:\\e2e\\Uninstall.exe", false);
  EXPECT_EQ(UninstallExitCode(result.outcome), 0);
  EXPECT_TRUE(m.ui.shown.empty());
  for (const std::string& file : ProductFileList(kInstall, kData)) {
    EXPECT_FALSE(m.files.HasFile(file)) << file;
  }
  EXPECT_FALSE(m.files.HasFile("C:\\users\\Public\\Desktop\\Corvane.lnk"));
  EXPECT_FALSE(m.files.HasFolder(kInstall));
  EXPECT_FALSE(m.files.HasFolder("C:\\Program Files\\Tamarind Software\\"));
  // The user's file and the folders holding it stay, and so does the user's work folder.
  EXPECT_TRUE(m.files.HasFile(kData + "mine.aws"));
  EXPECT_TRUE(m.files.HasFolder(kData));
  EXPECT_TRUE(m.files.HasFile(kWork + "prog.tmp"));
  EXPECT_FALSE(m.registry.HasKey(kAppPaths + "\\kvx.exe"));
  EXPECT_FALSE(m.registry.HasKey(kUninstall + "\\Corvane"));
  EXPECT_TRUE(m.registry.HasKey(kAppPaths + "\\other.exe"));
  EXPECT_TRUE(result.leftFolders.empty());
  EXPECT_TRUE(m.files.open.empty());
  // Each step in the lines of the setup's logging wrappers, the result last.
  for (const std::string& line :
       {"delete " + kInstall + "kvx.exe: removed", "remove folder " + kData + ": kept, not empty",
        "registry delete " + kUninstall + "\\Corvane: ok"}) {
    EXPECT_EQ(std::count(m.log.lines.begin(), m.log.lines.end(), line), 1) << line;
  }
  EXPECT_EQ(m.log.lines.back(), "result: removed, exit code 0");
}

TEST(UninstallTest, ALinkedLevelIsNeitherEnteredNorRemoved) {
  for (const std::string& link : {kData, std::string("C:\\ProgramData\\Tamarind Software\\")}) {
    SCOPED_TRACE(link);
    Machine m;
    m.files.links.insert(Files::Fold(link));
    const UninstallResult result = RunUninstall(m.services, true, "", false);
    EXPECT_EQ(UninstallExitCode(result.outcome), 1603);
    for (const std::string& call : m.files.calls) {
      EXPECT_EQ(call.find("programdata\\tamarind"), std::string::npos) << call;
    }
    EXPECT_TRUE(m.files.HasFile(kData + "default.rex"));
    EXPECT_FALSE(m.files.HasFile(kInstall + "kvx.exe"));
    EXPECT_TRUE(m.registry.HasKey(kUninstall + "\\Corvane"));
    EXPECT_TRUE(m.files.open.empty());
  }
}

TEST(UninstallTest, RunningFromTheInstallFolderLeavesItsFolderToItsCopy) {
  Machine m;
  const UninstallResult result = RunUninstall(m.services, true, kInstall + "UNINSTALL.EXE", false);
  EXPECT_EQ(result.outcome, UninstallOutcome::Removed);
  EXPECT_TRUE(m.files.HasFile(kInstall + "uninstall.exe"));
  EXPECT_FALSE(m.files.HasFile(kInstall + "kvx.exe"));
  ASSERT_EQ(result.leftFolders.size(), 2u);
  EXPECT_EQ(m.files.open.size(), 2u);
  // The copy checks what it inherited: not this program, or folders swapped, removes nothing.
  EXPECT_FALSE(RemoveLeftUninstaller(m.services, result.leftFolders));
  m.files.thisProgram.insert(Files::Fold(kInstall + "uninstall.exe"));
  EXPECT_FALSE(RemoveLeftUninstaller(m.services, {result.leftFolders[1], result.leftFolders[0]}));
  EXPECT_FALSE(RemoveLeftUninstaller(m.services, {result.leftFolders[0], result.leftFolders[0]}));
  EXPECT_TRUE(m.files.HasFile(kInstall + "uninstall.exe"));
  // The uninstaller and its folders.
  EXPECT_TRUE(RemoveLeftUninstaller(m.services, result.leftFolders));
  EXPECT_FALSE(m.files.HasFolder(kInstall));
  EXPECT_FALSE(m.files.HasFolder("C:\\Program Files\\Tamarind Software\\"));
  EXPECT_TRUE(m.files.open.empty());
}

TEST(UninstallTest, TheCleanupCopyTakesOnlyHandleNumbers) {
  using Args = std::vector<std::string>;
  const UninstallOptions inherited = ParseUninstallArguments(Args{"/CLEANUP=124,88", "/WAIT=96"});
  EXPECT_TRUE(inherited.cleanup);
  EXPECT_EQ(inherited.cleanupFolders, (std::vector<std::uint64_t>{124, 88}));
  EXPECT_EQ(inherited.waitFor, 96u);
  for (const char* given : {"/CLEANUP=C:\\Program Files\\Corvane", "/cleanup=12,C:\\x",
                            "/CLEANUP=", "/CLEANUP=0", "/CLEANUP=12,"}) {
    const UninstallOptions options = ParseUninstallArguments(Args{given});
    EXPECT_TRUE(options.cleanup) << given;
    EXPECT_TRUE(options.cleanupFolders.empty()) << given;
  }
}

TEST(UninstallTest, RefusedFolderRemovesNothing) {
  for (const char* path : {"Corvane", "C:\\Windows", "C:\\windows\\system32", "\\"}) {
    SCOPED_TRACE(path);
    Machine m(path);
    m.files.AddFile(std::string(path) + "\\kvx.exe");
    const std::set<std::string> before = m.files.files;
    const UninstallResult result = RunUninstall(m.services, true, "", false);
    EXPECT_EQ(UninstallExitCode(result.outcome), 1603);
    EXPECT_EQ(m.files.files, before);
    for (const std::string& call : m.files.calls) EXPECT_EQ(call.rfind("drive ", 0), 0u);
    EXPECT_TRUE(m.registry.HasKey(kAppPaths + "\\kvx.exe"));
    EXPECT_TRUE(m.registry.HasKey(kUninstall + "\\Corvane"));
  }
}

TEST(UninstallTest, DeclinedBusyAndInUse) {
  {
    Machine m;
    m.ui.answer = false;
    const std::set<std::string> before = m.files.files;
    EXPECT_EQ(UninstallExitCode(RunUninstall(m.services, false, "", false).outcome), 1602);
    EXPECT_EQ(m.ui.shown, std::vector<std::string>{std::string(kUninstallQuestion)});
    EXPECT_EQ(m.files.files, before);
    EXPECT_TRUE(m.registry.HasKey(kUninstall + "\\Corvane"));
  }
  {
    Machine m;
    m.lock.state = InstanceLock::Busy;
    EXPECT_EQ(UninstallExitCode(RunUninstall(m.services, true, "", false).outcome), 1618);
    EXPECT_TRUE(m.files.HasFile(kInstall + "kvx.exe"));
  }
  {
    // A running kvx.exe: removed at restart with its folders, and the entry is gone.
    Machine m;
    m.files.inUse.insert(Files::Fold(kInstall + "kvx.exe"));
    EXPECT_EQ(UninstallExitCode(RunUninstall(m.services, true, "", false).outcome), 3010);
    EXPECT_EQ(m.files.atRestart,
              (std::set<std::string>{Files::Fold(kInstall + "kvx.exe"), Files::Fold(kInstall),
                                     Files::Fold("C:\\Program Files\\Tamarind Software\\")}));
    EXPECT_FALSE(m.registry.HasKey(kUninstall + "\\Corvane"));
  }
  {
    // The same while the uninstaller runs from there: its folders still go at the restart.
    Machine m;
    m.files.inUse.insert(Files::Fold(kInstall + "kvxh.exe"));
    const UninstallResult result =
        RunUninstall(m.services, true, kInstall + "Uninstall.exe", false);
    EXPECT_EQ(UninstallExitCode(result.outcome), 3010);
    EXPECT_EQ(result.leftFolders.size(), 2u);
    EXPECT_EQ(m.files.atRestart.count(Files::Fold(kInstall)), 1u);
  }
}

}  // namespace
}  // namespace corvane
