#include "app/setup_app.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "support/fake_payload_services.h"

namespace corvane {
namespace {

class RecordingHost : public StartHost {
 public:
  explicit RecordingHost(unsigned long id) : id_(id) {}
  unsigned long PlatformId() override { return id_; }
  void ShowMessage(std::string_view text) override { messages.emplace_back(text); }
  SetupOutcome RunSetupDialog() override {
    ++dialogs;
    return result;
  }
  SetupOutcome RunUnattended() override {
    ++unattended;
    return result;
  }
  SetupLog& Log() override { return log; }
  InstanceLock LockInstance() override { return lock; }
  std::string_view LockHeld() override { return "global name"; }
  bool ShowRunningSetup() override {
    ++broughtToFront;
    return runningWindow;
  }
  std::vector<std::string> messages;
  InstanceLock lock = InstanceLock::Acquired;
  int broughtToFront = 0;
  bool runningWindow = true;
  int dialogs = 0, unattended = 0;
  SetupOutcome result = SetupOutcome::Installed;
  testing::MemoryLog log;

 private:
  unsigned long id_;
};

// Only the two low bits count, the NT one first; 0 is the 16-bit Windows layer. Any other
// system is refused with a message, and the dialog never opens.
TEST(StartTest, PlatformIdentifierDecidesFamily) {
  constexpr Platform kNt = Platform::WindowsNt, k9x = Platform::Windows9x;
  const std::pair<unsigned long, Platform> cases[] = {
      {2, kNt}, {1, k9x}, {3, kNt}, {6, kNt}, {5, k9x},
      {0, Platform::Unknown}, {4, Platform::Unknown}, {8, Platform::Unknown}};
  for (const auto& [id, platform] : cases) {
    SCOPED_TRACE(id);
    SetupApp app;
    RecordingHost host(id);
    EXPECT_FALSE(Start(app, host));
    EXPECT_EQ(app.platform, platform);
    const bool refused = platform == Platform::Unknown;
    EXPECT_EQ(host.dialogs, refused ? 0 : 1);
    EXPECT_EQ(host.messages, refused ? std::vector<std::string>{"Only Windows 95, 98 or NT4.0"}
                                     : std::vector<std::string>{});
  }
}

TEST(StartTest, OutcomeOfTheRunBecomesTheExitCode) {
  struct Case {
    SetupOutcome outcome;
    int code;
  };
  const Case cases[] = {{SetupOutcome::Installed, 0},
                        {SetupOutcome::Declined, 1602},
                        {SetupOutcome::FolderNotWritable, 5},
                        {SetupOutcome::ExtractionFailed, 1603},
                        {SetupOutcome::InstalledAtRestart, 3010}};
  for (const Case& c : cases) {
    SetupApp app;
    RecordingHost host(2);
    host.result = c.outcome;
    Start(app, host);
    EXPECT_EQ(app.outcome, c.outcome);
    EXPECT_EQ(ExitCodeFor(app.outcome), c.code);
    EXPECT_TRUE(host.log.lines.empty());  // interactive runs log only when asked to
  }
  SetupApp logged;
  logged.options.logPath = "C:\\setup.log";
  logged.redirectionGuarded = true;
  RecordingHost withLog(2);
  withLog.result = SetupOutcome::Installed;
  Start(logged, withLog);
  EXPECT_EQ(withLog.log.lines, (std::vector<std::string>{"Corvane setup", "redirection guard: on",
                                                         "setup lock held: global name",
                                                         "result: installed, exit code 0"}));
  SetupApp refused;
  RecordingHost host(0);
  Start(refused, host);
  EXPECT_EQ(ExitCodeFor(refused.outcome), 1633);
  // Where only the low byte of the status is seen (a POSIX shell running Wine), the codes
  // still differ.
  std::vector<int> lowBytes;
  for (const Case& c : cases) lowBytes.push_back(c.code & 0xFF);
  lowBytes.push_back(1633 & 0xFF);
  lowBytes.push_back(1618 & 0xFF);
  std::sort(lowBytes.begin(), lowBytes.end());
  EXPECT_EQ(std::adjacent_find(lowBytes.begin(), lowBytes.end()), lowBytes.end());
}

// A second setup does nothing while the lock is held: interactively it brings the holder's
// window forward, or says why when there is none; unattended it logs; all end with 1618. A
// squatted name does not block.
TEST(StartTest, OneSetupAtATime) {
  for (const int run : {0, 1, 2}) {  // interactive with and without a window; unattended
    SCOPED_TRACE(run);
    const bool unattended = run == 2;
    SetupApp app;
    app.options.unattended = unattended;
    RecordingHost host(2);
    host.lock = InstanceLock::Busy;
    host.runningWindow = run == 0;
    Start(app, host);
    EXPECT_EQ(host.dialogs + host.unattended, 0);
    EXPECT_EQ(host.broughtToFront, unattended ? 0 : 1);
    EXPECT_EQ(host.messages.size(), run == 1 ? 1u : 0u);
    EXPECT_EQ(ExitCodeFor(app.outcome), 1618);
    if (unattended) {
      EXPECT_EQ(host.log.lines.back(),
                "result: another setup or the uninstaller is running, exit code 1618");
    }
  }
}

TEST(StartTest, UnattendedRunLogsInsteadOfShowing) {
  SetupApp app;
  app.options.unattended = true;
  RecordingHost host(2);
  host.lock = InstanceLock::Unguarded;  // a squatted lock name does not block
  host.result = SetupOutcome::FolderNotWritable;
  Start(app, host);
  EXPECT_EQ(host.unattended, 1);
  EXPECT_EQ(host.dialogs, 0);
  ASSERT_FALSE(host.log.lines.empty());
  EXPECT_EQ(host.log.lines.back(), "result: install folder not writable, exit code 5");

  SetupApp refused;
  refused.options.unattended = true;
  RecordingHost old(0);
  Start(refused, old);
  EXPECT_TRUE(old.messages.empty());
  EXPECT_EQ(old.unattended, 0);
  EXPECT_EQ(
      old.log.lines,
      (std::vector<std::string>{
          "Corvane setup, unattended install", "redirection guard: not available on this system",
          "setup lock held: global name", "message: Only Windows 95, 98 or NT4.0",
          "result: platform not supported, exit code 1633"}));
}

TEST(ParseArgumentsTest, OnlyTheDocumentedSwitchesAreKnown) {
  using Args = std::vector<std::string>;
  EXPECT_FALSE(ParseArguments({}).unattended);
  EXPECT_FALSE(ParseArguments(Args{"/Q", "S", "/SILENT", "-S", "/S:1"}).unattended);
  const SetupOptions logOnly = ParseArguments(Args{"/LOG=C:\\x.log"});
  EXPECT_FALSE(logOnly.unattended);  // a log alone does not make the run unattended

  const SetupOptions both = ParseArguments(Args{"/x", "/log=C:\\My Logs\\setup.log", "/s"});
  EXPECT_TRUE(both.unattended);
  EXPECT_EQ(both.logPath, "C:\\My Logs\\setup.log");
  EXPECT_EQ(ParseArguments(Args{"/LOG=a", "/S", "/LOG=b"}).logPath, "b");
  EXPECT_EQ(ParseArguments(Args{"/S", "/LOG="}).logPath, "");

  const SetupOptions deploy = ParseArguments(
      Args{"/S", "/dir=D:\\Apps\\Corvane", "/CloseApplications", "/REBOOTOK"});
  EXPECT_EQ(deploy.install.folder, "D:\\Apps\\Corvane");
  EXPECT_TRUE(deploy.install.closeApplications);
  EXPECT_TRUE(deploy.install.rebootOk);
  const SetupOptions near = ParseArguments(Args{"/D=C:\\x", "/DIR", "/REBOOT", "/CLOSE"});
  EXPECT_EQ(near.install.folder, "");
  EXPECT_FALSE(near.install.closeApplications || near.install.rebootOk);
}

}  // namespace
}  // namespace corvane
