#include "system/shell.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace corvane
