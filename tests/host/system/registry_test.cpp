#include "system/registry.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/fake_registry.h"
#include "support/registry_cases.h"

namespace corvane {
namespace {

using ::testing::ElementsAre;
using testing::FakeRegistry;

constexpr const char* kAppPaths = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths";
constexpr const char* kUninstall = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const std::string kKvx = std::string(kAppPaths) + "\\kvx.exe";
const std::string kEntry = std::string(kUninstall) + "\\Corvane";

TEST(WriteAppPath, OpensLevelByLevelCreatesSubkeyAndClosesInnermostFirst) {
  FakeRegistry reg;
  EXPECT_EQ(WriteAppPath(reg, "kvx.exe", "Path", "C:\\Program Files\\Corvane"), 0);
  EXPECT_THAT(reg.log,
              ElementsAre("open SOFTWARE", "open Microsoft", "open Windows", "open CurrentVersion",
                          "open App Paths", "create kvx.exe", "set Path=C:\\Program Files\\Corvane",
                          "close " + kKvx, std::string("close ") + kAppPaths,
                          "close HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion",
                          "close HKLM\\SOFTWARE\\Microsoft\\Windows",
                          "close HKLM\\SOFTWARE\\Microsoft", "close HKLM\\SOFTWARE"));
  EXPECT_EQ(reg.OpenHandles(), 0u);
  EXPECT_EQ(reg.Value(kKvx, "Path"), "C:\\Program Files\\Corvane");
}

TEST(WriteAppPath, StopsAtTheFirstFailingLevelWithItsStatusAndClosesWhatWasOpened) {
  FakeRegistry reg;
  reg.failOpenOf["Windows"] = 5;
  EXPECT_EQ(WriteAppPath(reg, "kvx.exe", "Path", "x"), 5);
  EXPECT_THAT(reg.log, ElementsAre("open SOFTWARE", "open Microsoft", "open Windows",
                                   "close HKLM\\SOFTWARE\\Microsoft", "close HKLM\\SOFTWARE"));

  FakeRegistry denied;
  denied.failCreateWith = 5;
  EXPECT_EQ(WriteAppPath(denied, "kvx.exe", "Path", "x"), 5);
  EXPECT_FALSE(denied.HasKey(kKvx));
  EXPECT_EQ(denied.OpenHandles(), 0u);
  EXPECT_EQ(denied.log.back(), "close HKLM\\SOFTWARE");

  FakeRegistry setFails;
  setFails.failSetOf["Path"] = 1021;
  EXPECT_EQ(WriteAppPath(setFails, "kvx.exe", "Path", "x"), 1021);
  EXPECT_EQ(setFails.OpenHandles(), 0u);
}

TEST(ReadAppPath, ReadsTheValueAndNeverCreatesTheKey) {
  FakeRegistry reg;
  EXPECT_EQ(ReadAppPath(reg, "kvx.exe", "Path"), "");
  EXPECT_FALSE(reg.HasKey(kKvx));
  EXPECT_EQ(reg.OpenHandles(), 0u);

  reg.SetValue(kKvx, "Path", "C:\\Programme\\Caf\xC3\xA9");
  EXPECT_EQ(ReadAppPath(reg, "kvx.exe", "Path"), "C:\\Programme\\Caf\xC3\xA9");
  EXPECT_EQ(ReadAppPath(reg, "kvx.exe", "Missing"), "");
  EXPECT_EQ(reg.OpenHandles(), 0u);
}

// The table of tests/support/registry_cases.h, which the Win32 tests run against the system.
TEST(RegistryCases, TheDoubleAnswersAsTheSystem) {
  FakeRegistry reg;
  testing::RunRegistrySteps(reg);
  EXPECT_EQ(reg.OpenHandles(), 0u);
}

TEST(QuoteCommandPath, QuotesOnlyAnUnquotedPathWithASpace) {
  EXPECT_EQ(QuoteCommandPath("C:\\a\\u.exe"), "C:\\a\\u.exe");
  EXPECT_EQ(QuoteCommandPath("\"C:\\a b\\u.exe\""), "\"C:\\a b\\u.exe\"");
  EXPECT_EQ(QuoteCommandPath(""), "");
}

TEST(WriteUninstallEntry, AFailingWriteEndsTheEntryAndKeepsEarlierValues) {
  FakeRegistry reg;
  reg.failSetOf["DisplayIcon"] = 5;
  EXPECT_EQ(WriteUninstallEntry(reg, "Corvane", "C:\\x\\Uninstall.exe"), 5);
  EXPECT_EQ(reg.Value(kEntry, "DisplayName"), "Corvane");
  EXPECT_FALSE(reg.HasValue(kEntry, "DisplayIcon"));
  EXPECT_FALSE(reg.HasValue(kEntry, "UninstallString"));
  for (const auto& line : reg.log) EXPECT_NE(line.rfind("set UninstallString", 0), 0u) << line;
  EXPECT_EQ(reg.OpenHandles(), 0u);

  FakeRegistry noUninstallKey;
  noUninstallKey.failOpenOf["Uninstall"] = 1018;
  EXPECT_EQ(WriteUninstallEntry(noUninstallKey, "Corvane", "C:\\x\\Uninstall.exe"), 1018);
  EXPECT_FALSE(noUninstallKey.HasKey(kEntry));
  EXPECT_EQ(noUninstallKey.OpenHandles(), 0u);
}

TEST(KeyChain, WithoutRoomForAnotherKeyFailsAndTouchesNothing) {
  FakeRegistry reg;
  {
    KeyChain chain(reg, 5);
    for (const char* name : {"SOFTWARE", "Microsoft", "Windows", "CurrentVersion", "App Paths"}) {
      ASSERT_EQ(chain.Open(name), 0) << name;
    }
    reg.log.clear();
    EXPECT_EQ(chain.Create("kvx.exe"), kRegistryChainFull);
    EXPECT_EQ(chain.Open("Other"), kRegistryChainFull);
    EXPECT_TRUE(reg.log.empty());
    EXPECT_EQ(chain.Depth(), 5u);
  }
  EXPECT_FALSE(reg.HasKey(kKvx));
  EXPECT_EQ(reg.OpenHandles(), 0u);

  // The depth the operations need fits, and the chain never holds more than its maximum.
  KeyChain full(reg, KeyChain::kMaxDepth + 3);
  std::size_t opened = 0;
  while (full.Create("k") == 0) ++opened;
  EXPECT_EQ(opened, KeyChain::kMaxDepth);
  EXPECT_GE(KeyChain::kMaxDepth, 6u);
}

}  // namespace
}  // namespace corvane
