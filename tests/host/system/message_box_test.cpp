#include "system/message_box.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

TEST(AppTitleTest, FileNameWithoutFolderAndExtension) {
  EXPECT_EQ(TitleFromModulePath("C:\\Temp\\CorvaneSetup.exe"), "CorvaneSetup");
  EXPECT_EQ(TitleFromModulePath("Z:\\a.b\\setup.v6.exe"), "setup.v6");
  EXPECT_EQ(TitleFromModulePath("C:\\Temp\\noext"), "noext");
  EXPECT_EQ(TitleFromModulePath("plain.exe"), "plain");
  EXPECT_EQ(TitleFromModulePath("C:\\dir\\.hidden"), ".hidden");
}

TEST(MessageBoxStyleTest, ExclamationAddedOnlyWithoutIconForCommonButtons) {
  constexpr unsigned kExclamation = 0x30, kQuestion = 0x20, kStop = 0x10;
  EXPECT_EQ(MessageBoxStyle(0x0), kExclamation);        // OK
  EXPECT_EQ(MessageBoxStyle(0x1), 0x1 | kExclamation);  // OK/Cancel
  EXPECT_EQ(MessageBoxStyle(0x3), 0x3 | kExclamation);  // Yes/No/Cancel
  EXPECT_EQ(MessageBoxStyle(0x4), 0x4 | kExclamation);  // Yes/No
  EXPECT_EQ(MessageBoxStyle(0x2), 0x2u);                // Abort/Retry/Ignore
  EXPECT_EQ(MessageBoxStyle(0x5), 0x5u);                // Retry/Cancel
  EXPECT_EQ(MessageBoxStyle(0x4 | kQuestion), 0x4 | kQuestion);
  EXPECT_EQ(MessageBoxStyle(kStop), kStop);
  EXPECT_EQ(MessageBoxStyle(0x40000 | 0x4), 0x40000 | 0x4 | kExclamation);  // other flags kept
}

}  // namespace
}  // namespace corvane
