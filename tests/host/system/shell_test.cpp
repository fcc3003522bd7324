#include "system/shell.h"

#include <gtest/gtest.h>

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
  AsUser asUser = AsUser::NoShellProcess;
  bool byPath = true;
  std::vector<std::string> tried;

  Desktop AskDesktop(const std::string& file, const std::string& folder, int show) override {
    tried.push_back("desktop " + file + "|" + folder + "|" + std::to_string(show));
    return desktop;
  }
  AsUser StartAsShellUser(const std::string& program, const std::string& folder,
                          int show) override {
    tried.push_back("as user " + program + "|" + folder + "|" + std::to_string(show));
    return asUser;
  }
  bool StartByPath(const std::string& program, const std::string& folder, int show) override {
    tried.push_back("by path " + program + "|" + folder + "|" + std::to_string(show));
    return byPath;
  }
};

// The elevated setup starts a program itself only where no user's shell process exists; while
// one is there (hung, suspended) the program runs with its token or not at all.
TEST(StartProgramTest, ElevatedOnlyWithoutAnyShellProcess) {
  const std::string kvx = "C:\\P\\kvx.exe";
  const std::string asked = kvx + "|C:\\P|9";
  struct Case {
    StartWays::Desktop desktop;
    StartWays::AsUser asUser;
    bool started;
    StartWay way;
    std::vector<std::string> tried;
  } cases[] = {
      {StartWays::Desktop::Started,
       StartWays::AsUser::Started,
       true,
       StartWay::DesktopShell,
       {"desktop " + asked}},
      {StartWays::Desktop::Failed,
       StartWays::AsUser::Started,
       false,
       StartWay::DesktopShell,
       {"desktop " + asked}},
      {StartWays::Desktop::NoAnswer,
       StartWays::AsUser::Started,
       true,
       StartWay::ShellUser,
       {"desktop " + asked, "as user " + asked}},
      {StartWays::Desktop::NoAnswer,
       StartWays::AsUser::Failed,
       false,
       StartWay::NotStarted,
       {"desktop " + asked, "as user " + asked}},
      {StartWays::Desktop::NoAnswer,
       StartWays::AsUser::NoShellProcess,
       true,
       StartWay::Direct,
       {"desktop " + asked, "as user " + asked, "by path " + asked}},
  };
  for (const Case& c : cases) {
    FakeStartWays ways;
    ways.desktop = c.desktop;
    ways.asUser = c.asUser;
    const ShellStart start = StartProgram(ways, kvx, "C:\\P", kShowRestore);
    EXPECT_EQ(start.started, c.started) << ways.tried.size();
    EXPECT_EQ(start.way, c.way) << ways.tried.size();
    EXPECT_EQ(ways.tried, c.tried);
  }
}

// An address is opened only by the user's desktop shell, whether or not its process is there.
TEST(OpenPageTest, NeverOpenedByTheElevatedSetup) {
  for (const auto asUser : {StartWays::AsUser::Started, StartWays::AsUser::NoShellProcess}) {
    FakeStartWays ways;
    ways.asUser = asUser;
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
