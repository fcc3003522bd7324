#include "system/shell.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "support/fake_shell.h"

namespace corvane {
namespace {

TEST(VersionString, TrimsWhiteSpaceAroundTheValue) {
  testing::FakeShell shell;
  shell.versionStrings = {{"FileVersion", "6, 1, 0, 0"},
                          {"SpecialBuild", "0"},
                          {"Comments", " \t padded value \r\n"},
                          {"Blank", " \t "}};
  EXPECT_EQ(VersionString(shell, "FileVersion"), "6, 1, 0, 0");
  EXPECT_EQ(VersionString(shell, "SpecialBuild"), "0");
  EXPECT_EQ(VersionString(shell, "Comments"), "padded value");
  EXPECT_EQ(VersionString(shell, "Blank"), "");
  EXPECT_EQ(VersionString(shell, "Missing"), "");
}

// Records which ways were tried; answers from its fields.
class FakeStartWays : public StartWays {
 public:
  Desktop desktop = Desktop::NoAnswer;
  // The owner of the shell window at each lookup in turn; the last one stays. Empty: none.
  std::vector<std::uint32_t> shellIds;
  bool opens = true;
  TokenFacts token{false, kMediumIntegrity, false};
  bool starts = true;
  std::vector<std::string> tried;

  Desktop AskDesktop(const std::string& file, const std::string& folder, int show) override {
    tried.push_back("desktop " + file + "|" + folder + "|" + std::to_string(show));
    return desktop;
  }
  std::uint32_t ShellProcessId() override {
    const std::uint32_t id = shellIds.empty() ? 0 : shellIds.front();
    if (shellIds.size() > 1) shellIds.erase(shellIds.begin());
    tried.push_back("shell window of " + std::to_string(id));
    return id;
  }
  std::unique_ptr<ShellProcess> OpenShellProcess(std::uint32_t processId) override {
    tried.push_back("open " + std::to_string(processId));
    if (!opens) return nullptr;
    return std::make_unique<Process>(*this, processId);
  }

 private:
  class Process : public ShellProcess {
   public:
    Process(FakeStartWays& ways, std::uint32_t id) : ways_(ways), id_(id) {}
    TokenFacts Token() override { return ways_.token; }
    bool Start(const std::string& program, const std::string& folder, int show) override {
      ways_.tried.push_back("start as " + std::to_string(id_) + " " + program + "|" + folder + "|" +
                            std::to_string(show));
      return ways_.starts;
    }

   private:
    FakeStartWays& ways_;
    std::uint32_t id_;
  };
};

const std::string kKvx = "C:\\P\\kvx.exe";

// The elevated setup starts a program through the user's desktop shell, or, where that does not
// answer, with the token of the shell's process: only while the shell's window still belongs to
// the process that was opened, and only where that token is an ordinary user's. Never with its
// own token, so without a shell process nothing starts (a user can end their own shell).
TEST(StartProgramTest, ThroughTheDesktopOrAsTheUsersShellNeverWithItsOwnToken) {
  using Desktop = StartWays::Desktop;
  using Token = StartWays::TokenFacts;
  const std::string asked = kKvx + "|C:\\P|9";
  const std::vector<std::string> opened7 = {"desktop " + asked, "shell window of 7", "open 7"};
  std::vector<std::string> checked7 = opened7;
  checked7.push_back("shell window of 7");
  std::vector<std::string> asShell7 = checked7;
  asShell7.push_back("start as 7 " + asked);
  const ShellStart notStarted{false, StartWay::NotStarted};
  const ShellStart asShell{true, StartWay::ShellUser};
  struct Case {
    const char* name;
    Desktop desktop = Desktop::NoAnswer;
    std::vector<std::uint32_t> shellIds = {7};
    bool opens = true;
    Token token{false, kMediumIntegrity, false};
    bool starts = true;
    ShellStart result;
    std::vector<std::string> tried;
  } cases[] = {
      {.name = "desktop", .desktop = Desktop::Started, .result = {true, StartWay::DesktopShell},
       .tried = {"desktop " + asked}},
      {.name = "desktop failed", .desktop = Desktop::Failed,
       .result = {false, StartWay::DesktopShell}, .tried = {"desktop " + asked}},
      {.name = "medium", .result = asShell, .tried = asShell7},
      {.name = "start failed", .starts = false, .result = notStarted, .tried = asShell7},
      {.name = "no shell", .shellIds = {}, .result = notStarted,
       .tried = {"desktop " + asked, "shell window of 0"}},
      {.name = "low integrity", .token = {false, 0x1000, false}, .result = asShell,
       .tried = asShell7},
      {.name = "not opened", .opens = false, .result = notStarted, .tried = opened7},
      {.name = "window now another process's", .shellIds = {7, 8}, .result = notStarted,
       .tried = {"desktop " + asked, "shell window of 7", "open 7", "shell window of 8"}},
      {.name = "elevated", .token = {true, kMediumIntegrity, false}, .result = notStarted,
       .tried = checked7},
      {.name = "high integrity", .token = {false, 0x3000, false}, .result = notStarted,
       .tried = checked7},
      {.name = "medium plus", .token = {false, kMediumIntegrity + 0x100, false},
       .result = notStarted, .tried = checked7},
      {.name = "the setup's own", .token = {false, kMediumIntegrity, true}, .result = notStarted,
       .tried = checked7},
      {.name = "not read", .token = Token{}, .result = notStarted, .tried = checked7},
  };
  for (const Case& c : cases) {
    FakeStartWays ways;
    ways.desktop = c.desktop;
    ways.shellIds = c.shellIds;
    ways.opens = c.opens;
    ways.token = c.token;
    ways.starts = c.starts;
    const ShellStart start = StartProgram(ways, kKvx, "C:\\P", kShowRestore);
    EXPECT_EQ(start.started, c.result.started) << c.name;
    EXPECT_EQ(start.way, c.result.way) << c.name;
    EXPECT_EQ(ways.tried, c.tried) << c.name;
  }
}

// An address is opened only by the user's desktop shell, whether or not its process is there.
TEST(OpenPageTest, NeverOpenedByTheElevatedSetup) {
  for (const std::uint32_t shellId : {7u, 0u}) {
    FakeStartWays ways;
    ways.shellIds = {shellId};
    const ShellStart start = OpenPage(ways, "http://example/init.asp");
    EXPECT_FALSE(start.started);
    EXPECT_EQ(start.way, StartWay::NotStarted);
    EXPECT_EQ(ways.tried, std::vector<std::string>{"desktop http://example/init.asp||9"});
  }
  FakeStartWays answering;
  answering.desktop = StartWays::Desktop::Started;
  EXPECT_TRUE(OpenPage(answering, "http://example/").started);
}

}  // namespace
}  // namespace corvane
